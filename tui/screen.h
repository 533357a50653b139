// The bottom layer of the text interface: output window, framed windows that
// give back what they cover, colour roles and their scheme file, the progress
// window, the clock and tones.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/console.h"

namespace qm {

inline constexpr uint8_t kNormalAttr = 0x07;

// Colour roles 0..10 (see the table in screen.cpp).
using ColourSet = std::array<uint8_t, 11>;
extern ColourSet ColourRoles;
inline uint8_t Role(int r) { return ColourRoles[static_cast<size_t>(r)]; }
extern const ColourSet kDefaultColours;
void SaveColours(ColourSet& set);
// Does nothing when the set's first four bytes are all zero.
void RestoreColours(const ColourSet& set);
// Reads (write false) or writes the scheme file ProgramDir + "kolory.qm".
bool ColourFile(ColourSet& set, bool write);
// Reads a scheme file at an explicit path (tests and start-up).
bool ColourFileAt(const std::string& path, ColourSet& set, bool write);
uint8_t MakeAttr(uint8_t foreground, uint8_t background);

// Output window, 1-based inclusive. Saved in the order x1, x2, y1, y2.
struct TextWindowRect {
  uint8_t x1 = 1, x2 = 80, y1 = 1, y2 = 25;
};
void SetTextWindow(TextWindowRect& saved, int x1, int y1, int x2, int y2);
void RestoreTextWindow(const TextWindowRect& saved);
TextWindowRect CurrentTextWindow();

// Writes at (col, row) inside the active framed window, or at that screen
// position when none is active. Characters beyond the window are cut.
void WriteTextAt(const std::string& text, int row, int col, uint8_t attr);
// Writes at an absolute screen position, whatever window is active.
void WriteScreenAt(const std::string& text, int row, int col, uint8_t attr);
void FillScreen(int col, int row, int count, uint8_t ch, uint8_t attr);

class FramedWindow;
// Opens and draws a window over (x1,y1)-(x2,y2); with framed the frame takes
// the outer cells. The window becomes the active one. False (and window
// empty) when the rectangle does not fit on the screen.
bool OpenFramedWindow(std::unique_ptr<FramedWindow>& window, int x1, int y1, int x2, int y2,
                      bool framed, uint8_t frameAttr, uint8_t bodyAttr, uint8_t titleAttr,
                      const std::string& title);
// Puts the covered cells back; the previously active window is active again.
void CloseFramedWindow(std::unique_ptr<FramedWindow>& window);

class FramedWindow {
 public:
  int x1, y1, x2, y2;  // outer rectangle
  bool framed;
  // Inside rectangle.
  int InX1() const { return framed ? x1 + 1 : x1; }
  int InY1() const { return framed ? y1 + 1 : y1; }
  int InX2() const { return framed ? x2 - 1 : x2; }
  int InY2() const { return framed ? y2 - 1 : y2; }
  std::vector<Cell> saved;
  FramedWindow* previous = nullptr;
};
FramedWindow* ActiveWindow();
// Writes at (col, row) of the inside of the given window, cut at its edges.
void WriteInWindow(const FramedWindow& w, const std::string& text, int row, int col,
                   uint8_t attr);

class ProgressWindow {
 public:
  // Nothing (null) when its window cannot be opened.
  static std::unique_ptr<ProgressWindow> Init(const std::string& header, const std::string& text,
                                              int32_t total);
  void Reset();
  void Step(int32_t n);
  void Done();
  ~ProgressWindow();
  int32_t Position() const { return position_; }
  int32_t Total() const { return total_; }

 private:
  std::unique_ptr<FramedWindow> window_;
  int32_t total_ = 1;
  int32_t position_ = 0;
  uint32_t lastFlush_ = 0;
};

// Sound: suppressed for the whole run when QMSOUND is exactly "OFF".
extern bool SoundOff;
void Tone(int freq, int units);  // units of 48 ms
void ErrorBeep();                // Tone(500, 6)

// Shows the time at row 1, column 73 when the second has changed.
void UpdateClock();
// Milliseconds until the clock should next be updated (event waits).
int ClockWaitMs();

// Back to the start values: colours, output window, window chain, clock,
// sound (this file only).
void ResetScreenState();

}  // namespace qm
