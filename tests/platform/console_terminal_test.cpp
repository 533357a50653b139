// The terminal backend on a pseudo-terminal: a child process takes it as
// its controlling terminal and runs the console; the test plays the
// terminal on the other side. Also the process's own signal settings.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>

#include "base/cp852.h"
#include "platform/backend.h"
#include "platform/console_terminal.h"
#include "platform/host_fs.h"
#include "platform/terminal_render.h"

namespace qm {
namespace {

class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    slaveName_ = ptsname(master_);
    Resize(80, 25);
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(master_);
  }
  void Resize(int cols, int rows) {
    struct winsize ws {};
    ws.ws_col = static_cast<unsigned short>(cols);
    ws.ws_row = static_cast<unsigned short>(rows);
    ioctl(master_, TIOCSWINSZ, &ws);
  }
  // Runs body in a child whose controlling terminal is the pty; the child
  // ends with body's result as its exit code. before runs in the child
  // before the console is opened.
  void Start(const std::function<int(Console&)>& body, const std::function<void()>& before = {}) {
    output_.clear();
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      setsid();
      const int slave = open(slaveName_.c_str(), O_RDWR);
      if (slave < 0) _exit(90);
      if (before) before();
      std::string error;
      std::unique_ptr<Console> con = OpenTerminalConsole(error);
      if (!con) _exit(91);
      const int rc = body(*con);
      con.reset();
      _exit(rc);
    }
  }
  // Reads the terminal's output until it holds text (UTF-8); false after
  // the time limit.
  bool WaitFor(const std::string& text, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (output_.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > end) return false;
      Pump(20);
    }
    return true;
  }
  // Reads until the terminal has been quiet for a while.
  void Drain() {
    for (size_t before = output_.size();; before = output_.size()) {
      Pump(150);
      if (output_.size() == before) return;
    }
  }
  void Pump(int ms) {
    struct pollfd fd = {master_, POLLIN, 0};
    if (poll(&fd, 1, ms) > 0) {
      char buf[8192];
      const ssize_t n = read(master_, buf, sizeof buf);
      if (n > 0) output_.append(buf, static_cast<size_t>(n));
    }
  }
  void Type(const std::string& bytes) { ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  // Waits for the child to end (reading what it still writes); its wait
  // status, or -1 after the time limit.
  int Finish(int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
      Pump(10);
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        Pump(10);
        return status;
      }
      usleep(1000);  // the other side may be closed: poll() then returns at once
    }
    return -1;
  }
  struct termios PtyModes() {
    struct termios t {};
    tcgetattr(master_, &t);
    return t;
  }

  int master_ = -1;
  pid_t pid_ = -1;
  std::string slaveName_;
  std::string output_;
};

void Show(Console& con, const std::string& utf8) {
  int col = 1;
  for (char ch : Pl(utf8)) con.Put(col++, 1, static_cast<uint8_t>(ch), 0x0A);
  con.Flush();
}

TEST_F(PtyTest, KeysInTimeoutsAndTheTerminalGivenBack) {
  const struct termios before = PtyModes();
  ASSERT_TRUE(before.c_lflag & ICANON);
  Start([](Console& con) {
    Show(con, "Zażółć gęślą");
    ConsoleEvent ev;
    if (!con.WaitEvent(ev, 5000) || ev.keyCode != 0x7400) return 11;
    if (!con.WaitEvent(ev, 5000) || ev.keyCode != 0x1EA5) return 12;
    // A real wait for the timeout, then false.
    const uint32_t t0 = con.TickCount();
    if (con.WaitEvent(ev, 150)) return 13;
    if (con.TickCount() - t0 < 150) return 14;
    // A key already typed is there for a wait of no time at all.
    Show(con, "gotowe");
    bool got = false;
    for (int i = 0; i < 300 && !got; ++i) {
      got = con.WaitEvent(ev, 0);
      if (!got) usleep(10000);
    }
    if (!got || ev.keyCode != 0x2C7A) return 15;
    con.Shutdown();
    return 0;
  });
  ASSERT_TRUE(WaitFor("Zażółć gęślą"));
  EXPECT_NE(output_.find(kTerminalEnter), std::string::npos);
  EXPECT_FALSE(PtyModes().c_lflag & (ICANON | ECHO | ISIG));
  Type("\x1b[1;5C");
  Type("ą");
  ASSERT_TRUE(WaitFor("gotowe"));
  Type("z");
  const int status = Finish();
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(output_.find(kTerminalLeave), std::string::npos);
  const struct termios after = PtyModes();
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
}

TEST_F(PtyTest, TerminationSignalRestoresTheTerminal) {
  Start([](Console& con) {
    Show(con, "czekam");
    ConsoleEvent ev;
    con.WaitEvent(ev, -1);
    return 0;
  });
  ASSERT_TRUE(WaitFor("czekam"));
  EXPECT_FALSE(PtyModes().c_lflag & ICANON);
  kill(pid_, SIGTERM);
  const int status = Finish();
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_TRUE(PtyModes().c_lflag & ICANON);
  EXPECT_TRUE(PtyModes().c_lflag & ECHO);
  EXPECT_NE(output_.find(kTerminalLeave), std::string::npos);
}

TEST_F(PtyTest, SmallTerminalAsksForRoomAndDropsKeysMeanwhile) {
  Resize(60, 20);
  Start([](Console& con) {
    Show(con, "Ekran programu");
    ConsoleEvent ev;
    if (!con.WaitEvent(ev, 5000)) return 20;
    return ev.keyCode == 0x1C0D ? 0 : 21;
  });
  ASSERT_TRUE(WaitFor("potrzeba 80×24"));
  EXPECT_NE(output_.find("(teraz 60×20)"), std::string::npos);
  EXPECT_EQ(output_.find("Ekran programu"), std::string::npos);
  Type("x");
  Pump(200);
  Resize(100, 30);
  ASSERT_TRUE(WaitFor("Ekran programu"));
  Type("\r");
  const int status = Finish();
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PtyTest, ResizeRedrawsTheWholeScreen) {
  Start([](Console& con) {
    Show(con, "pierwszy");
    ConsoleEvent ev;
    con.WaitEvent(ev, 5000);
    return 0;
  });
  ASSERT_TRUE(WaitFor("pierwszy"));
  // The first draw may still be on its way in further reads; its tail must
  // not be taken for the redraw.
  Drain();
  output_.clear();
  Resize(90, 30);
  // The redraw may reach the pseudo-terminal in several reads: wait for the
  // clear, then for the last row drawn after it, centred.
  ASSERT_TRUE(WaitFor("\x1b[2J"));
  const size_t clear = output_.find("\x1b[2J");
  const auto redrawn = [&] { return output_.find("\x1b[27;6H", clear) != std::string::npos; };
  for (int i = 0; i < 250 && !redrawn(); ++i) Pump(20);
  ASSERT_TRUE(redrawn());
  EXPECT_NE(output_.find("pierwszy", clear), std::string::npos);
  Type("\r");
  EXPECT_TRUE(WIFEXITED(Finish()));
}

TEST_F(PtyTest, KeysAndMouseReachTheScreenOnShortAndLargeTerminals) {
  struct Case {
    int cols, rows;
    const char* row3;    // where row 3 of the screen starts on the terminal
    const char* margin;  // presses beside the screen, which reach nobody
    const char* click;   // a press on column 10 of row 3
  };
  const Case cases[] = {
      {80, 24, "\x1b[2;10H", "", "\x1b[<0;10;2M"},
      {80, 25, "\x1b[3;10H", "", "\x1b[<0;10;3M"},
      {90, 30, "\x1b[5;15H", "\x1b[<0;5;3M\x1b[<0;20;30M\x1b[<0;86;4M", "\x1b[<0;15;5M"}};
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.cols) + "x" + std::to_string(k.rows));
    Resize(k.cols, k.rows);
    // A page's top: the title, the ruled line under it, a field in row 3.
    Start([](Console& con) {
      Show(con, "Tytuł programu");
      for (int c = 1; c < 80; ++c) con.Put(c, 2, 0xC4, 0x0F);
      int col = 10;
      for (char ch : Pl("pole: żółw")) con.Put(col++, 3, static_cast<uint8_t>(ch), 0x1F);
      ConsoleEvent ev;
      if (!con.WaitEvent(ev, 5000) || ev.keyCode != 0x1C0D) return 31;
      if (!con.WaitEvent(ev, 5000) || ev.kind != ConsoleEvent::Mouse) return 32;
      return ev.x == 10 && ev.y == 3 && ev.buttons == 1 ? 0 : 33;
    });
    ASSERT_TRUE(WaitFor("pole: żółw"));
    EXPECT_EQ(output_.find("potrzeba"), std::string::npos);
    EXPECT_NE(output_.find(std::string(k.row3) + "\x1b[97;44mpole"), std::string::npos);
    Type("\r" + std::string(k.margin) + k.click);
    const int status = Finish();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}

int WaitForever(Console& con) {
  Show(con, "czekam");
  ConsoleEvent ev;
  con.WaitEvent(ev, -1);
  return 40;
}

void ExitFromHandler(int, siginfo_t*, void*) { _exit(42); }

// Every way out gives the terminal back: the size notice's keys end the
// program with exit code 0; a crash signal still ends it as the signal
// does, or through a handler that was there first (a sanitizer's, say).
TEST_F(PtyTest, NoticeKeysAndCrashSignalsGiveTheTerminalBack) {
  struct Case {
    const char* key;  // typed in the size notice, else the signal is sent
    int sig;
    bool handlerBefore;
  };
  const struct termios before = PtyModes();
  const Case cases[] = {{"\x1b", 0, false},     {"\x03", 0, false},     {"", SIGSEGV, false},
                        {"", SIGBUS, false},  {"", SIGFPE, false},  {"", SIGILL, false},
                        {"", SIGABRT, false}, {"", SIGSEGV, true}};
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.sig ? strsignal(k.sig) : k.key) + (k.handlerBefore ? " +" : ""));
    Resize(*k.key ? 79 : 80, 30);
    Start(WaitForever, [&k] {
      // No core files, and none of the test program's own handlers.
      struct rlimit none {};
      setrlimit(RLIMIT_CORE, &none);
      for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) signal(sig, SIG_DFL);
      struct sigaction sa {};
      sa.sa_sigaction = ExitFromHandler;
      sa.sa_flags = SA_SIGINFO;
      if (k.handlerBefore) sigaction(k.sig, &sa, nullptr);
    });
    ASSERT_TRUE(WaitFor(*k.key ? "Esc - koniec programu" : "czekam"));
    EXPECT_FALSE(PtyModes().c_lflag & (ICANON | ECHO));
    if (*k.key) Type(std::string("x") + k.key);
    else kill(pid_, k.sig);
    const int status = Finish();
    if (k.sig && !k.handlerBefore)
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == k.sig) << status;
    else
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (k.sig ? 42 : 0)) << status;
    EXPECT_EQ(PtyModes().c_lflag, before.c_lflag);
    EXPECT_NE(output_.find(kTerminalLeave), std::string::npos);
  }
}

// A file-size limit (ulimit -f) makes a write fail like a full disk, with
// or without a terminal; it does not kill the program halfway through.
TEST(FileSizeLimit, AWriteBeyondItFailsAndTheProgramGoesOn) {
  const std::string path = "/tmp/qm-fsize-" + std::to_string(getpid()), block(3000, 'x');
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    char name[] = "qm19-20", *argv[] = {name, nullptr};
    InitProcess(1, argv);
    const struct rlimit limit = {4096, 4096};
    std::unique_ptr<FileSystem> fs = MakeHostFileSystem();
    FileHandle h;
    uint32_t put = 0;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0 || fs->Create(path, h) != kOk) _exit(90);
    // The second block crosses the limit: the write says so.
    const bool first = fs->Write(h, block.data(), 3000, put) == kOk;
    _exit(first && fs->Write(h, block.data(), 3000, put) != kOk ? 0 : 91);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  unlink(path.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace qm
