// Unattended runs: keys from a script, screens to a file, a clear end when
// the script runs out; and the choice of backend at start.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/cp852.h"
#include "platform/backend.h"
#include "platform/console_scripted.h"
#include "platform/key_script.h"
#include "platform/process.h"

namespace qm {
namespace {

class ScriptedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qmscript.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    unsetenv("QMKEYS");
    unsetenv("QMSCREEN");
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::vector<ConsoleEvent> Keys(const std::string& script) {
    std::vector<ConsoleEvent> evs;
    std::string error;
    EXPECT_TRUE(ParseKeyScript(script, evs, error)) << error;
    return evs;
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
  }

  std::string dir_;
};

const std::string kSeparator = std::string(80, '=') + "\n";

TEST_F(ScriptedTest, KeysOneByOneAndAScreenPerWait) {
  const std::string dump = Path("screens.txt");
  ScriptedConsole con(Keys("PgDn \"ż\""), dump);
  for (int c = 1; c <= 4; ++c) con.Put(c, 1, static_cast<uint8_t>(Pl("Łódź")[c - 1]), 0x07);
  // Nothing is typed ahead: a key waits until the program asks for it.
  EXPECT_FALSE(con.EventPending());
  con.DiscardPending();
  ConsoleEvent ev;
  ASSERT_TRUE(con.WaitEvent(ev, 64));
  EXPECT_EQ(ev.keyCode, 0x5100);
  con.Put(1, 25, 'x', 0x07);
  ASSERT_TRUE(con.WaitEvent(ev, -1));
  EXPECT_EQ(ev.keyCode, 0x2CBE);
  EXPECT_EQ(con.KeysLeft(), 0u);
  con.Shutdown();
  con.Shutdown();
  const std::string text = Read(dump);
  EXPECT_EQ(Count(text, kSeparator), 3);  // two waits and the end
  EXPECT_EQ(text.size(), 3 * (25 * 81 + 3 + kSeparator.size()));  // "Łódź": 3 bytes over 4
  EXPECT_EQ(text.rfind("Łódź", 0), 0u);
  EXPECT_EQ(Count(text, "\nx"), 2);
}

TEST_F(ScriptedTest, OpenReportsUnreadableAndBrokenScripts) {
  std::string error;
  EXPECT_EQ(ScriptedConsole::Open(Path("none.keys"), "", error), nullptr);
  EXPECT_NE(error.find("none.keys"), std::string::npos);
  Write(Path("bad.keys"), "Enter PgDwn\n");
  EXPECT_EQ(ScriptedConsole::Open(Path("bad.keys"), "", error), nullptr);
  EXPECT_NE(error.find("PgDwn"), std::string::npos);
  Write(Path("good.keys"), "// start\r\nEnter F5\r\n");
  auto con = ScriptedConsole::Open(Path("good.keys"), "", error);
  ASSERT_NE(con, nullptr);
  EXPECT_EQ(con->KeysLeft(), 2u);
}

TEST_F(ScriptedTest, UsedUpScriptEndsTheRunWithCode3) {
  const std::string dump = Path("screens.txt");
  const std::string err = Path("stderr.txt");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (!freopen(err.c_str(), "w", stderr)) _exit(90);
    ScriptedConsole con(Keys("Enter"), dump);
    SetConsole(&con);
    con.Put(1, 1, 'A', 0x07);
    ConsoleEvent ev;
    con.WaitEvent(ev, -1);
    con.Put(1, 1, 'B', 0x07);
    con.WaitEvent(ev, 64);  // a timeout does not help: nobody will type
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kExitScriptUsedUp);
  EXPECT_NE(Read(err).find("key script used up"), std::string::npos);
  const std::string text = Read(dump);
  EXPECT_EQ(Count(text, kSeparator), 2);
  EXPECT_EQ(text.rfind("B"), text.size() - 25 * 81 - kSeparator.size());
}

TEST_F(ScriptedTest, BackendFollowsQmKeys) {
  Write(Path("run.keys"), "Esc");
  setenv("QMKEYS", Path("run.keys").c_str(), 1);
  setenv("QMSCREEN", Path("out.txt").c_str(), 1);
  std::string error;
  std::unique_ptr<Console> con = MakeConsole(error);
  ASSERT_NE(con, nullptr) << error;
  ConsoleEvent ev;
  ASSERT_TRUE(con->WaitEvent(ev, -1));
  EXPECT_EQ(ev.keyCode, 0x011B);
  EXPECT_EQ(Read(Path("out.txt")).size(), 25 * 81 + kSeparator.size());

  setenv("QMKEYS", Path("missing.keys").c_str(), 1);
  EXPECT_EQ(MakeConsole(error), nullptr);
  EXPECT_NE(error.find("missing.keys"), std::string::npos);
}

TEST(ProcessStart, ArgumentsAndProgramPathInCp852) {
  char prog[] = "qm19-20";
  char a1[] = "/dane/Łódź 2020";
  char a2[] = "/kprspis:X.DAT";
  char* argv[] = {prog, a1, a2, nullptr};
  InitProcess(3, argv);
  ASSERT_EQ(CommandArgs().size(), 2u);
  EXPECT_EQ(CommandArgs()[0], Pl("/dane/Łódź 2020"));
  EXPECT_EQ(CommandArgs()[1], "/kprspis:X.DAT");
  // The running test program, wherever it was started from.
  const std::string path = ProgramFilePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path[0], '/');
  EXPECT_NE(path.find("test_platform"), std::string::npos);
  ResetProcessState();
  EXPECT_TRUE(CommandArgs().empty());
  EXPECT_TRUE(ProgramFilePath().empty());
}

TEST(ProcessStart, EnvironmentValuesInCp852) {
  setenv("QM_TEST_VALUE", "Gdańsk", 1);
  EXPECT_EQ(GetEnvVar("QM_TEST_VALUE"), Pl("Gdańsk"));
  unsetenv("QM_TEST_VALUE");
  EXPECT_EQ(GetEnvVar("QM_TEST_VALUE"), "");
}

}  // namespace
}  // namespace qm
