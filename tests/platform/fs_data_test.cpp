// Reads and writes at a given place and whole-file copies: the same bytes
// and the same positions through the host file system and through the
// wrappers above it, whose watched reads and writes see every byte.
#include <memory>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/forwarding_fs.h"
#include "platform/host_fs.h"
#include "tests/support/faulty_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

class FsData : public QmTest {
 protected:
  // The file systems a copy may go through: the host's, a forwarding one
  // of either kind, and the counting one.
  std::vector<std::pair<const char*, std::unique_ptr<FileSystem>>> Stack() {
    std::vector<std::pair<const char*, std::unique_ptr<FileSystem>>> out;
    out.emplace_back("taken apart", std::make_unique<ForwardingFs>(*fs));
    out.emplace_back("passed whole", std::make_unique<ForwardingFs>(*fs, DataCalls::kPassedWhole));
    out.emplace_back("counted", std::make_unique<FaultyFs>(*fs));
    return out;
  }
  static std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 % 251);
    return s;
  }
};

TEST_F(FsData, CopiesRunFromBothPositionsToTheEndOfTheSource) {
  const std::string src = Pattern((3u << 20) + 17);
  WriteText("zrodlo.dat", src);
  auto stack = Stack();
  std::vector<std::pair<const char*, FileSystem*>> ways = {{"host", fs.get()}};
  for (auto& [name, f] : stack) ways.emplace_back(name, f.get());
  struct Case {
    int64_t from;  // where the source stands
  };
  for (const auto& [name, f] : ways) {
    for (const Case c : {Case{0}, Case{5}, Case{static_cast<int64_t>(src.size())}}) {
      FileHandle in, out;
      ASSERT_EQ(f->Open(Path("ZRODLO.DAT"), kAccessRead | kShareDenyNone, in), kOk);
      ASSERT_EQ(f->Create(Path("cel.dat"), out), kOk);
      uint32_t put = 0;
      ASSERT_EQ(f->Write(out, "ab", 2, put), kOk);
      ASSERT_EQ(f->Seek(in, c.from), kOk);
      int64_t copied = -1, at = 0;
      ASSERT_EQ(f->CopyData(in, out, copied), kOk) << name;
      EXPECT_EQ(copied, static_cast<int64_t>(src.size()) - c.from) << name;
      EXPECT_EQ(f->Tell(in, at), kOk);
      EXPECT_EQ(at, static_cast<int64_t>(src.size())) << name;
      EXPECT_EQ(f->Tell(out, at), kOk);
      EXPECT_EQ(at, 2 + copied) << name;
      EXPECT_EQ(f->Close(in), kOk);
      EXPECT_EQ(f->Close(out), kOk);
      EXPECT_EQ(ReadText("cel.dat"), "ab" + src.substr(static_cast<size_t>(c.from))) << name << " " << c.from;
    }
  }
  // The counting wrapper saw the copies as reads and writes of large
  // blocks, and a disk that fills up stops one halfway, with what was put.
  auto& faulty = static_cast<FaultyFs&>(*stack[2].second);
  faulty.ResetCounts();
  faulty.DiskFullAt(2);
  FileHandle in, out;
  ASSERT_EQ(faulty.Open(Path("zrodlo.dat"), kAccessRead | kShareDenyNone, in), kOk);
  ASSERT_EQ(faulty.Create(Path("cel.dat"), out), kOk);
  int64_t copied = 0;
  EXPECT_EQ(faulty.CopyData(in, out, copied), kErrDiskFull);
  EXPECT_EQ(copied, (1 << 20) + (1 << 19));
  EXPECT_EQ(faulty.Count(FsOp::Read), 2);
  EXPECT_EQ(faulty.Count(FsOp::Write), 2);
  faulty.Close(in);
  faulty.Close(out);
  EXPECT_EQ(ReadText("cel.dat"), src.substr(0, (1 << 20) + (1 << 19)));
#ifndef _WIN32
  // From another file system, whose files the kernel may refuse to copy
  // itself: the copy goes on in blocks.
  struct stat shm, here;
  if (stat("/dev/shm", &shm) == 0 && stat(Dir().c_str(), &here) == 0 && shm.st_dev != here.st_dev) {
    const std::string other = "/dev/shm/qmtest-copy-" + std::to_string(getpid());
    WriteText(other, src);
    ASSERT_EQ(fs->Open(other, kAccessRead | kShareDenyNone, in), kOk);
    ASSERT_EQ(fs->Create(Path("cel.dat"), out), kOk);
    EXPECT_EQ(fs->CopyData(in, out, copied), kOk);
    EXPECT_EQ(copied, static_cast<int64_t>(src.size()));
    fs->Close(in);
    fs->Close(out);
    unlink(other.c_str());
    EXPECT_EQ(ReadText("cel.dat"), src);
  }
#endif
}

TEST_F(FsData, ReadsAtAPlaceSeeTheFileAsItIsNow) {
  WriteText("a.dat", "0123456789");
  FileHandle h;
  ASSERT_EQ(fs->Open(Path("a.dat"), kAccessReadWrite | kShareDenyNone, h), kOk);
  struct Case {
    int64_t pos;
    uint32_t n;
    int rc;
    std::string got;
  };
  const Case cases[] = {
      {2, 3, kOk, "234"}, {8, 5, kOk, "89"}, {10, 4, kOk, ""}, {99, 1, kOk, ""}, {-1, 1, 131, ""},
  };
  for (const Case& c : cases) {
    char buf[16] = {};
    uint32_t got = 7;
    EXPECT_EQ(fs->ReadAt(h, c.pos, buf, c.n, got), c.rc) << c.pos;
    EXPECT_EQ(std::string(buf, got), c.got) << c.pos;
  }
  // Another open lengthens the file, then cuts it: reads follow both.
  FileHandle other;
  ASSERT_EQ(fs->Open(Path("A.DAT"), kAccessReadWrite | kShareDenyNone, other), kOk);
  char buf[32];
  uint32_t got = 0, put = 0;
  ASSERT_EQ(fs->Seek(h, 0), kOk);  // after a read at a place the position is not said
  ASSERT_EQ(fs->Read(h, buf, 4, got), kOk);
  ASSERT_EQ(fs->WriteAt(other, 10, "abcdef", 6, put), kOk);
  ASSERT_EQ(fs->Read(h, buf, sizeof buf, got), kOk);
  EXPECT_EQ(std::string(buf, got), "456789abcdef");
  ASSERT_EQ(fs->Seek(other, 3), kOk);
  ASSERT_EQ(fs->SetEnd(other), kOk);
  EXPECT_EQ(fs->Close(other), kOk);
  ASSERT_EQ(fs->Seek(h, 1), kOk);
  ASSERT_EQ(fs->Read(h, buf, sizeof buf, got), kOk);
  EXPECT_EQ(std::string(buf, got), "12");
  EXPECT_EQ(fs->Close(h), kOk);
  EXPECT_EQ(fs->ReadAt(h, 0, buf, 1, got), kErrInvalidHandle);
  ASSERT_EQ(fs->Open(Path("a.dat"), kAccessWrite | kShareDenyNone, h), kOk);
  EXPECT_EQ(fs->ReadAt(h, 0, buf, 1, got), kErrAccessDenied);
  EXPECT_EQ(fs->Close(h), kOk);
}

// A sorted insertion moves the records above its place up by one: through
// the host (in the file's mapping), through the base's pieces, on page
// bounds and off them, in a file already long enough and in one that is not.
TEST_F(FsData, MovesUpLeaveTheBytesBelowAndCarryTheRestWhole) {
  auto stack = Stack();
  std::vector<std::pair<const char*, FileSystem*>> ways = {{"host", fs.get()}};
  for (auto& [name, f] : stack) ways.emplace_back(name, f.get());
  struct Case {
    int64_t from, length;
    uint32_t by;
    bool roomMade;  // the file already reaches from + length + by
  };
  const Case cases[] = {
      {0, 10, 3, true},        {4090, 10000, 64, true}, {5000, 3 * 4096 + 7, 4096, true},
      {7, 100, 200, true},     {100, 0, 8, true},       {4095, 9000, 117, false},
  };
  for (const auto& [name, f] : ways) {
    for (const Case& c : cases) {
      const std::string before = Pattern(static_cast<size_t>(c.from + c.length + (c.roomMade ? c.by : 0)));
      WriteText("lista.dat", before);
      FileHandle h;
      ASSERT_EQ(f->Open(Path("lista.dat"), kAccessReadWrite | kShareDenyNone, h), kOk);
      EXPECT_EQ(f->MoveUp(h, c.from, c.length, c.by), kOk) << name << " " << c.from;
      EXPECT_EQ(f->Close(h), kOk);
      const std::string want = c.length == 0 ? before
                                              : before.substr(0, static_cast<size_t>(c.from + c.by)) +
                                                    before.substr(static_cast<size_t>(c.from), static_cast<size_t>(c.length));
      EXPECT_EQ(ReadText("lista.dat"), want) << name << " " << c.from << "+" << c.length << " by " << c.by;
    }
    FileHandle h;
    ASSERT_EQ(f->Open(Path("lista.dat"), kAccessRead | kShareDenyNone, h), kOk);
    EXPECT_EQ(f->MoveUp(h, 0, 16, 4), kErrAccessDenied) << name;
    EXPECT_EQ(f->Close(h), kOk);
  }
  // The base moves a piece per read and write, from the top down: a disk
  // that fills up halfway through the second piece leaves the first moved,
  // the second half new and half old, and the rest where it stood.
  auto& faulty = static_cast<FaultyFs&>(*stack[2].second);
  WriteText("lista.dat", Pattern(1000));
  faulty.ResetCounts();
  faulty.DiskFullAt(2);
  FileHandle h;
  ASSERT_EQ(faulty.Open(Path("lista.dat"), kAccessReadWrite | kShareDenyNone, h), kOk);
  EXPECT_EQ(faulty.MoveUp(h, 0, 900, 100), kErrDiskFull);
  faulty.Close(h);
  const std::string old = Pattern(1000);
  EXPECT_EQ(ReadText("lista.dat"), old.substr(0, 800) + old.substr(700, 50) + old.substr(850, 50) + old.substr(800, 100));
  EXPECT_EQ(faulty.Count(FsOp::Write), 2);
}

}  // namespace
}  // namespace qm::test
