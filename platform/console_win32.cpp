// The console on Windows: a screen buffer of its own (given back at the end,
// like a terminal's alternate screen), drawn with the wide cell API through
// the CP852 codec, and key and mouse events turned into the PC key codes.
#include <windows.h>

#include <csignal>
#include <cstring>
#include <deque>
#include <string>

#include "base/cp852.h"
#include "platform/backend.h"
#include "platform/console.h"
#include "platform/console_scripted.h"
#include "platform/console_win32.h"
#include "platform/host_time.h"
#include "platform/key_table.h"
#include "platform/process.h"

namespace qm {
namespace {

uint8_t StateByte(DWORD ks) {
  uint8_t s = 0;
  if (ks & SHIFT_PRESSED) s |= kStateShift;
  if (ks & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) s |= kStateCtrl;
  if (ks & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) s |= kStateAlt;
  if (ks & SCROLLLOCK_ON) s |= kStateScrollLock;
  if (ks & NUMLOCK_ON) s |= kStateNumLock;
  if (ks & CAPSLOCK_ON) s |= kStateCapsLock;
  return s;
}

bool ExtKeyOfVk(WORD vk, ExtKey& key) {
  switch (vk) {
    case VK_UP: key = ExtKey::Up; return true;
    case VK_DOWN: key = ExtKey::Down; return true;
    case VK_LEFT: key = ExtKey::Left; return true;
    case VK_RIGHT: key = ExtKey::Right; return true;
    case VK_HOME: key = ExtKey::Home; return true;
    case VK_END: key = ExtKey::End; return true;
    case VK_PRIOR: key = ExtKey::PgUp; return true;
    case VK_NEXT: key = ExtKey::PgDn; return true;
    case VK_INSERT: key = ExtKey::Ins; return true;
    case VK_DELETE: key = ExtKey::Del; return true;
    case VK_TAB: key = ExtKey::Tab; return true;
    case VK_RETURN: key = ExtKey::Enter; return true;
    case VK_ESCAPE: key = ExtKey::Esc; return true;
    case VK_BACK: key = ExtKey::Backspace; return true;
    default: break;
  }
  if (vk >= VK_F1 && vk <= VK_F12) {
    key = static_cast<ExtKey>(static_cast<int>(ExtKey::F1) + (vk - VK_F1));
    return true;
  }
  return false;
}

// GetProcAddress gives a generic pointer; the detour through void(*)()
// tells the compiler the signature change is meant.
template <typename F>
F Proc(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The screen buffer and its window at exactly 80x25. A buffer cannot be
// made smaller than its window, nor a window larger than its buffer, so the
// window shrinks first when it is larger.
void FitScreenBuffer(HANDLE out) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(out, &info)) {
    const SHORT w = info.srWindow.Right - info.srWindow.Left + 1;
    const SHORT h = info.srWindow.Bottom - info.srWindow.Top + 1;
    if (w > Console::kCols || h > Console::kRows) {
      SMALL_RECT small{0, 0, static_cast<SHORT>((w < Console::kCols ? w : Console::kCols) - 1),
                       static_cast<SHORT>((h < Console::kRows ? h : Console::kRows) - 1)};
      SetConsoleWindowInfo(out, TRUE, &small);
    }
  }
  SetConsoleScreenBufferSize(out, COORD{Console::kCols, Console::kRows});
  SMALL_RECT win{0, 0, Console::kCols - 1, Console::kRows - 1};
  SetConsoleWindowInfo(out, TRUE, &win);
}

}  // namespace

// One key-down record as the PC BIOS would report it.
bool TranslateConsoleKey(const KEY_EVENT_RECORD& k, ConsoleEvent& ev) {
  const uint8_t state = StateByte(k.dwControlKeyState);
  const wchar_t wc = k.uChar.UnicodeChar;
  uint16_t code = 0;
  uint8_t st = state;
  ExtKey ext;
  const bool ctrl = state & kStateCtrl, alt = state & kStateAlt;
  if (k.wVirtualKeyCode == VK_ADD && wc == L'+') {
    code = keys::kGreyPlus;
  } else if (k.wVirtualKeyCode == VK_SUBTRACT && wc == L'-') {
    code = keys::kGreyMinus;
  } else if (k.wVirtualKeyCode == VK_MULTIPLY && wc == L'*') {
    code = keys::kGreyStar;
  } else if (alt && !ctrl && k.wVirtualKeyCode >= 'A' && k.wVirtualKeyCode <= 'Z') {
    // Alt+letter carries the scan code alone; the interface turns some of
    // them into Polish letters.
    code = AltLetterKey(static_cast<char>(k.wVirtualKeyCode));
  } else if (ctrl && !alt && k.wVirtualKeyCode >= 'A' && k.wVirtualKeyCode <= 'Z') {
    code = CtrlLetterKey(static_cast<char>(k.wVirtualKeyCode));
  } else if (ExtKeyOfVk(k.wVirtualKeyCode, ext)) {
    code = ExtKeyCode(ext, state);
  } else if (wc != 0) {
    uint16_t kc;
    uint8_t ks;
    if (wc < 0x20) {
      if (!ControlKey(static_cast<uint8_t>(wc), kc, ks)) return false;
    } else if (!KeyForCodePoint(static_cast<char32_t>(wc), kc, ks)) {
      return false;
    }
    code = kc;
    st = static_cast<uint8_t>(state | ks);
  } else {
    return false;
  }
  if (code == 0) return false;
  ev = MakeKeyEvent(code, st);
  return true;
}

bool TranslateConsoleMouse(const MOUSE_EVENT_RECORD& m, ConsoleEvent& ev) {
  if (m.dwEventFlags & (MOUSE_WHEELED | MOUSE_HWHEELED)) return false;
  ev = ConsoleEvent();
  ev.kind = ConsoleEvent::Mouse;
  if (m.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) ev.buttons |= 1;
  if (m.dwButtonState & RIGHTMOST_BUTTON_PRESSED) ev.buttons |= 2;
  if (m.dwButtonState & FROM_LEFT_2ND_BUTTON_PRESSED) ev.buttons |= 4;
  if ((m.dwEventFlags & MOUSE_MOVED) && ev.buttons == 0) return false;
  ev.x = m.dwMousePosition.X + 1;
  ev.y = m.dwMousePosition.Y + 1;
  return true;
}

// The clipboard functions are looked up at run time; the text goes as
// Unicode through the CP852 codec, so no OEM/ANSI pair is needed.
bool ClipboardPut(const std::string& cp852) {
  HMODULE u = LoadLibraryW(L"user32.dll");
  if (!u) return false;
  auto open = Proc<BOOL(WINAPI*)(HWND)>(u, "OpenClipboard");
  auto empty = Proc<BOOL(WINAPI*)()>(u, "EmptyClipboard");
  auto set = Proc<HANDLE(WINAPI*)(UINT, HANDLE)>(u, "SetClipboardData");
  auto close = Proc<BOOL(WINAPI*)()>(u, "CloseClipboard");
  if (!open || !empty || !set || !close || !open(nullptr)) return false;
  bool ok = false;
  if (empty()) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (cp852.size() + 1) * sizeof(wchar_t));
    if (mem) {
      auto* p = static_cast<wchar_t*>(GlobalLock(mem));
      for (size_t i = 0; i < cp852.size(); ++i) {
        // Line ends and tabs stay what they are; only printable codes are
        // glyphs.
        const auto code = static_cast<uint8_t>(cp852[i]);
        p[i] = static_cast<wchar_t>(code < 0x20 || code == 0x7F ? code : Cp852ToUnicode(code));
      }
      p[cp852.size()] = 0;
      GlobalUnlock(mem);
      ok = set(CF_UNICODETEXT, mem) != nullptr;
      if (!ok) GlobalFree(mem);
    }
  }
  close();
  return ok;
}

std::string ClipboardGet() {
  HMODULE u = LoadLibraryW(L"user32.dll");
  if (!u) return {};
  auto open = Proc<BOOL(WINAPI*)(HWND)>(u, "OpenClipboard");
  auto get = Proc<HANDLE(WINAPI*)(UINT)>(u, "GetClipboardData");
  auto close = Proc<BOOL(WINAPI*)()>(u, "CloseClipboard");
  if (!open || !get || !close || !open(nullptr)) return {};
  std::string out;
  if (HANDLE h = get(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
      for (; *p > 13 && out.size() < 255; ++p) {
        uint8_t code;
        out += UnicodeToCp852(static_cast<char32_t>(*p), code) ? static_cast<char>(code) : '?';
      }
      GlobalUnlock(h);
    }
  }
  close();
  return out;
}

namespace {

class Win32Console : public Console {
 public:
  bool Start(std::string& error) {
    in_ = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    oldOut_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in_ == INVALID_HANDLE_VALUE || oldOut_ == INVALID_HANDLE_VALUE) {
      error = "no console";
      return false;
    }
    GetConsoleMode(in_, &oldInMode_);
    out_ = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (out_ == INVALID_HANDLE_VALUE) {
      error = "no console screen buffer";
      return false;
    }
    SetConsoleActiveScreenBuffer(out_);
    FitScreenBuffer(out_);
    SetConsoleMode(in_, ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT | ENABLE_EXTENDED_FLAGS);
    started_ = true;
    return true;
  }

  ~Win32Console() override { Shutdown(); }

  void SetTitle(const std::string& cp852) override {
    std::wstring w;
    for (char c : cp852) w += static_cast<wchar_t>(Cp852ToUnicode(static_cast<uint8_t>(c)));
    SetConsoleTitleW(w.c_str());
  }

  void Flush() override {
    if (!started_) return;
    for (int r = 0; r < kRows; ++r) {
      if (!(dirtyRows_ & (1u << r))) continue;
      CHAR_INFO row[kCols];
      for (int c = 0; c < kCols; ++c) {
        row[c].Char.UnicodeChar = static_cast<WCHAR>(Cp852ToUnicode(cells_[r][c].ch));
        // The console's attribute byte has the PC layout already.
        row[c].Attributes = cells_[r][c].attr;
      }
      SMALL_RECT rect{0, static_cast<SHORT>(r), kCols - 1, static_cast<SHORT>(r)};
      WriteConsoleOutputW(out_, row, COORD{kCols, 1}, COORD{0, 0}, &rect);
    }
    dirtyRows_ = 0;
    if (cursorDirty_) {
      CONSOLE_CURSOR_INFO ci{};
      ci.bVisible = shape_ != CursorShape::Hidden;
      ci.dwSize = shape_ == CursorShape::Tall ? 100 : shape_ == CursorShape::Half ? 50 : 15;
      SetConsoleCursorInfo(out_, &ci);
      SetConsoleCursorPosition(out_, COORD{static_cast<SHORT>(cursorCol_ - 1),
                                           static_cast<SHORT>(cursorRow_ - 1)});
      cursorDirty_ = false;
    }
  }

  bool WaitEvent(ConsoleEvent& ev, int timeoutMs) override {
    Flush();
    const DWORD start = GetTickCount();
    for (;;) {
      if (!queue_.empty()) {
        ev = queue_.front();
        queue_.pop_front();
        return true;
      }
      DWORD wait = INFINITE;
      if (timeoutMs >= 0) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= static_cast<DWORD>(timeoutMs)) return false;
        wait = static_cast<DWORD>(timeoutMs) - spent;
      }
      if (WaitForSingleObject(in_, wait) != WAIT_OBJECT_0) return false;
      ReadAvailable();
      Flush();
    }
  }

  bool EventPending() override {
    ReadAvailable();
    return !queue_.empty();
  }

  void DiscardPending() override {
    ReadAvailable();
    queue_.clear();
  }

  void Sleep(int ms) override {
    Flush();
    HostSleep(ms);
  }
  void Tone(int freq, int ms) override { Beep(static_cast<DWORD>(freq), static_cast<DWORD>(ms)); }
  LocalTime Now() override { return HostNow(); }
  uint32_t TickCount() override { return HostTickCount(); }

  bool CopyToClipboard(const std::string& cp852) override { return ClipboardPut(cp852); }
  std::string PasteFromClipboard() override { return ClipboardGet(); }

  void Shutdown() override {
    if (!started_) return;
    started_ = false;
    SetConsoleActiveScreenBuffer(oldOut_);
    SetConsoleMode(in_, oldInMode_);
    CloseHandle(out_);
  }

 private:
  void ReadAvailable() {
    DWORD n = 0;
    while (GetNumberOfConsoleInputEvents(in_, &n) && n > 0) {
      INPUT_RECORD rec[32];
      DWORD got = 0;
      if (!ReadConsoleInputW(in_, rec, 32, &got) || got == 0) return;
      for (DWORD i = 0; i < got; ++i) Translate(rec[i]);
    }
  }

  void Translate(const INPUT_RECORD& r) {
    ConsoleEvent ev;
    if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown) {
      if (!TranslateConsoleKey(r.Event.KeyEvent, ev)) return;
      for (WORD i = 0; i < (r.Event.KeyEvent.wRepeatCount ? r.Event.KeyEvent.wRepeatCount : 1); ++i)
        queue_.push_back(ev);
    } else if (r.EventType == MOUSE_EVENT) {
      if (TranslateConsoleMouse(r.Event.MouseEvent, ev)) queue_.push_back(ev);
    } else if (r.EventType == WINDOW_BUFFER_SIZE_EVENT) {
      // The operator resized the window: keep 80x25 and draw everything.
      FitScreenBuffer(out_);
      dirtyRows_ = (1u << kRows) - 1;
      cursorDirty_ = true;
    }
  }

  HANDLE in_ = INVALID_HANDLE_VALUE, out_ = INVALID_HANDLE_VALUE, oldOut_ = INVALID_HANDLE_VALUE;
  DWORD oldInMode_ = 0;
  bool started_ = false;
  std::deque<ConsoleEvent> queue_;
};

Win32Console* g_console = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

BOOL WINAPI OnControl(DWORD) {
  // Ctrl+C, Ctrl+Break, closing the window: give the console back first.
  if (g_console) g_console->Shutdown();
  return FALSE;
}

// A crash gives the console back too: its input mode (without echo or line
// editing) and the active screen buffer would otherwise stay as the program
// set them. The crash then goes on as it would have (an earlier filter,
// error reporting, the exception's exit code).
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
  if (g_console) g_console->Shutdown();
  return g_previousFilter ? g_previousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
}

// abort() (std::terminate among others) raises SIGABRT, which is no
// exception.
void OnAbort(int sig) {
  if (g_console) g_console->Shutdown();
  signal(sig, SIG_DFL);
  raise(sig);
}

std::string Narrow(const wchar_t* w) {
  std::string s;
  for (; *w; ++w) {
    uint8_t code;
    s += UnicodeToCp852(static_cast<char32_t>(*w), code) ? static_cast<char>(code) : '?';
  }
  return s;
}

}  // namespace

std::unique_ptr<Console> MakeConsole(std::string& error) {
  const std::string keys = GetEnvVar("QMKEYS");
  if (!keys.empty()) return ScriptedConsole::Open(keys, GetEnvVar("QMSCREEN"), error);
  auto con = std::make_unique<Win32Console>();
  if (!con->Start(error)) return nullptr;
  g_console = con.get();
  SetConsoleCtrlHandler(OnControl, TRUE);
  g_previousFilter = SetUnhandledExceptionFilter(OnUnhandledException);
  signal(SIGABRT, OnAbort);
  return con;
}

void InitProcess(int, char**) {
  // The program may live deeper than MAX_PATH characters: the buffer grows
  // until the whole path fits (a cut one fills it exactly).
  std::wstring path(MAX_PATH + 1, L'\0');
  DWORD n = 0;
  while ((n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size() &&
         path.size() < 32768)
    path.assign(path.size() * 2, L'\0');
  SetProgramFilePath(n > 0 && n < path.size() ? Narrow(path.c_str()) : std::string());
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; argv && i < argc; ++i) args.push_back(Narrow(argv[i]));
  if (argv) LocalFree(argv);
  SetCommandArgs(std::move(args));
}

void WriteStdStream(StdStream stream, const std::string& utf8) {
  const HANDLE h = GetStdHandle(stream == StdStream::Error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE || utf8.empty()) return;
  DWORD mode = 0;
  DWORD done = 0;
  if (!GetConsoleMode(h, &mode)) {
    WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
    return;
  }
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
}

}  // namespace qm
