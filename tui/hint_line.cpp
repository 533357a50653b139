#include "tui/forms.h"

#include <vector>

namespace qm {
namespace {

constexpr int kHintRow = 25;
constexpr char kHintSeparator = '\xB3';  // │
HintLine* g_hint = nullptr;
// Row 25 as it was before the first hint line covered it.
std::vector<Cell> g_rowBelow;

}  // namespace

std::unique_ptr<HintItem> NewHintItem(const std::string& text, uint16_t key, uint16_t command,
                                      std::unique_ptr<HintItem> next) {
  auto item = std::make_unique<HintItem>();
  item->text = text.substr(0, 40);
  item->key = key;
  item->command = command;
  item->next = std::move(next);
  return item;
}

std::unique_ptr<HintLine> HintLine::Init(std::unique_ptr<HintItem> items) {
  std::unique_ptr<HintLine> line(new HintLine());
  line->items_ = std::move(items);
  // Items follow one another from column 2, each closed by its separator.
  int col = 2;
  for (HintItem* it = line->items_.get(); it; it = it->next.get()) {
    it->y = kHintRow;
    it->x1 = col;
    it->x2 = col + static_cast<int>(it->text.size());  // the separator's cell
    col = it->x2 + 1;
  }
  if (!g_hint) {
    g_rowBelow.clear();
    for (int c = 1; c <= Console::kCols; ++c) g_rowBelow.push_back(Con().Get(c, kHintRow));
  }
  line->previous_ = g_hint;
  line->open_ = true;
  g_hint = line.get();
  line->Draw();
  return line;
}

std::unique_ptr<HintLine> HintLine::Init(const std::vector<HintEntry>& items) {
  std::unique_ptr<HintItem> list;
  for (auto it = items.rbegin(); it != items.rend(); ++it)
    list = NewHintItem(it->text, it->key, it->command, std::move(list));
  return Init(std::move(list));
}

void HintLine::Draw() const {
  FillScreen(1, kHintRow, Console::kCols, ' ', Role(10));
  for (const HintItem* it = items_.get(); it; it = it->next.get())
    WriteScreenAt(it->text + kHintSeparator, kHintRow, it->x1, Role(10));
}

void HintLine::Done() {
  if (!open_) return;
  open_ = false;
  if (g_hint == this) {
    g_hint = previous_;
    if (g_hint) {
      g_hint->Draw();
    } else {
      // The last line gone: the row is given back as the first one found it.
      for (size_t i = 0; i < g_rowBelow.size(); ++i)
        Con().Put(static_cast<int>(i) + 1, kHintRow, g_rowBelow[i].ch, g_rowBelow[i].attr);
    }
    return;
  }
  // Closed out of order: taken out of the stack, the row stays as it is.
  for (HintLine* p = g_hint; p; p = p->previous_) {
    if (p->previous_ == this) {
      p->previous_ = previous_;
      break;
    }
  }
}

HintLine::~HintLine() { Done(); }

HintLine* CurrentHintLine() { return g_hint; }

bool TranslateByHintLine(UiEvent& ev) {
  if (!g_hint) return false;
  for (const HintItem* it = g_hint->Items(); it; it = it->next.get()) {
    // An item without a command (the "?" of message boxes) only shows.
    if (it->command == 0) continue;
    bool hit = false;
    if (ev.what == EVENT_MOUSE)
      hit = ev.y == it->y && ev.x >= it->x1 && ev.x <= it->x2;
    else if (ev.what == EVENT_KEY)
      hit = it->key != 0 && ev.paste.empty() && ev.keyCode == it->key;
    if (hit) {
      const uint16_t command = it->command;
      ClearEvent(ev);
      ev.what = EVENT_COMMAND;
      ev.command = command;
      return true;
    }
  }
  return false;
}

void ResetHintLines() {
  g_hint = nullptr;
  g_rowBelow.clear();
}

}  // namespace qm
