// The command line's own options: the table that reads them, the help
// text, manual page and guide naming the same facts, and the real program
// answering with and without a terminal. (That the undo switches are never
// the 2020 directory, page 1's path file notice shows.)
#include <stdlib.h>

#include <chrono>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/program_version.h"
#include "driver/command_line.h"
#include "platform/process.h"
#include "run/run_settings.h"
#include "tests/driver/e2e_support.h"
#include "tests/support/detached_program.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

TEST(CommandLine, OptionTable) {
  struct Case {
    std::vector<std::string> args;
    CommandLineAnswer answer;
    std::string option;
    bool undo;
  };
  const Case cases[] = {
      {{}, CommandLineAnswer::Run, "", false},
      {{"/dane/2020", "/kprspis:X.DAT", "-EXC"}, CommandLineAnswer::Run, "", false},
      {{"--help"}, CommandLineAnswer::Help, "", false},
      {{"-h"}, CommandLineAnswer::Help, "", false},
      {{"--HELP"}, CommandLineAnswer::Help, "", false},
      {{"/dane", "--version"}, CommandLineAnswer::Version, "", false},
      {{"--version", "--help"}, CommandLineAnswer::Version, "", false},  // the first one decides
      {{"--frobnicate"}, CommandLineAnswer::UnknownOption, "--frobnicate", false},
      {{"--frobnicate", "--help"}, CommandLineAnswer::UnknownOption, "--frobnicate", false},
      {{"--"}, CommandLineAnswer::UnknownOption, "--", false},
      {{"--?"}, CommandLineAnswer::Run, "", false},  // the usage screen's
      {{"/dane", "--x?"}, CommandLineAnswer::UnknownOption, "--x?", false},
      {{"-x"}, CommandLineAnswer::Run, "", false},  // one dash: may be a directory
      {{"--undo"}, CommandLineAnswer::Run, "", true},
      {{"/cofnij", "/dane"}, CommandLineAnswer::Run, "", true},
      {{"/dane", "-COFNIJ"}, CommandLineAnswer::Run, "", true},
      {{"/COFNIJKA"}, CommandLineAnswer::Run, "", false},
      {{"--Undo", "--help"}, CommandLineAnswer::Help, "", true},
  };
  for (const Case& c : cases) {
    UndoRequested = false;
    const CommandLineVerdict v = ReadCommandLine(c.args);
    const std::string name = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(v.answer, c.answer) << name;
    EXPECT_EQ(v.option, c.option) << name;
    EXPECT_EQ(UndoRequested, c.undo) << name;
  }
  ResetRunSettings();
  EXPECT_FALSE(UndoRequested);
}

// Every switch, variable, side file and exit code, in all three documents:
// they drift apart when one is changed alone.
TEST(CommandLine, HelpManualPageAndGuideNameTheSameFacts) {
  const char* const facts[] = {
      "/kprspis:", "/EXC", "/LFN", "/COFNIJ", "-COFNIJ", "--undo", "--help", "--version",
      "KPRSPIS", "KPRCNF", "KPRLPT", "KPRXY", "qmTEMP", "VODERE", "TEMP", "TMP", "QMSOUND",
      "QMKEYS", "QMSCREEN", "XDG_CONFIG_HOME", "APPDATA", "qm19-20.PTH", "qm19-20.LST",
      "kolory.qm", "_QM1920", "qm19-20.LCK", "PRZEBIEG.QMJ", "KOPIE", "RAPORT-RRRRMMDD-GGMMSS.TXT",
      "Naprawić teraz?", ".config/qm19-20",
      // the exit codes by what they mean
      "rezygnacja przed przenoszeniem", "z powodu błędu pliku", "nie można zacząć",
      "skrypt klawiszy (QMKEYS) się skończył", "obsługuje inna kopia qm19-20",
      "odmowa naprawy lub cofnięcia", "poważny błąd wejścia-wyjścia",
  };
  // Blanks and line ends as one blank, ASCII letters in lower case, the
  // manual page's escapes undone.
  const auto normal = [](std::string s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
      char c = s[i];
      if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '-' || s[i + 1] == 'e')) c = s[++i] == '-' ? '-' : '\\';
      if (c == '\n' || c == '\r' || c == '\t') c = ' ';
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c == ' ' && !out.empty() && out.back() == ' ') continue;
      out += c;
    }
    return out;
  };
  std::vector<std::pair<std::string, std::string>> documents = {{"--help", normal(UsageText())}};
  const char* src = std::getenv("QM_SOURCE_DIR");
#ifdef QM_SOURCE_TREE
  if (!src) src = QM_SOURCE_TREE;
#endif
  if (src) {
    for (const char* rel : {"/docs/qm19-20.1", "/docs/PODRECZNIK.md"}) {
      std::ifstream f(HostPath(std::string(src) + rel), std::ios::binary);
      std::stringstream text;
      text << f.rdbuf();
      ASSERT_FALSE(text.str().empty()) << rel;
      documents.emplace_back(rel, normal(text.str()));
    }
  }
  for (const auto& [name, text] : documents) {
    for (const char* fact : facts) EXPECT_NE(text.find(normal(fact)), std::string::npos) << name << ": " << fact;
  }
  const std::string first = std::string("qm19-20 ") + ProgramVersion() + " ";
  EXPECT_EQ(UsageText().substr(0, first.size()), first);
}

#ifndef _WIN32

// The real program, its standard streams on files: no terminal at all, as
// the suite starts it everywhere (a session of its own).
int RunWithoutTerminal(const std::string& binary, const std::vector<std::string>& args, const std::string& dir,
                       std::string& out, std::string& err) {
  DetachedProgram p;
  p.argv = {binary};
  p.argv.insert(p.argv.end(), args.begin(), args.end());
  p.dir = dir;
  p.env = {"QMKEYS"};
  p.outPath = dir + "out.txt";
  p.errPath = dir + "err.txt";
  const int code = RunDetached(p, 20);
  const auto read = [&](const char* name) {
    std::ifstream f(dir + name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  };
  out = read("out.txt");
  err = read("err.txt");
  return code;
}

// Runs child in a process whose controlling terminal is a new
// pseudo-terminal (80x25, all three streams on it); what was written there
// (line ends as LF) and the child's exit code, -1 when it had not ended
// within 20 seconds.
int OnTerminal(const std::function<int()>& child, std::string& output) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -2;
  const std::string slaveName = ptsname(master);
  struct winsize ws {};
  ws.ws_col = 80;
  ws.ws_row = 25;
  ioctl(master, TIOCSWINSZ, &ws);
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    const int slave = open(slaveName.c_str(), O_RDWR);
    if (slave < 0) _exit(90);
    dup2(slave, 0);
    dup2(slave, 1);
    dup2(slave, 2);
    close(master);
    _exit(child());
  }
  output.clear();
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    struct pollfd p {master, POLLIN, 0};
    if (poll(&p, 1, 20) > 0) {
      char buf[4096];
      const ssize_t n = read(master, buf, sizeof buf);
      if (n > 0) {
        output.append(buf, static_cast<size_t>(n));
        continue;
      }
    }
    if (waitpid(pid, &status, WNOHANG) == pid) {
      close(master);
      std::string lf;
      for (char c : output) {
        if (c != '\r') lf += c;
      }
      output = lf;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    usleep(10000);  // the terminal is closed and the program not yet gone
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  close(master);
  return -1;
}

// The real program on a pseudo-terminal of its own.
int RunOnTerminal(const std::string& binary, const std::vector<std::string>& args, std::string& output) {
  return OnTerminal(
      [&] {
        unsetenv("QMKEYS");
        std::vector<char*> argv{const_cast<char*>(binary.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        return 91;
      },
      output);
}

class RealProgramOptions : public QmTest {};

TEST_F(RealProgramOptions, AnswerWithAndWithoutTerminal) {
  const std::string binary = e2e::ProgramBinary();
  if (binary.empty() || !e2e::IsFile(binary)) GTEST_SKIP() << "no program binary at " << binary;
  const std::string version = std::string("qm19-20 ") + ProgramVersion() + "\n";
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string out;  // the start of standard output
    std::string err;  // standard error
  };
  const Case cases[] = {
      {{"--version"}, 0, version, ""},
      {{"--help"}, 0, UsageText(), ""},
      {{"-h", "/dane"}, 0, UsageText(), ""},
      {{"/dane", "/COFNIJ", "--version"}, 0, version, ""},
      {{"--nieznana"}, 2, "", "qm19-20: nieznana opcja --nieznana (opis: qm19-20 --help)\n"},
  };
  for (const Case& c : cases) {
    std::string args;
    for (const std::string& a : c.args) args += " '" + a + "'";
    std::string out, err;
    EXPECT_EQ(RunWithoutTerminal(binary, c.args, Dir(), out, err), c.code) << args << err;
    EXPECT_EQ(out, c.out) << args;
    EXPECT_EQ(err, c.err) << args;

    std::string screen;
    EXPECT_EQ(RunOnTerminal(binary, c.args, screen), c.code) << args << screen;
    EXPECT_EQ(screen, c.out + c.err) << args;  // and nothing drawn: the console was never made
  }
  // The wizard itself still needs a terminal.
  std::string out, err;
  EXPECT_EQ(RunWithoutTerminal(binary, {}, Dir(), out, err), 2);
  EXPECT_EQ(out, "");
}

// The suite runs from a developer's terminal too: its terminal-free start
// of the wizard, made from inside a terminal, must end at once and draw
// nothing there rather than take the terminal over and wait for keys.
TEST_F(RealProgramOptions, TheTerminalFreeStartNeverReachesTheTerminalItIsMadeFrom) {
  const std::string binary = e2e::ProgramBinary();
  if (binary.empty() || !e2e::IsFile(binary)) GTEST_SKIP() << "no program binary at " << binary;
  std::string screen;
  const int code = OnTerminal(
      [&] {
        std::string out, err;
        return RunWithoutTerminal(binary, {}, Dir(), out, err);
      },
      screen);
  EXPECT_EQ(code, 2);
  EXPECT_TRUE(screen.empty()) << "drawn on the terminal: " << screen.substr(0, 200);
  EXPECT_NE(ReadText("err.txt").find("no terminal to run in (/dev/tty: "), std::string::npos) << ReadText("err.txt");
}

#endif

}  // namespace
}  // namespace qm::test
