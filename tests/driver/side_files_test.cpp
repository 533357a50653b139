// Where the path and list files are looked for and where the path file is
// saved: next to the program first, then in the user's own directory. The
// program's directory is made unwritable through the file layer, because
// the suite runs as root on CI, where no file mode keeps a directory from
// being written.
#include <stdlib.h>

#include <optional>
#include <string>

#include "driver/main_sequence.h"
#include "driver/side_files.h"
#include "platform/process.h"
#include "run/run_settings.h"
#include "tests/support/refusing_fs.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

class SideFilesTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    MakeDir("bin");
    ProgramBase = Path("bin/qm19-20");
    ProgramDir = Path("bin/");
  }
  void TearDown() override {
    SetFileSystem(fs.get());
    QmTest::TearDown();
  }
  // The user's directory as QmTest points the environment at it.
  static constexpr const char* kUserDir = "config/qm19-20/";

  void Place(const std::string& rel, const std::string& root2019, const std::string& listEntry) {
    WriteText(rel + ".PTH", "ZEV_2019=" + root2019 + "\r\n");
    WriteText(rel + ".LST", listEntry + "\r\n");
  }
};

TEST_F(SideFilesTest, LookedForNextToTheProgramThenInTheUsersDirectory) {
  const std::string program = "bin/qm19-20";
  const std::string user = std::string(kUserDir) + "qm19-20";
  struct Case {
    const char* name;
    bool nextToProgram, inUserDir, programDirWritable;
    const char* read2019;     // the 2019 root read at start, null: the default
    bool savedNextToProgram;  // else in the user's directory
    bool savedReadBack;       // else the program's own file still comes first
  };
  const Case cases[] = {
      {"both", true, true, true, "PROGRAM", true, true},
      {"user's only", false, true, true, "USER", true, true},
      {"user's only, program's directory closed", false, true, false, "USER", false, true},
      {"none, program's directory closed", false, false, false, nullptr, false, true},
      {"program's only, its directory closed", true, false, false, "PROGRAM", false, false},
  };
  for (const Case& c : cases) {
    std::error_code ec;
    std::filesystem::remove_all(HostPath(Dir() + "config"), ec);
    std::filesystem::remove(HostPath(Path(program + ".PTH")), ec);
    std::filesystem::remove(HostPath(Path(program + ".LST")), ec);
    if (c.nextToProgram) Place(program, "PROGRAM", "PROGRAM.DAT");
    if (c.inUserDir) Place(user, "USER", "USER.DAT");
    std::optional<RefusingFs> closed;
    if (!c.programDirWritable) closed.emplace(*fs, Path("bin/"));
    SetFileSystem(closed ? static_cast<FileSystem*>(&*closed) : fs.get());

    ResetRunSettings();
    const std::string defaultRoot = SourceRoot;
    ReadPathsFile();
    ReadListFile();
    EXPECT_EQ(SourceRoot, c.read2019 ? c.read2019 + std::string(1, kPathSep) : defaultRoot) << c.name;
    ASSERT_EQ(ExtraFiles.size(), c.read2019 ? 1u : 0u) << c.name;
    if (c.read2019) {
      EXPECT_EQ(ExtraFiles[0], std::string(c.read2019) + ".DAT") << c.name;
    }

    const std::string before = c.savedNextToProgram ? ReadText(user + ".PTH") : ReadText(program + ".PTH");
    SourceRoot = Path("nowy19/");
    TargetRoot = Path("nowy20/");
    SavePathsFile();
    const std::string saved = "[PATHS]\r\nZEV_2019=" + Path("nowy19") + "\r\nZEV_2020=" + Path("nowy20") + "\r\n";
    EXPECT_EQ(ReadText((c.savedNextToProgram ? program : user) + ".PTH"), saved) << c.name;
    // The other place is left as it was.
    EXPECT_EQ(c.savedNextToProgram ? ReadText(user + ".PTH") : ReadText(program + ".PTH"), before) << c.name;
    // The next start finds what was saved, unless a file it cannot replace
    // stands next to the program (an administrator's, say).
    SourceRoot.clear();
    ReadPathsFile();
    EXPECT_EQ(SourceRoot, c.savedReadBack ? Path("nowy19/") : "PROGRAM" + std::string(1, kPathSep)) << c.name;
  }
}

#ifndef _WIN32
// A program in a directory of the system never writes its path file there,
// not even as root, and reads the user's first: an older file next to it
// (one a previous version left in /usr/bin) no longer hides what the user
// saved. The system directory is only ever tried through a layer that
// refuses and counts, so a fault cannot leave a file in the real /usr.
TEST_F(SideFilesTest, AProgramInASystemDirectoryKeepsItsPathFileInTheUsersDirectory) {
  const struct {
    const char* dir;
    bool system;
  } dirs[] = {{"/usr/bin/", true},   {"/usr/local/bin/", true}, {"/opt/qm19-20/bin/", true}, {"/bin/", true},
              {"/sbin/", true},      {"/home/ala/qm/", false},  {"/srv/zev/", false},         {"/usr", false},
              {"/optima/", false},   {"/tmp/usr/bin/", false}};
  for (const auto& d : dirs) EXPECT_EQ(InSystemDirectory(d.dir), d.system) << d.dir;

  const std::string user = std::string(kUserDir) + "qm19-20";
  Place(user, "USER", "USER.DAT");
  RefusingFs system(*fs, "/usr/");
  SetFileSystem(&system);
  ProgramBase = "/usr/bin/qm19-20";
  ProgramDir = "/usr/bin/";
  EXPECT_EQ(SideFilePlaces(".PTH"), (std::vector<std::string>{Path(user + ".PTH"), "/usr/bin/qm19-20.PTH"}));
  ResetRunSettings();
  ReadPathsFile();
  EXPECT_EQ(SourceRoot, "USER/");
  SourceRoot = Path("nowy19/");
  TargetRoot = Path("nowy20/");
  SavePathsFile();
  EXPECT_EQ(ReadText(user + ".PTH"),
            "[PATHS]\r\nZEV_2019=" + Path("nowy19") + "\r\nZEV_2020=" + Path("nowy20") + "\r\n");
  EXPECT_EQ(system.refusals, 0);
}
#endif

TEST_F(SideFilesTest, UsersDirectoryFromTheEnvironment) {
  struct Case {
    const char* name;
    const char* value;  // of XDG_CONFIG_HOME (APPDATA on Windows); null: unset
    const char* home;   // of HOME; null: unset
    std::string expected;
  };
#ifdef _WIN32
  const char* const var = "APPDATA";
  const Case cases[] = {
      {"set", "C:\\Users\\ala\\AppData\\Roaming", nullptr, "C:\\Users\\ala\\AppData\\Roaming\\qm19-20\\"},
      {"closing separator", "C:\\Dane\\", nullptr, "C:\\Dane\\qm19-20\\"},
      {"unset", nullptr, nullptr, ""},
  };
#else
  const char* const var = "XDG_CONFIG_HOME";
  const Case cases[] = {
      {"set", "/srv/cfg", "/home/ala", "/srv/cfg/qm19-20/"},
      {"closing separator", "/srv/cfg/", "/home/ala", "/srv/cfg/qm19-20/"},
      {"relative, ignored", "cfg", "/home/ala", "/home/ala/.config/qm19-20/"},
      {"unset", nullptr, "/home/ala/", "/home/ala/.config/qm19-20/"},
      {"neither", nullptr, nullptr, ""},
  };
#endif
  const char* savedHome = std::getenv("HOME");
  const std::string home = savedHome ? savedHome : "";
  for (const Case& c : cases) {
    if (c.value) setenv(var, c.value, 1); else unsetenv(var);
    if (c.home) setenv("HOME", c.home, 1); else unsetenv("HOME");
    EXPECT_EQ(UserConfigDir(), c.expected) << c.name;
  }
  if (savedHome) setenv("HOME", home.c_str(), 1); else unsetenv("HOME");
  setenv(var, (Dir() + "config").c_str(), 1);
}

}  // namespace
}  // namespace qm::test
