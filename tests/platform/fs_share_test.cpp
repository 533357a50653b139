// Sharing modes and byte-range locks between open files of this process
// and of another process: the rules other workstations rely on.
#include <fcntl.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <string>

#include "platform/host_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

class FsShare : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    WriteText("lista.dat", "0123456789");
    file = Path("lista.dat");
  }
  void TearDown() override {
    for (FileHandle h : opened) fs->Close(h);
    QmTest::TearDown();
  }
  // Opens and remembers the handle for closing; returns the code.
  int OpenAs(uint8_t mode, FileHandle& h) {
    const int rc = fs->Open(file, mode, h);
    if (rc == kOk) opened.push_back(h);
    return rc;
  }
  void CloseNow(FileHandle h) {
    EXPECT_EQ(fs->Close(h), kOk);
    std::erase(opened, h);
  }
  std::string file;
  std::vector<FileHandle> opened;
};

TEST_F(FsShare, OpensConflictAsWin32SharingModes) {
  struct Case {
    uint8_t first, second;
    int expected;
  };
  constexpr uint8_t R = kAccessRead, W = kAccessWrite, RW = kAccessReadWrite;
  const Case cases[] = {
      {RW | kShareDenyNone, RW | kShareDenyNone, kOk},
      {RW | kShareDenyNone, R | kShareDenyWrite, kErrSharingViolation},  // the first writes
      {R | kShareDenyNone, R | kShareDenyWrite, kOk},
      {R | kShareDenyWrite, R | kShareDenyNone, kOk},
      {R | kShareDenyWrite, RW | kShareDenyNone, kErrSharingViolation},
      {R | kShareDenyWrite, W | kShareDenyNone, kErrSharingViolation},
      {R | kShareDenyRead, R | kShareDenyNone, kErrSharingViolation},
      {R | kShareDenyRead, W | kShareDenyNone, kOk},
      {W | kShareDenyNone, R | kShareDenyRead, kOk},
      {R | kShareDenyNone, R | kShareDenyRead, kErrSharingViolation},
      {R | kShareDenyAll, R | kShareDenyNone, kErrSharingViolation},
      {R | kShareDenyNone, R | kShareDenyAll, kErrSharingViolation},
      {R | kShareCompat, R | kShareDenyNone, kErrSharingViolation},  // compatibility = exclusive
  };
  for (const Case& c : cases) {
    FileHandle a, b;
    ASSERT_EQ(OpenAs(c.first, a), kOk);
    EXPECT_EQ(OpenAs(c.second, b), c.expected) << std::hex << int(c.first) << " then " << int(c.second);
    if (c.expected == kOk) CloseNow(b);
    CloseNow(a);
    // Once the first is closed, the second open is always allowed.
    ASSERT_EQ(OpenAs(c.second, b), kOk);
    CloseNow(b);
  }
}

TEST_F(FsShare, OpenFilesCannotBeReplacedRenamedOrRemoved) {
  FileHandle a;
  ASSERT_EQ(OpenAs(kAccessRead | kShareDenyWrite, a), kOk);
  FileHandle c;
  EXPECT_EQ(fs->Create(file, c), kErrSharingViolation);
  EXPECT_EQ(ReadText("lista.dat"), "0123456789");  // not truncated by the refused create
  CloseNow(a);

  ASSERT_EQ(OpenAs(kAccessRead | kShareDenyNone, a), kOk);
  EXPECT_EQ(fs->Rename(file, Path("inna.dat")), kErrSharingViolation);
  EXPECT_EQ(fs->Remove(file), kErrSharingViolation);
  CloseNow(a);
  EXPECT_EQ(fs->Rename(file, Path("inna.dat")), kOk);
  EXPECT_EQ(fs->Remove(Path("INNA.DAT")), kOk);
  EXPECT_FALSE(Exists("inna.dat"));
}

TEST_F(FsShare, LocksAreExclusiveAndBelongToTheirOpenFile) {
  FileHandle a, b;
  ASSERT_EQ(OpenAs(kAccessReadWrite | kShareDenyNone, a), kOk);
  ASSERT_EQ(OpenAs(kAccessReadWrite | kShareDenyNone, b), kOk);

  ASSERT_EQ(fs->Lock(a, 0, 0x7FFFFFFF), kOk);
  EXPECT_EQ(fs->Lock(a, 5, 1), kErrLockViolation);  // Win32 locks never overlap
  EXPECT_EQ(fs->Lock(b, 100, 1), kErrLockViolation);
  EXPECT_EQ(fs->Lock(b, 0x7FFFFFFF, 10), kOk);  // just past the end of a's range
  EXPECT_EQ(fs->Unlock(b, 0x7FFFFFFF, 10), kOk);

  // An unlock must name a locked range exactly.
  EXPECT_EQ(fs->Unlock(b, 0, 0x7FFFFFFF), kErrNotLocked);
  EXPECT_EQ(fs->Unlock(a, 0, 10), kErrNotLocked);
  EXPECT_EQ(fs->Unlock(a, 0, 0x7FFFFFFF), kOk);
  EXPECT_EQ(fs->Unlock(a, 0, 0x7FFFFFFF), kErrNotLocked);
  EXPECT_EQ(fs->Lock(b, 100, 1), kOk);

  // Closing another open file of the same file leaves b's lock in place.
  FileHandle c;
  ASSERT_EQ(OpenAs(kAccessRead | kShareDenyNone, c), kOk);
  CloseNow(c);
  EXPECT_EQ(fs->Lock(a, 100, 1), kErrLockViolation);

  // A file opened for reading takes a lock as exclusive as any other.
  ASSERT_EQ(OpenAs(kAccessRead | kShareDenyNone, c), kOk);
  EXPECT_EQ(fs->Lock(c, 100, 1), kErrLockViolation);
  EXPECT_EQ(fs->Lock(c, 0, 1), kOk);
  EXPECT_EQ(fs->Lock(a, 0, 1), kErrLockViolation);

  // Closing a file releases its locks.
  CloseNow(b);
  EXPECT_EQ(fs->Lock(a, 100, 1), kOk);
}

// Another process made by fork(); the Windows build starts a second copy of
// its test program instead (the *_win32_test files).
#ifndef _WIN32
// The other side runs in a child process that talks through two pipes: it
// waits for a byte before each step and answers with one after it.
class Child {
 public:
  template <typename Steps>
  explicit Child(Steps steps) {
    if (pipe(toChild_) != 0 || pipe(toParent_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(toChild_[1]);
      close(toParent_[0]);
      steps(*this);
      _exit(0);
    }
    close(toChild_[0]);
    close(toParent_[1]);
  }
  ~Child() {
    close(toChild_[1]);
    close(toParent_[0]);
    int status = 0;
    if (pid_ > 0) waitpid(pid_, &status, 0);
  }
  bool Started() const { return pid_ > 0; }
  // Parent: lets the child take its next step and waits until it has.
  char Step() {
    char c = 'g';
    if (write(toChild_[1], &c, 1) != 1) return 0;
    if (read(toParent_[0], &c, 1) != 1) return 0;
    return c;
  }
  // Child: waits for the parent, then reports the outcome of a step.
  void Wait() {
    char c;
    if (read(toChild_[0], &c, 1) != 1) _exit(1);
  }
  void Report(char c) {
    if (write(toParent_[1], &c, 1) != 1) _exit(1);
  }

 private:
  int toChild_[2] = {-1, -1}, toParent_[2] = {-1, -1};
  pid_t pid_ = -1;
};

TEST_F(FsShare, AnotherProgramsLockBlocksLocksAndExclusiveOpens) {
  // The other program takes a plain POSIX record lock, as any program would.
  const std::string path = file;
  Child other([&](Child& self) {
    self.Wait();
    const int fd = open(path.c_str(), O_RDWR);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 10;
    self.Report(fd >= 0 && fcntl(fd, F_SETLK, &fl) == 0 ? 'L' : 'x');
    self.Wait();
    fl.l_type = F_UNLCK;
    self.Report(fcntl(fd, F_SETLK, &fl) == 0 ? 'U' : 'x');
    self.Wait();
    close(fd);
    self.Report('C');
  });
  ASSERT_TRUE(other.Started());
  ASSERT_EQ(other.Step(), 'L');

  FileHandle h, x;
  ASSERT_EQ(OpenAs(kAccessReadWrite | kShareDenyNone, h), kOk);
  EXPECT_EQ(fs->Lock(h, 0, 0x7FFFFFFF), kErrLockViolation);
  EXPECT_EQ(fs->Lock(h, 9, 1), kErrLockViolation);
  EXPECT_EQ(fs->Lock(h, 10, 5), kOk);
  EXPECT_EQ(fs->Unlock(h, 10, 5), kOk);
  EXPECT_EQ(OpenAs(kAccessRead | kShareDenyWrite, x), kErrSharingViolation);
  EXPECT_EQ(OpenAs(kAccessReadWrite | kShareDenyAll, x), kErrSharingViolation);

  ASSERT_EQ(other.Step(), 'U');
  EXPECT_EQ(fs->Lock(h, 0, 0x7FFFFFFF), kOk);
  EXPECT_EQ(fs->Unlock(h, 0, 0x7FFFFFFF), kOk);
  CloseNow(h);
  ASSERT_EQ(OpenAs(kAccessRead | kShareDenyWrite, x), kOk);
  CloseNow(x);
  ASSERT_EQ(other.Step(), 'C');
}

TEST_F(FsShare, TwoCopiesOfTheProgramShareAndLockAsOnWin32) {
  const std::string path = file;
  Child other([&](Child& self) {
    auto fs2 = MakeHostFileSystem();
    FileHandle h = kNoHandle;
    self.Wait();
    self.Report(fs2->Open(path, kAccessReadWrite | kShareDenyNone, h) == kOk ? 'O' : 'x');
    self.Wait();
    self.Report(fs2->Lock(h, 0, 0x7FFFFFFF) == kOk ? 'L' : 'x');
    self.Wait();
    self.Report(fs2->Unlock(h, 0, 0x7FFFFFFF) == kOk ? 'U' : 'x');
    self.Wait();
    self.Report(fs2->Close(h) == kOk ? 'C' : 'x');
  });
  ASSERT_TRUE(other.Started());
  FileHandle h, x;
  ASSERT_EQ(OpenAs(kAccessReadWrite | kShareDenyNone, h), kOk);
  ASSERT_EQ(other.Step(), 'O');
  // The other copy has the file open for writing: no exclusive opens.
  EXPECT_EQ(OpenAs(kAccessRead | kShareDenyWrite, x), kErrSharingViolation);
  EXPECT_EQ(fs->Remove(file), kErrSharingViolation);
  ASSERT_EQ(other.Step(), 'L');
  EXPECT_EQ(fs->Lock(h, 0x7FFFFFFE, 1), kErrLockViolation);
  ASSERT_EQ(other.Step(), 'U');
  EXPECT_EQ(fs->Lock(h, 0x7FFFFFFE, 1), kOk);
  ASSERT_EQ(other.Step(), 'C');
  EXPECT_EQ(fs->Unlock(h, 0x7FFFFFFE, 1), kOk);
  CloseNow(h);
  EXPECT_EQ(OpenAs(kAccessRead | kShareDenyAll, x), kOk);
}

#endif  // _WIN32

}  // namespace
}  // namespace qm::test
