#include "tui/help_window.h"

#include <algorithm>

#include "base/text.h"
#include "tui/events.h"
#include "tui/forms.h"
#include "tui/screen.h"

namespace qm {
namespace {

// ------------------------------------------------------------------ layout

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return std::string();
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// Emphasis and code marks go; a link keeps its text.
std::string PlainInline(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '`') continue;
    if ((s[i] == '*' || s[i] == '_') && i + 1 < s.size() && s[i + 1] == s[i]) {
      ++i;
      continue;
    }
    if (s[i] == '[') {
      const size_t close = s.find(']', i);
      const size_t end = close == std::string::npos ? close : s.find(')', close);
      if (end != std::string::npos && s[close + 1] == '(') {
        out += PlainInline(s.substr(i + 1, close - i - 1));
        i = end;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

// The width of a list item's mark ("- ", "12. "), 0 when the line is none.
size_t ListMarkWidth(const std::string& s) {
  if (s.size() >= 2 && (s[0] == '-' || s[0] == '*') && s[1] == ' ') return 2;
  size_t d = 0;
  while (d < s.size() && s[d] >= '0' && s[d] <= '9') ++d;
  return (d > 0 && d + 1 < s.size() && s[d] == '.' && s[d + 1] == ' ') ? d + 2 : 0;
}

// Only an ordered list's first item breaks into a paragraph: a wrapped line
// that begins with "2020. " goes on with the sentence before it.
bool OrderedPastOne(const std::string& s) { return s[0] >= '0' && s[0] <= '9' && s.compare(0, 3, "1. ") != 0; }

bool IsTableRule(const std::string& s) {
  return s.find_first_not_of("|-: ") == std::string::npos && s.find('-') != std::string::npos;
}

std::string TableRow(const std::string& s) {
  std::string row;
  size_t start = 1;
  while (start < s.size()) {
    size_t bar = s.find('|', start);
    if (bar == std::string::npos) bar = s.size();
    const std::string cell = Trim(s.substr(start, bar - start));
    if (!cell.empty()) row += (row.empty() ? "" : " | ") + cell;
    start = bar + 1;
  }
  return row;
}

class Layout {
 public:
  explicit Layout(size_t width) : width_(std::max<size_t>(width, 8)) {}

  void Blank() {
    Flush();
    if (!lines_.empty() && !lines_.back().text.empty()) lines_.push_back({});
  }
  void Heading(const std::string& text) {
    Blank();
    lines_.push_back({text.substr(0, width_), true});
    lines_.push_back({});
  }
  void Verbatim(const std::string& text) {
    Flush();
    lines_.push_back({text.substr(0, width_), false});
  }
  // A new block (paragraph or list item) whose next lines hang by indent.
  void Start(const std::string& text, size_t indent) {
    Flush();
    words_ = text;
    indent_ = indent;
  }
  void Continue(const std::string& text) {
    if (words_.empty()) return Start(text, 0);
    words_ += ' ' + text;
  }
  // Inside a paragraph (not a list item) that is still being filled.
  bool InParagraph() const { return !words_.empty() && indent_ == 0; }
  std::vector<HelpLine> Finish() {
    Flush();
    while (!lines_.empty() && lines_.back().text.empty()) lines_.pop_back();
    return std::move(lines_);
  }

 private:
  void Flush() {
    const std::string hang(std::min(indent_, width_ / 2), ' ');
    std::string line;  // without the hang of the lines after the first
    bool first = true;
    const auto emit = [&] {
      lines_.push_back({(first ? "" : hang) + line, false});
      line.clear();
      first = false;
    };
    size_t pos = 0;
    while (pos < words_.size()) {
      const size_t end = std::min(words_.find(' ', pos), words_.size());
      std::string word = words_.substr(pos, end - pos);
      pos = end + 1;
      while (!word.empty()) {
        const size_t room = width_ - (first ? 0 : hang.size());
        if ((line.empty() ? 0 : line.size() + 1) + word.size() <= room) {
          line += (line.empty() ? "" : " ") + word;
          word.clear();
        } else if (line.empty()) {  // a word wider than the window
          line = word.substr(0, room);
          word.erase(0, room);
          emit();
        } else {
          emit();
        }
      }
    }
    if (!line.empty()) emit();
    words_.clear();
    indent_ = 0;
  }

  size_t width_;
  std::vector<HelpLine> lines_;
  std::string words_;
  size_t indent_ = 0;
};

// ------------------------------------------------------------------ window

constexpr int kX1 = 3, kY1 = 3, kX2 = 78, kY2 = 24;  // the pages' own rectangle
constexpr uint16_t kCmdClose = 0xF410;

void DrawLines(const FramedWindow& w, const std::vector<HelpLine>& lines, size_t top, int rows) {
  for (int r = 0; r < rows; ++r) {
    const size_t i = top + static_cast<size_t>(r);
    const HelpLine* line = i < lines.size() ? &lines[i] : nullptr;
    WriteInWindow(w, PadRight(line ? " " + line->text : "", kHelpTextWidth + 2), r + 1, 1,
                  line && line->heading ? Role(6) : Role(5));
  }
  // Which lines are shown, on the bottom frame.
  const std::string where = " " + IntToStr(static_cast<int64_t>(std::min(top + 1, lines.size()))) + "-" +
                            IntToStr(static_cast<int64_t>(std::min(top + static_cast<size_t>(rows), lines.size()))) +
                            " / " + IntToStr(static_cast<int64_t>(lines.size())) + " ";
  WriteScreenAt(std::string(24, '\xC4'), w.y2, w.x2 - 25, Role(4));
  WriteScreenAt(where, w.y2, w.x2 - 1 - static_cast<int>(where.size()), Role(4));
}

}  // namespace

std::vector<HelpLine> LayOutHelpText(const std::string& markup, size_t width) {
  Layout out(width);
  bool fenced = false;
  bool inComment = false;
  size_t start = 0;
  while (start <= markup.size()) {
    size_t end = markup.find('\n', start);
    if (end == std::string::npos) end = markup.size();
    std::string raw = markup.substr(start, end - start);
    start = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    const std::string line = Trim(raw);
    if (line.compare(0, 3, "```") == 0) {
      fenced = !fenced;
      out.Blank();
      continue;
    }
    if (fenced) {
      out.Verbatim(raw);
      continue;
    }
    if (inComment || line.compare(0, 4, "<!--") == 0) {
      inComment = line.find("-->") == std::string::npos;
      continue;
    }
    if (line.empty()) {
      out.Blank();
    } else if (line[0] == '#') {
      out.Heading(PlainInline(Trim(line.substr(line.find_first_not_of('#')))));
    } else if (line[0] == '|') {
      if (!IsTableRule(line)) out.Start(PlainInline(TableRow(line)), 2);
    } else if (const size_t mark = ListMarkWidth(line); mark && !(out.InParagraph() && OrderedPastOne(line))) {
      out.Start(PlainInline(line), mark);
    } else {
      out.Continue(PlainInline(line));
    }
  }
  return out.Finish();
}

void ShowHelpWindow(const std::string& title, const std::vector<HelpLine>& lines) {
  std::unique_ptr<FramedWindow> window;
  if (!OpenFramedWindow(window, kX1, kY1, kX2, kY2, true, Role(4), Role(5), Role(6), title)) return;
  auto hint = HintLine::Init({{"Esc-Zamknij", kKeyEsc, kCmdClose},
                              {"PgUp/PgDn/Home/End", 0, 0}});
  const int rows = window->InY2() - window->InY1() + 1;
  const size_t last = lines.size() > static_cast<size_t>(rows) ? lines.size() - static_cast<size_t>(rows) : 0;
  size_t top = 0;
  UiEvent ev;
  for (bool done = false; !done;) {
    DrawLines(*window, lines, top, rows);
    Con().SetCursorShape(CursorShape::Hidden);
    GetEvent(ev);
    if (ev.what == EVENT_COMMAND) {
      done = ev.command == kCmdClose;
      continue;
    }
    if (ev.what != EVENT_KEY || !ev.paste.empty()) continue;
    const size_t page = static_cast<size_t>(std::max(rows - 1, 1));
    switch (ev.keyCode) {
      case kKeyEsc:
      case kKeyEnter:
        done = true;
        break;
      case kKeyUp:
        top = top > 0 ? top - 1 : 0;
        break;
      case kKeyDown:
        top = std::min(top + 1, last);
        break;
      case kKeyPgUp:
        top = top > page ? top - page : 0;
        break;
      case kKeyPgDn:
        top = std::min(top + page, last);
        break;
      case kKeyHome:
        top = 0;
        break;
      case kKeyEnd:
        top = last;
        break;
      default:
        break;
    }
  }
  hint.reset();
  ClearEvent(ev);
  CloseFramedWindow(window);
}

}  // namespace qm
