#include "tui/screen.h"

#include <algorithm>

#include "base/cp852.h"
#include "base/polish.h"
#include "base/text.h"
#include "platform/host_fs.h"
#include "platform/process.h"

namespace qm {

// Role  default  drawn with it
//  0    0x07     ordinary control text, list frame, screen text, progress body
//  1    0x0F     focused control text and list frame, progress window title
//  2    0x1F     edit field text, list lines
//  3    0x70     focused edit field, current list line, focused push button
//  4    0x07     frame of forms, boxes and the progress window
//  5    0x02     body of forms and boxes, yes/no prompt, empty list rows
//  6    0x0F     title of forms and boxes
//  7    0x0F     question lines of the yes/no prompt
//  8    0x4F     error boxes, the list's empty marker
//  9    0x0F     hot-key letter of a choice bar
// 10    0x70     hint line, progress texts and bar, highlighted choice, buttons
const ColourSet kDefaultColours = {0x07, 0x0F, 0x1F, 0x70, 0x07, 0x02,
                                   0x0F, 0x0F, 0x4F, 0x0F, 0x70};
ColourSet ColourRoles = kDefaultColours;
bool SoundOff = false;

namespace {

constexpr int kCols = Console::kCols;
constexpr int kRows = Console::kRows;
constexpr uint8_t kFrameChars[8] = {0xDA, 0xC0, 0xBF, 0xD9, 0xC4, 0xC4, 0xB3, 0xB3};  // ┌└┐┘──││

TextWindowRect g_textWindow;
FramedWindow* g_active = nullptr;
int g_clockSecond = -1;

const char* const kColourFileName = "kolory.qm";

// Writes text at an absolute position, cut at maxCol.
void PutText(const std::string& text, int row, int col, uint8_t attr, int maxCol) {
  if (row < 1 || row > kRows) return;
  for (size_t i = 0; i < text.size(); ++i) {
    const int c = col + static_cast<int>(i);
    if (c > maxCol) break;
    if (c >= 1) Con().Put(c, row, static_cast<uint8_t>(text[i]), attr);
  }
}

}  // namespace

void SaveColours(ColourSet& set) { set = ColourRoles; }

void RestoreColours(const ColourSet& set) {
  // A set of zeros is what an empty or never-written scheme holds.
  if (set[0] == 0 && set[1] == 0 && set[2] == 0 && set[3] == 0) return;
  ColourRoles = set;
}

bool ColourFileAt(const std::string& path, ColourSet& set, bool write) {
  FileSystem& fs = Fs();
  FileHandle h = kNoHandle;
  if (write) {
    if (fs.Create(path, h) != kOk) return false;
    uint32_t put = 0;
    fs.Write(h, set.data(), static_cast<uint32_t>(set.size()), put);
    fs.Close(h);
    return true;
  }
  if (fs.Open(path, kAccessRead | kShareDenyNone, h) != kOk) return false;
  uint32_t got = 0;
  ColourSet loaded{};
  const int rc = fs.Read(h, loaded.data(), static_cast<uint32_t>(loaded.size()), got);
  // A short file holds no whole record: the defaults stand in for it.
  set = (rc == kOk && got == loaded.size()) ? loaded : kDefaultColours;
  fs.Close(h);
  return true;
}

bool ColourFile(ColourSet& set, bool write) {
  return ColourFileAt(ProgramDir + kColourFileName, set, write);
}

uint8_t MakeAttr(uint8_t foreground, uint8_t background) {
  return static_cast<uint8_t>(((background & 0x0F) << 4) | (foreground & 0x0F));
}

void SetTextWindow(TextWindowRect& saved, int x1, int y1, int x2, int y2) {
  saved = g_textWindow;
  g_textWindow.x1 = static_cast<uint8_t>(std::clamp(x1, 1, kCols));
  g_textWindow.y1 = static_cast<uint8_t>(std::clamp(y1, 1, kRows));
  g_textWindow.x2 = static_cast<uint8_t>(std::clamp(x2, 1, kCols));
  g_textWindow.y2 = static_cast<uint8_t>(std::clamp(y2, 1, kRows));
}

void RestoreTextWindow(const TextWindowRect& saved) { g_textWindow = saved; }

TextWindowRect CurrentTextWindow() { return g_textWindow; }

void WriteTextAt(const std::string& text, int row, int col, uint8_t attr) {
  if (g_active) {
    WriteInWindow(*g_active, text, row, col, attr);
    return;
  }
  PutText(text, row, col, attr, kCols);
}

void WriteInWindow(const FramedWindow& w, const std::string& text, int row, int col,
                   uint8_t attr) {
  const int r = w.InY1() + row - 1;
  if (r < w.InY1() || r > w.InY2()) return;
  const int c = w.InX1() + col - 1;
  if (c < w.InX1()) {
    // Cut on the left as on the right: only the inside is ever written.
    const size_t skip = static_cast<size_t>(w.InX1() - c);
    if (skip >= text.size()) return;
    PutText(text.substr(skip), r, w.InX1(), attr, w.InX2());
    return;
  }
  PutText(text, r, c, attr, w.InX2());
}

void WriteScreenAt(const std::string& text, int row, int col, uint8_t attr) {
  PutText(text, row, col, attr, kCols);
}

void FillScreen(int col, int row, int count, uint8_t ch, uint8_t attr) {
  for (int i = 0; i < count; ++i) Con().Put(col + i, row, ch, attr);
}

FramedWindow* ActiveWindow() { return g_active; }

bool OpenFramedWindow(std::unique_ptr<FramedWindow>& window, int x1, int y1, int x2, int y2,
                      bool framed, uint8_t frameAttr, uint8_t bodyAttr, uint8_t titleAttr,
                      const std::string& title) {
  window.reset();
  if (x1 < 1 || y1 < 1 || x2 > kCols || y2 > kRows || x2 < x1 || y2 < y1) return false;
  // A frame needs two columns and two rows of its own.
  if (framed && (x2 - x1 < 1 || y2 - y1 < 1)) return false;
  auto w = std::make_unique<FramedWindow>();
  w->x1 = x1;
  w->y1 = y1;
  w->x2 = x2;
  w->y2 = y2;
  w->framed = framed;
  w->saved.reserve(static_cast<size_t>((x2 - x1 + 1) * (y2 - y1 + 1)));
  for (int r = y1; r <= y2; ++r)
    for (int c = x1; c <= x2; ++c) w->saved.push_back(Con().Get(c, r));

  for (int r = y1; r <= y2; ++r) FillScreen(x1, r, x2 - x1 + 1, ' ', bodyAttr);
  if (framed) {
    Con().Put(x1, y1, kFrameChars[0], frameAttr);
    Con().Put(x1, y2, kFrameChars[1], frameAttr);
    Con().Put(x2, y1, kFrameChars[2], frameAttr);
    Con().Put(x2, y2, kFrameChars[3], frameAttr);
    FillScreen(x1 + 1, y1, x2 - x1 - 1, kFrameChars[4], frameAttr);
    FillScreen(x1 + 1, y2, x2 - x1 - 1, kFrameChars[5], frameAttr);
    for (int r = y1 + 1; r < y2; ++r) {
      Con().Put(x1, r, kFrameChars[6], frameAttr);
      Con().Put(x2, r, kFrameChars[7], frameAttr);
    }
  }
  if (!title.empty()) {
    // Centred in the top border, never over the corners.
    const int room = framed ? x2 - x1 - 1 : x2 - x1 + 1;
    const std::string t = title.substr(0, static_cast<size_t>(std::max(room, 0)));
    const int start = (framed ? x1 + 1 : x1) + (room - static_cast<int>(t.size())) / 2;
    PutText(t, y1, start, titleAttr, framed ? x2 - 1 : x2);
  }
  w->previous = g_active;
  g_active = w.get();
  window = std::move(w);
  return true;
}

void CloseFramedWindow(std::unique_ptr<FramedWindow>& window) {
  if (!window) return;
  FramedWindow* w = window.get();
  size_t i = 0;
  for (int r = w->y1; r <= w->y2; ++r)
    for (int c = w->x1; c <= w->x2; ++c, ++i) Con().Put(c, r, w->saved[i].ch, w->saved[i].attr);
  // Normally the last one opened is closed first; a window closed out of
  // order is taken out of the chain so no dangling link stays behind.
  if (g_active == w) {
    g_active = w->previous;
  } else {
    for (FramedWindow* p = g_active; p; p = p->previous) {
      if (p->previous == w) {
        p->previous = w->previous;
        break;
      }
    }
  }
  window.reset();
}

// Progress window: inside columns 20-56, rows 9-14.
std::unique_ptr<ProgressWindow> ProgressWindow::Init(const std::string& header,
                                                     const std::string& text, int32_t total) {
  auto p = std::unique_ptr<ProgressWindow>(new ProgressWindow());
  if (!OpenFramedWindow(p->window_, 19, 8, 57, 15, true, Role(4), Role(0), Role(1), ""))
    return nullptr;
  const std::string h = header.empty() ? Pl("Czekaj ...") : header;
  const std::string hc = h.substr(0, 37);
  WriteInWindow(*p->window_, hc, 1, (37 - static_cast<int>(hc.size())) / 2 + 1, Role(10));
  p->total_ = total <= 0 ? 1 : total;
  p->position_ = 0;
  WriteInWindow(*p->window_, PadRight(text, 32), 2, 4, Role(10));
  Con().Flush();
  p->lastFlush_ = Con().TickCount();
  return p;
}

void ProgressWindow::Reset() {
  position_ = 0;
  if (!window_) return;
  WriteInWindow(*window_, std::string(35, '\xB1'), 4, 2, Role(10));
  Con().Flush();
}

void ProgressWindow::Step(int32_t n) {
  const int64_t pos = std::clamp<int64_t>(int64_t{position_} + n, 0, total_);
  position_ = static_cast<int32_t>(pos);
  if (!window_) return;
  const size_t cells = static_cast<size_t>(pos * 35 / total_);
  WriteInWindow(*window_, std::string(cells, '\xDB'), 4, 2, Role(10));
  const std::string num = IntToStr(position_);
  WriteInWindow(*window_, std::string(num.size() < 8 ? 8 - num.size() : 0, ' ') + num, 6, 2, 0x4F);
  // Long record runs read no input, so nothing else would show the bar;
  // a few pictures a second are enough.
  const uint32_t now = Con().TickCount();
  if (position_ == total_ || now - lastFlush_ >= 100) {
    Con().Flush();
    lastFlush_ = now;
  }
}

void ProgressWindow::Done() { CloseFramedWindow(window_); }

ProgressWindow::~ProgressWindow() { CloseFramedWindow(window_); }

void Tone(int freq, int units) {
  if (SoundOff || units <= 0) return;
  Con().Tone(freq, units * 48);
}

void ErrorBeep() { Tone(500, 6); }

void UpdateClock() {
  const LocalTime t = Con().Now();
  if (t.second == g_clockSecond) return;
  g_clockSecond = t.second;
  WriteScreenAt(TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second), 1, 73,
                0x0F);
}

int ClockWaitMs() {
  const int ms = 1000 - Con().Now().millisecond;
  return std::clamp(ms, 1, 1000);
}

void ResetScreenState() {
  ColourRoles = kDefaultColours;
  g_textWindow = TextWindowRect{};
  g_active = nullptr;
  g_clockSecond = -1;
  SoundOff = false;
}

}  // namespace qm
