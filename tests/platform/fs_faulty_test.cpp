// The fault-injecting file system that other tests walk over every call.
#include "tests/support/faulty_fs.h"

#include <memory>
#include <string>

#include "tests/support/test_env.h"

namespace qm::test {
namespace {

class FsFaulty : public QmTest {
 protected:
  // Creates a file of three blocks and reads it back; the code of the first
  // failing call, or 0.
  int Scenario(FileSystem& f) {
    FileHandle h;
    if (int rc = f.Create(Path("x.dat"), h)) return rc;
    uint32_t n = 0;
    for (int i = 0; i < 3; ++i) {
      if (int rc = f.Write(h, "abcd", 4, n)) {
        f.Close(h);
        return rc;
      }
    }
    if (int rc = f.Close(h)) return rc;
    if (int rc = f.Open(Path("X.DAT"), kAccessRead | kShareDenyNone, h)) return rc;
    char buf[8];
    int rc = f.Read(h, buf, sizeof buf, n);
    const int closeRc = f.Close(h);
    return rc ? rc : closeRc;
  }
  void SetUp() override {
    QmTest::SetUp();
    faulty = std::make_unique<FaultyFs>(*fs);
  }
  std::unique_ptr<FaultyFs> faulty;
};

TEST_F(FsFaulty, CountsEveryCallAndFailsTheChosenOne) {
  ASSERT_EQ(Scenario(*faulty), kOk);
  EXPECT_EQ(faulty->Count(FsOp::Create), 1);
  EXPECT_EQ(faulty->Count(FsOp::Write), 3);
  EXPECT_EQ(faulty->Count(FsOp::Close), 2);
  EXPECT_EQ(faulty->Count(FsOp::Open), 1);
  EXPECT_EQ(faulty->Count(FsOp::Read), 1);
  EXPECT_EQ(faulty->TotalCount(), 8);

  // Walk a fault over every write: each run stops at that write, and the
  // file holds exactly the writes before it.
  for (int n = 1; n <= 3; ++n) {
    faulty->ResetCounts();
    faulty->ClearFaults();
    faulty->FailAt(FsOp::Write, n, kErrWriteFault);
    EXPECT_EQ(Scenario(*faulty), kErrWriteFault) << n;
    EXPECT_EQ(ReadText("x.dat").size(), static_cast<size_t>(4 * (n - 1))) << n;
    EXPECT_EQ(faulty->Count(FsOp::Write), n);
    EXPECT_EQ(faulty->Injected(), 1);
  }

  // A failed close still closes: the file can be opened exclusively after.
  faulty->ClearFaults();
  faulty->ResetCounts();
  faulty->FailAt(FsOp::Close, 1, kErrWriteFault);
  EXPECT_EQ(Scenario(*faulty), kErrWriteFault);
  FileHandle h;
  ASSERT_EQ(fs->Open(Path("x.dat"), kAccessReadWrite | kShareDenyAll, h), kOk);
  fs->Close(h);

  // A sticky fault fails the chosen call and every later one of its kind.
  faulty->ClearFaults();
  faulty->ResetCounts();
  faulty->FailAt(FsOp::Open, 1, kErrSharingViolation, true);
  EXPECT_EQ(faulty->Open(Path("x.dat"), kAccessRead, h), kErrSharingViolation);
  EXPECT_EQ(h, kNoHandle);
  EXPECT_EQ(faulty->Open(Path("x.dat"), kAccessRead, h), kErrSharingViolation);
  EXPECT_EQ(faulty->Create(Path("y.dat"), h), kOk);
  faulty->Close(h);
}

TEST_F(FsFaulty, DiskFullWritesPartOfABlockThenNothing) {
  faulty->DiskFullAt(2);
  FileHandle h;
  ASSERT_EQ(faulty->Create(Path("full.dat"), h), kOk);
  uint32_t put = 99;
  EXPECT_EQ(faulty->Write(h, "abcd", 4, put), kOk);
  EXPECT_EQ(put, 4u);
  EXPECT_EQ(faulty->Write(h, "efgh", 4, put), kErrDiskFull);
  EXPECT_EQ(put, 2u);
  EXPECT_EQ(faulty->Write(h, "ijkl", 4, put), kErrDiskFull);
  EXPECT_EQ(put, 0u);
  EXPECT_EQ(faulty->Close(h), kOk);
  EXPECT_EQ(ReadText("full.dat"), "abcdef");
}

TEST_F(FsFaulty, RecordsTheCallsWithTheirNames) {
  faulty->SetRecording(true);
  faulty->FailAt(FsOp::Remove, 1, kErrAccessDenied);
  FindEntry e;
  FindHandle fh;
  faulty->FindFirst(Path("*.*"), kAttrAnyFile, e, fh);
  faulty->Remove(Path("a.dat"));
  faulty->MakeDir(Path("D"));
  ASSERT_EQ(faulty->Log().size(), 3u);
  EXPECT_EQ(faulty->Log()[0], "findfirst " + Path("*.*") + " 0x27 -> 2");
  EXPECT_EQ(faulty->Log()[1], "remove " + Path("a.dat") + " -> 5");
  EXPECT_EQ(faulty->Log()[2], "makedir " + Path("D") + " -> 0");
}

}  // namespace
}  // namespace qm::test
