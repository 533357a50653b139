// Page 1 left forward tries writing both trees: a file made and removed in
// the 2019 root and in _QM1920 (else the 2020 root). A tree that refuses is
// named in a box with the reason, page 1 stays and the paths are not saved;
// nothing of the probe is left in either tree. The refusals come from a
// file layer that refuses below one directory, and, as root on POSIX, from
// a real read-only mount.
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "driver/wizard.h"
#include "driver/write_access.h"
#include "platform/forwarding_fs.h"
#include "platform/process.h"
#include "run/run_settings.h"
#include "tests/support/test_env.h"
#include "tui/message_box.h"

namespace qm::test {
namespace {

// Refuses to make or remove anything below one directory with one code.
class RefusingFs : public ForwardingFs {
 public:
  RefusingFs(FileSystem& inner, std::string dir, int code, bool removeOnly)
      : ForwardingFs(inner), dir_(std::move(dir)), code_(code), removeOnly_(removeOnly) {}
  int Create(const std::string& path, FileHandle& h) override {
    return Below(path) && !removeOnly_ ? code_ : ForwardingFs::Create(path, h);
  }
  int Remove(const std::string& path) override { return Below(path) ? code_ : ForwardingFs::Remove(path); }

 private:
  bool Below(const std::string& path) const {
    return !dir_.empty() && path.compare(0, dir_.size(), dir_) == 0 && path.find(kPathSep, dir_.size()) == std::string::npos;
  }
  std::string dir_;
  int code_;
  bool removeOnly_;
};

class WriteAccessTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    WriteFile("z19/SPISFIRM.DAT", Bytes(103, 1));
    MakeDir("z20");
    ProgramBase = Path("qm19-20");
    SourceRoot = Path("z19/");
    TargetRoot = Path("z20/");
  }
  void TearDown() override {
    SetFileSystem(fs.get());
    QmTest::TearDown();
  }
  bool Shown(const std::string& utf8) const {
    for (const std::string& s : con.screens)
      if (s.find(utf8) != std::string::npos) return true;
    return false;
  }
  bool ProbeLeft() const { return Exists(std::string("z19/") + kWriteProbeName) || Exists(std::string("z20/") + kWriteProbeName) ||
                                  Exists(std::string("z20/_QM1920/") + kWriteProbeName); }
};

TEST_F(WriteAccessTest, ATreeThatRefusesIsNamedAndPageOneStays) {
  struct Case {
    const char* name;
    bool books;          // _QM1920 exists in the 2020 root
    const char* refused;  // below Dir(); null: nothing refused
    int code;
    bool removeOnly;
    const char* tree;    // the line of the box, UTF-8
    const char* reason;  // UTF-8
  };
  const Case cases[] = {
      {"both writable", false, nullptr, kOk, false, nullptr, nullptr},
      {"2019 read-only", false, "z19/", kErrAccessDenied, false, "Nie można pisać w instalacji 2019:",
       "(brak uprawnień do zapisu albo dysk tylko do odczytu)"},
      {"2020 root read-only", false, "z20/", kErrAccessDenied, false, "Nie można pisać w instalacji 2020:",
       "(brak uprawnień do zapisu albo dysk tylko do odczytu)"},
      // With _QM1920 there, the run writes there first: that is what counts.
      {"_QM1920 full", true, "z20/_QM1920/", kErrDiskFull, false, "_QM1920", "(brak miejsca na dysku)"},
      {"root refused, _QM1920 writable", true, "z20/", kErrAccessDenied, false, nullptr, nullptr},
      {"2019 probe cannot be removed", false, "z19/", kErrSharingViolation, true,
       "Nie można pisać w instalacji 2019:", "(plik próbny jest używany przez inny program)"},
  };
  for (const Case& c : cases) {
    std::error_code ec;
    std::filesystem::remove_all(HostPath(Path("z20/_QM1920")), ec);
    std::filesystem::remove(HostPath(Path("z19/") + kWriteProbeName), ec);
    std::filesystem::remove(HostPath(Path("qm19-20.PTH")), ec);
    if (c.books) MakeDir("z20/_QM1920");
    RefusingFs refusing(*fs, c.refused ? Path(c.refused) : std::string(), c.code, c.removeOnly);
    SetFileSystem(&refusing);
    con.screens.clear();
    con.capture = true;
    // Tick the path file's box, go forward; after a refusal, OK and give up.
    con.Keys(c.tree ? "Tab Tab Space PgDn Enter Esc" : "Tab Tab Space PgDn");
    auto page = PathsPage();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Run(), c.tree ? CMD_ABORT : CMD_NEXT) << c.name;
    page.reset();
    SetFileSystem(fs.get());
    EXPECT_EQ(con.PendingCount(), 0u) << c.name;
    EXPECT_EQ(Exists("qm19-20.PTH"), c.tree == nullptr) << c.name << ": the paths saved";
    if (c.tree) {
      EXPECT_TRUE(Shown(c.tree)) << c.name;
      EXPECT_TRUE(Shown(c.reason)) << c.name;
      EXPECT_TRUE(Shown("Przenoszenie danych nie może się zacząć.")) << c.name;
    }
    if (!c.removeOnly) {
      EXPECT_FALSE(ProbeLeft()) << c.name;
    }
  }
}

#ifndef _WIN32
// A 2019 tree on a read-only mount, as a share mounted so or a backup disk
// would be: refused with the reason the host gives. In a child of a mount
// namespace of its own, so that the mount ends with it.
TEST_F(WriteAccessTest, AReadOnlyMountIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const std::string dir = Path("z19");
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
      _exit(77);
    con.capture = true;
    con.Keys("Enter");
    const bool ok = CheckWriteAccess();
    const bool named = Shown("Nie można pisać w instalacji 2019:") && Shown("dysk tylko do odczytu") &&
                       !Shown("instalacji 2020");
    _exit(!ok && named && con.PendingCount() == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(ProbeLeft());
}
#endif

}  // namespace
}  // namespace qm::test
