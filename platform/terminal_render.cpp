#include "platform/terminal_render.h"

#include <array>

#include "base/cp852.h"

namespace qm {
namespace {

// PC colours count blue, green, red as bits 0, 1, 2; ANSI counts red,
// green, blue.
constexpr int kAnsiOfPc[8] = {0, 4, 2, 6, 1, 5, 3, 7};

const std::array<std::string, 256>& Glyphs() {
  static const std::array<std::string, 256> table = [] {
    std::array<std::string, 256> t;
    for (int i = 0; i < 256; ++i) AppendUtf8(t[i], Cp852ToUnicode(static_cast<uint8_t>(i)));
    return t;
  }();
  return table;
}

void AppendMove(std::string& out, int row, int col) {
  out += "\x1b[";
  out += std::to_string(row);
  out += ';';
  out += std::to_string(col);
  out += 'H';
}

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = static_cast<uint8_t>(bytes[i]) << 16 | static_cast<uint8_t>(bytes[i + 1]) << 8 |
                       static_cast<uint8_t>(bytes[i + 2]);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string TitleSequence(const std::string& cp852) {
  return "\x1b]2;" + Cp852ToUtf8(cp852, true) + "\x07";
}

std::string ClipboardSequence(const std::string& cp852) {
  return "\x1b]52;c;" + Base64(Cp852ToUtf8(cp852)) + "\x07";
}

std::string TooSmallScreen(int cols, int rows) {
  const std::string lines[3] = {
      "Okno terminala jest za małe: potrzeba " + std::to_string(kMinTerminalCols) + "×" +
          std::to_string(kMinTerminalRows),
      "(teraz " + std::to_string(cols) + "×" + std::to_string(rows) + ")",
      "Esc - koniec programu"};
  std::string out = "\x1b[0m\x1b[2J";
  // The two lines about the size are centred; the key goes below them.
  const int top = rows >= 2 ? (rows - 2) / 2 + 1 : 1;
  for (int i = 0; i < 3 && top + i <= (rows < 1 ? 1 : rows); ++i) {
    // Cut to the width, counting characters, not bytes.
    std::string line;
    size_t pos = 0;
    int n = 0;
    while (pos < lines[i].size() && n < cols) {
      AppendUtf8(line, DecodeUtf8(lines[i], pos));
      ++n;
    }
    const int left = cols > n ? (cols - n) / 2 + 1 : 1;
    AppendMove(out, top + i, left);
    out += line;
  }
  return out;
}

std::string SgrForAttr(uint8_t attr) {
  const int fg = attr & 0x0F;
  const int bg = attr >> 4;
  std::string s = "\x1b[";
  s += std::to_string(fg < 8 ? 30 + kAnsiOfPc[fg] : 90 + kAnsiOfPc[fg - 8]);
  s += ';';
  s += std::to_string(bg < 8 ? 40 + kAnsiOfPc[bg] : 100 + kAnsiOfPc[bg - 8]);
  s += 'm';
  return s;
}

const char* CursorShapeSequence(CursorShape shape) {
  // A tall (block) cursor marks insert mode; the others are underlines.
  return shape == CursorShape::Tall ? "\x1b[1 q" : "\x1b[3 q";
}

void TerminalRenderer::SetTerminalSize(int cols, int rows) {
  if (cols == cols_ && rows == rows_) return;
  cols_ = cols;
  rows_ = rows;
  valid_ = false;
}

std::string TerminalRenderer::TitleChange(const Console& con) {
  const std::string wanted = view_.hiddenInTitle ? Trimmed(con.RowText(view_.hiddenRow)) : title_;
  if (wanted == shownTitle_) return {};
  shownTitle_ = wanted;
  return TitleSequence(wanted);
}

std::string TerminalRenderer::Frame(const Console& con, uint32_t dirtyRows, bool cursorDirty) {
  const TerminalView view = ChooseView(con, cols_, rows_, view_.hiddenRow);
  if (!(view == view_)) {
    view_ = view;
    valid_ = false;
  }
  std::string out = TitleChange(con);
  const bool full = !valid_;
  if (full) {
    // Default colours for the clear, so a larger terminal's margin stays
    // plain.
    out += "\x1b[0m\x1b[2J";
    attr_ = -1;
    cursorVisible_ = true;  // unknown: hide it again below
    cursorDirty = true;
    valid_ = true;
  }
  bool drawn = false;
  const auto& glyphs = Glyphs();
  for (int r = 0; r < Console::kRows; ++r) {
    const int termRow = view_.TerminalRow(r + 1);
    // A row left out is drawn by the full frame that brings it back.
    if (termRow == 0 || (!full && !(dirtyRows & (1u << r)))) continue;
    int first = -1, last = -1;
    for (int c = 0; c < Console::kCols; ++c) {
      const Cell cell = con.Get(c + 1, r + 1);
      if (full || !(cell == shown_[r][c])) {
        if (first < 0) first = c;
        last = c;
      }
    }
    if (first < 0) continue;
    if (!drawn && cursorVisible_) {
      out += "\x1b[?25l";  // no cursor flying over the drawing
      cursorVisible_ = false;
    }
    drawn = true;
    AppendMove(out, termRow, view_.TerminalCol(first + 1));
    for (int c = first; c <= last; ++c) {
      const Cell cell = con.Get(c + 1, r + 1);
      if (cell.attr != attr_) {
        out += SgrForAttr(cell.attr);
        attr_ = cell.attr;
      }
      out += glyphs[cell.ch];
      shown_[r][c] = cell;
    }
  }
  if (!drawn && !cursorDirty) return out;
  const CursorShape shape = con.Shape();
  int col = con.CursorCol(), row = con.CursorRow();
  col = view_.TerminalCol(col < 1 ? 1 : (col > Console::kCols ? Console::kCols : col));
  row = view_.TerminalRow(row < 1 ? 1 : (row > Console::kRows ? Console::kRows : row));
  if (shape == CursorShape::Hidden || row == 0) {
    if (cursorVisible_) out += "\x1b[?25l";
    cursorVisible_ = false;
    return out;
  }
  // After drawing, the terminal's cursor stands wherever the text ended.
  if (drawn || col != cursorCol_ || row != cursorRow_ || !cursorVisible_) AppendMove(out, row, col);
  cursorCol_ = col;
  cursorRow_ = row;
  if (shape != shape_ || full) out += CursorShapeSequence(shape);
  shape_ = shape;
  if (!cursorVisible_) out += "\x1b[?25h";
  cursorVisible_ = true;
  return out;
}

}  // namespace qm
