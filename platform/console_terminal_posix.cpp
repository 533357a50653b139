#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/console_terminal.h"
#include "platform/host_time.h"
#include "platform/input_parser.h"
#include "platform/key_table.h"
#include "platform/process.h"
#include "platform/terminal_render.h"

namespace qm {
namespace {

// What the signal handlers need, kept in plain globals: one terminal per
// process.
volatile sig_atomic_t g_ttyFd = -1;
volatile sig_atomic_t g_active = 0;  // raw mode and alternate screen in force
volatile sig_atomic_t g_resized = 0;
volatile sig_atomic_t g_resumed = 0;
struct termios g_saved;
int g_wakeRead = -1, g_wakeWrite = -1;  // self-pipe: signals wake the poll()

void WriteRaw(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

// Async-signal-safe: a fixed string and tcsetattr.
void RestoreTerminal() {
  if (!g_active || g_ttyFd < 0) return;
  g_active = 0;
  WriteRaw(g_ttyFd, kTerminalLeave, sizeof(kTerminalLeave) - 1);
  tcsetattr(g_ttyFd, TCSADRAIN, &g_saved);
}

void Wake() {
  if (g_wakeWrite < 0) return;
  const int saved = errno;
  const char c = 1;
  (void)!write(g_wakeWrite, &c, 1);
  errno = saved;
}

// Signals that end the program: the terminal goes back first, then the
// signal takes its course.
constexpr int kFatalSignals[] = {SIGTERM, SIGINT, SIGHUP,  SIGQUIT, SIGABRT,
                                 SIGSEGV, SIGBUS, SIGFPE, SIGILL};
// What was installed before: a sanitizer's handler, say, whose report must
// still be written (now on the normal screen).
struct sigaction g_previous[NSIG];

void OnFatalSignal(int sig, siginfo_t* info, void* context) {
  const int saved = errno;
  RestoreTerminal();
  const struct sigaction& before = g_previous[sig];
  if (before.sa_flags & SA_SIGINFO) {
    if (before.sa_sigaction) before.sa_sigaction(sig, info, context);
  } else if (before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN) {
    before.sa_handler(sig);
  }
  // Installed with SA_RESETHAND, so the disposition is the default again:
  // the signal raised here is blocked until this handler returns, then ends
  // the process with the status (and core dump) the signal itself gives. A
  // fault would also come back on the faulting instruction.
  raise(sig);
  errno = saved;
}

// A stack of its own for the handlers, so that a crash by stack overflow
// still gives the terminal back. One already set up (by a sanitizer) is
// kept.
void EnsureSignalStack() {
  static char stack[64 * 1024];
  stack_t current;
  if (sigaltstack(nullptr, &current) != 0 || !(current.ss_flags & SS_DISABLE)) return;
  stack_t ours;
  ours.ss_sp = stack;
  ours.ss_size = sizeof stack;
  ours.ss_flags = 0;
  sigaltstack(&ours, nullptr);
}

void OnStop(int) {
  const int saved = errno;
  const bool wasActive = g_active;
  RestoreTerminal();
  kill(getpid(), SIGSTOP);
  // Running again: SIGCONT has asked for the redraw.
  if (wasActive) g_resumed = 1;
  errno = saved;
}

void OnResize(int) {
  g_resized = 1;
  Wake();
}

void OnContinue(int) {
  g_resumed = 1;
  Wake();
}

void AtExit() { RestoreTerminal(); }

void Install(int sig, void (*handler)(int), int flags) {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = flags;
  sigaction(sig, &sa, nullptr);
}

void InstallHandlers() {
  static bool done = false;
  if (done) return;
  done = true;
  EnsureSignalStack();
  for (int sig : kFatalSignals) {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = OnFatalSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_ONSTACK;
    sigaction(sig, &sa, &g_previous[sig]);
  }
  Install(SIGTSTP, OnStop, SA_RESTART);
  Install(SIGWINCH, OnResize, SA_RESTART);
  Install(SIGCONT, OnContinue, SA_RESTART);
  std::atexit(AtExit);
}

class TerminalConsole : public Console {
 public:
  explicit TerminalConsole(int fd) : fd_(fd) {}
  ~TerminalConsole() override { Shutdown(); }

  bool Start(std::string& error);

  void SetTitle(const std::string& cp852) override {
    pending_ += TitleSequence(cp852);
    renderer_.SetTitle(cp852);
    Flush();
  }
  void Flush() override;
  bool WaitEvent(ConsoleEvent& ev, int timeoutMs) override;
  bool EventPending() override;
  void DiscardPending() override;
  void Sleep(int ms) override;
  void Tone(int freq, int ms) override;
  LocalTime Now() override { return HostNow(); }
  uint32_t TickCount() override { return HostTickCount(); }
  bool CopyToClipboard(const std::string& cp852) override {
    pending_ += ClipboardSequence(cp852);
    Flush();
    return true;
  }
  // Pasted text arrives as Paste events instead.
  std::string PasteFromClipboard() override { return {}; }
  void Shutdown() override;

 private:
  bool EnterRawMode();
  void HandleSignals();
  void CheckSize();
  bool NextEvent(ConsoleEvent& ev);
  void TakeKeysWhileTooSmall();
  // Reads what the terminal has sent, without waiting. False when the
  // terminal is gone. got: the number of bytes read.
  bool ReadInput(size_t* got = nullptr);
  void Hangup();

  int fd_;
  bool shutDown_ = false;
  TerminalRenderer renderer_;
  InputParser parser_;
  std::string pending_;  // bytes to go out with the next frame
  bool tooSmall_ = false;
  int cols_ = kCols, rows_ = kRows;
  uint32_t lastBell_ = 0;
};

bool TerminalConsole::EnterRawMode() {
  struct termios raw = g_saved;
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  // Without ISIG, Ctrl+C, Ctrl+Z and Ctrl+\ are keys like the others: no
  // keystroke can kill the program halfway through writing a file.
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  raw.c_cflag |= CS8;
  // Reads return at once with what is there; poll() does the waiting.
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(fd_, TCSAFLUSH, &raw) != 0) return false;
  WriteRaw(fd_, kTerminalEnter, sizeof(kTerminalEnter) - 1);
  g_active = 1;
  renderer_.Invalidate();
  return true;
}

bool TerminalConsole::Start(std::string& error) {
  if (tcgetattr(fd_, &g_saved) != 0) {
    error = std::string("cannot read the terminal settings: ") + std::strerror(errno);
    return false;
  }
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    return false;
  }
  for (int p : pipeFds) {
    fcntl(p, F_SETFD, FD_CLOEXEC);
    fcntl(p, F_SETFL, fcntl(p, F_GETFL) | O_NONBLOCK);
  }
  g_wakeRead = pipeFds[0];
  g_wakeWrite = pipeFds[1];
  g_ttyFd = fd_;
  InstallHandlers();
  if (!EnterRawMode()) {
    error = std::string("cannot set the terminal to raw mode: ") + std::strerror(errno);
    return false;
  }
  CheckSize();
  return true;
}

void TerminalConsole::CheckSize() {
  struct winsize ws;
  std::memset(&ws, 0, sizeof ws);
  int cols = kCols, rows = kRows;
  // A terminal that does not tell its size is taken to be large enough.
  if (ioctl(fd_, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    cols = ws.ws_col;
    rows = ws.ws_row;
  }
  renderer_.SetTerminalSize(cols, rows);
  parser_.SetMouseArea(cols, rows);
  const bool small = !TerminalLargeEnough(cols, rows);
  if (small) {
    if (!tooSmall_ || cols != cols_ || rows != rows_) pending_ += TooSmallScreen(cols, rows);
    renderer_.Invalidate();
  } else if (tooSmall_ || cols != cols_ || rows != rows_) {
    renderer_.Invalidate();
  }
  tooSmall_ = small;
  cols_ = cols;
  rows_ = rows;
}

void TerminalConsole::HandleSignals() {
  if (g_resumed) {
    g_resumed = 0;
    // The shell may have changed the settings while the program was
    // stopped; take them as the ones to give back.
    if (!g_active) {
      struct termios now;
      if (tcgetattr(fd_, &now) == 0) g_saved = now;
      EnterRawMode();
    } else {
      renderer_.Invalidate();
    }
    g_resized = 1;
  }
  if (g_resized) {
    g_resized = 0;
    // A resize may have scrambled the screen: draw it all again.
    renderer_.Invalidate();
    tooSmall_ = false;  // so the message is drawn again if still too small
    CheckSize();
  }
}

// Empties the self-pipe once poll() has found it readable; a byte left in
// it would make every later poll() return at once.
void DrainWake() {
  char drain[64];
  while (g_wakeRead >= 0 && read(g_wakeRead, drain, sizeof drain) > 0) {
  }
}

void TerminalConsole::Flush() {
  if (shutDown_) return;
  HandleSignals();
  if (!g_active) return;
  std::string out;
  out.swap(pending_);
  if (!tooSmall_) {
    out += renderer_.Frame(*this, dirtyRows_, cursorDirty_);
    dirtyRows_ = 0;
    cursorDirty_ = false;
  }
  if (!out.empty()) WriteRaw(fd_, out.data(), out.size());
}

bool TerminalConsole::ReadInput(size_t* got) {
  char buf[4096];
  if (got) *got = 0;
  for (;;) {
    const ssize_t n = read(fd_, buf, sizeof buf);
    if (n > 0) {
      parser_.Feed(buf, static_cast<size_t>(n), HostTickCount());
      if (got) *got += static_cast<size_t>(n);
      if (static_cast<size_t>(n) < sizeof buf) return true;
      continue;
    }
    if (n == 0) return true;  // VMIN 0: nothing there
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

void TerminalConsole::Hangup() {
  // The terminal is gone: nobody can answer, end as a hang-up would.
  Shutdown();
  signal(SIGHUP, SIG_DFL);
  raise(SIGHUP);
  std::_Exit(129);
}

bool TerminalConsole::NextEvent(ConsoleEvent& ev) {
  while (parser_.Next(ev)) {
    // Mouse reports from the margin of a larger terminal are nobody's.
    if (ev.kind != ConsoleEvent::Mouse || renderer_.View().ToConsole(ev.x, ev.y)) return true;
  }
  return false;
}

void TerminalConsole::TakeKeysWhileTooSmall() {
  if (!tooSmall_) return;
  // Keys typed at a screen the operator cannot see are not taken, but the
  // notice's own keys end the program, the way every other end goes.
  ConsoleEvent ev;
  while (parser_.Next(ev)) {
    const bool quit = ev.keyCode == keys::kEsc || ev.keyCode == CtrlLetterKey('C');
    if (ev.kind == ConsoleEvent::Key && quit) ExitProgram(0);
  }
}

bool TerminalConsole::WaitEvent(ConsoleEvent& ev, int timeoutMs) {
  Flush();
  const uint32_t start = HostTickCount();
  // What is already there counts even for a wait of 0 ms.
  if (!ReadInput()) Hangup();
  int emptyReads = 0;
  for (;;) {
    parser_.Expire(HostTickCount());
    TakeKeysWhileTooSmall();
    if (NextEvent(ev)) return true;
    const uint32_t now = HostTickCount();
    int wait = -1;
    if (timeoutMs >= 0) {
      const uint32_t elapsed = now - start;
      if (elapsed >= static_cast<uint32_t>(timeoutMs)) return false;
      wait = static_cast<int>(static_cast<uint32_t>(timeoutMs) - elapsed);
    }
    const int expiry = parser_.MsUntilExpiry(now);
    if (expiry >= 0 && (wait < 0 || expiry < wait)) wait = expiry;
    struct pollfd fds[2] = {{fd_, POLLIN, 0}, {g_wakeRead, POLLIN, 0}};
    const int r = poll(fds, 2, wait);
    if (r < 0 && errno != EINTR) Hangup();
    if (r > 0 && fds[1].revents) DrainWake();
    if (r > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) Hangup();
    if (r > 0 && (fds[0].revents & POLLIN)) {
      size_t got = 0;
      if (!ReadInput(&got)) Hangup();
      // Readable but nothing to read, again and again: end of file, the
      // terminal has gone without saying so.
      emptyReads = got == 0 ? emptyReads + 1 : 0;
      if (emptyReads > 50) Hangup();
    }
    if (g_resized || g_resumed) Flush();
  }
}

bool TerminalConsole::EventPending() {
  if (!ReadInput()) Hangup();
  parser_.Expire(HostTickCount());
  TakeKeysWhileTooSmall();
  return parser_.HasEvent();
}

void TerminalConsole::DiscardPending() {
  if (!ReadInput()) Hangup();
  TakeKeysWhileTooSmall();
  parser_.DropEvents();
}

void TerminalConsole::Sleep(int ms) {
  Flush();
  const uint32_t start = HostTickCount();
  for (;;) {
    const uint32_t elapsed = HostTickCount() - start;
    if (ms <= 0 || elapsed >= static_cast<uint32_t>(ms)) return;
    struct pollfd fd = {g_wakeRead, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(static_cast<uint32_t>(ms) - elapsed)) > 0) DrainWake();
    if (g_resized || g_resumed) Flush();
  }
}

void TerminalConsole::Tone(int, int) {
  // The terminal's bell is all there is; a burst of tones rings it once.
  const uint32_t now = HostTickCount();
  if (lastBell_ != 0 && now - lastBell_ < 100) return;
  lastBell_ = now == 0 ? 1 : now;
  pending_ += '\a';
  Flush();
}

void TerminalConsole::Shutdown() {
  if (shutDown_) return;
  Flush();
  shutDown_ = true;
  RestoreTerminal();
}

}  // namespace

std::unique_ptr<Console> OpenTerminalConsole(std::string& error) {
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = std::string("no terminal to run in (/dev/tty: ") + std::strerror(errno) +
            "); for an unattended run name a key script in QMKEYS";
    return nullptr;
  }
  if (!isatty(fd)) {
    close(fd);
    error = "no terminal to run in; for an unattended run name a key script in QMKEYS";
    return nullptr;
  }
  auto con = std::make_unique<TerminalConsole>(fd);
  if (!con->Start(error)) {
    RestoreTerminal();
    g_ttyFd = -1;
    return nullptr;  // the descriptor stays open: the handlers may still use it
  }
  return con;
}

}  // namespace qm
