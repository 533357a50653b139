#include "tui/pick_list.h"

#include <algorithm>

#include "base/cp852.h"
#include "base/polish.h"
#include "base/text.h"

namespace qm {
namespace {

constexpr size_t kMaxSearch = 40;

bool IsSearchChar(uint8_t ch) {
  return ch == 0x15 || (ch >= 0x20 && ch <= 0x7E) || (ch >= 0x80 && ch <= 0xFE);
}

}  // namespace

PickList::PickList(std::unique_ptr<TextLabel> caption_, int x, int y, int width, int height,
                   int32_t* position)
    : position_(position ? position : &ownPosition_),
      height_(std::clamp(height, 1, 23)),
      width_(std::clamp(width, 1, 76)) {
  caption = std::move(caption_);
  kind = kKindPickList;
  x1 = x;
  y1 = y;
  x2 = x + width_ + 2;
  y2 = y + height_ + 1;
}

int32_t PickList::QuickSeek(const std::string&) { return 0; }

void PickList::AddColumnStop(int col) {
  for (auto& s : stops_) {
    if (s == 0) {
      s = static_cast<uint8_t>(std::clamp(col, 1, 255));
      return;
    }
  }
}

void PickList::Clamp() {
  // The caller's number may be stale (items gone since it was set).
  if (*position_ > count) *position_ = count;
  if (*position_ < 1) *position_ = 1;
}

void PickList::CentreCurrent() {
  Clamp();
  rows_ = static_cast<int>(std::min<int32_t>(height_, count));
  if (rows_ < count) {
    top_ = std::clamp<int32_t>(*position_ - rows_ / 2, 0, count - rows_);
    cursorRow_ = static_cast<int>(*position_ - top_);
  } else {
    top_ = 0;
    cursorRow_ = static_cast<int>(*position_);
  }
}

void PickList::DrawLine(int32_t index, int row, bool highlighted) {
  Put(PadRight(ItemText(index), static_cast<size_t>(width_)), x1 + 2, y1 + row,
      ControlColours[highlighted ? 3 : 2]);
}

void PickList::DrawEmpty() {
  const std::string blank = Spaces(static_cast<size_t>(width_ + 1));
  for (int r = 1; r <= height_; ++r) Put(blank, x1 + 1, y1 + r, Role(5));
  const std::string mark = ">> PUSTO <<";
  const int col = x1 + 1 + std::max((width_ + 1 - static_cast<int>(mark.size())) / 2, 0);
  Put(mark.substr(0, static_cast<size_t>(width_ + 1)), col, y1 + 1, Role(8));
}

void PickList::DrawItems() {
  rows_ = static_cast<int>(std::min<int32_t>(height_, count));
  if (count <= 0) {
    DrawEmpty();
  } else {
    for (int r = 1; r <= height_; ++r) {
      if (r <= rows_) {
        Put(" ", x1 + 1, y1 + r, Role(5));
        DrawLine(top_ + r, r, top_ + r == *position_);
      } else {
        Put(Spaces(static_cast<size_t>(width_ + 1)), x1 + 1, y1 + r, Role(5));
      }
    }
  }
  const uint8_t attr = ControlColours[focused ? 1 : 0];
  Put(std::string(1, top_ > 0 ? '^' : '\xC4'), x1 + width_ + 1, y1, attr);
  DrawBottomLine();
}

void PickList::DrawFrame() {
  const uint8_t attr = ControlColours[focused ? 1 : 0];
  const std::string line(static_cast<size_t>(width_ + 1), '\xC4');
  Put("\xDA" + line + "\xBF", x1, y1, attr);  // ┌─┐
  for (int r = 1; r <= height_; ++r) {
    Put("\xB3", x1, y1 + r, attr);  // │
    Put("\xB3", x2, y1 + r, attr);
  }
}

void PickList::DrawBottomLine() {
  const uint8_t attr = ControlColours[focused ? 1 : 0];
  std::string line(static_cast<size_t>(width_ + 1), '\xC4');
  if (count > 0 && top_ + rows_ < count) line[static_cast<size_t>(width_)] = 'v';
  if (focused && currentStop_ >= 1) {
    const int col = stops_[static_cast<size_t>(currentStop_ - 1)];
    const bool quick = quickSeek && currentStop_ == 1;
    std::string mark = std::string(1, quick ? '\xAF' : '>') + search_;  // » or >
    const size_t at = static_cast<size_t>(col - 1);
    if (at < line.size()) line.replace(at, std::min(mark.size(), line.size() - at), mark, 0,
                                       std::min(mark.size(), line.size() - at));
  }
  Put("\xC0" + line + "\xD9", x1, y2, attr);  // └─┘
}

void PickList::Draw() {
  UpdateCount();
  CentreCurrent();
  DrawFrame();
  DrawItems();
  DrawCaption();
}

void PickList::BecomeCommand(UiEvent& ev, uint16_t command) {
  ClearEvent(ev);
  ev.what = EVENT_COMMAND;
  ev.command = command;
}

void PickList::PageUp() {
  *position_ = std::max<int32_t>(1, *position_ - rows_);
  CentreCurrent();
  DrawItems();
}

void PickList::PageDown() {
  *position_ = std::min<int32_t>(count, *position_ + rows_);
  CentreCurrent();
  DrawItems();
}

void PickList::Search(uint8_t ch, bool& found) {
  if (search_.size() < kMaxSearch) search_ += static_cast<char>(PlUpCaseChar(ch));
  const int32_t start = search_.size() == 1 ? 1 : *position_;
  int32_t hit = 0;
  if (quickSeek && currentStop_ <= 1) {
    hit = QuickSeek(search_);
  } else {
    const size_t from =
        currentStop_ >= 1 ? static_cast<size_t>(stops_[static_cast<size_t>(currentStop_ - 1)] - 1)
                          : 0;
    for (int32_t i = std::max<int32_t>(start, 1); i <= count && hit == 0; ++i) {
      const std::string t = PlUpperCase(ItemText(i));
      if (t.size() >= from && t.compare(from, search_.size(), search_) == 0) hit = i;
    }
  }
  found = hit > 0 && hit <= count;
  if (found) {
    *position_ = hit;
    CentreCurrent();
    DrawItems();
  } else {
    Tone(1200, 2);
    DrainKeyboard();
  }
}

PickList::Step PickList::OnEmpty(UiEvent& ev) {
  switch (ev.what) {
    case EVENT_KEY:
      if (!ev.paste.empty()) return Step::Leave;
      if (ev.keyCode == kKeyEnter || ev.keyCode == kKeyDel) {
        ClearEvent(ev);
        ErrorBeep();
        return Step::Consumed;
      }
      if (ev.keyCode == kKeyIns) BecomeCommand(ev, kListInsert);
      return Step::Leave;
    case EVENT_MOUSE:
      // The empty list's "current row" is its first row.
      if ((ev.buttons & 1) && ev.y == ScreenY(y1 + 1) && ev.x > ScreenX(x1) &&
          ev.x < ScreenX(x2))
        BecomeCommand(ev, kListInsert);
      return Step::Leave;
    case EVENT_COMMAND:
      if (ev.command == kListChoose) ev.command = kListInsert;
      return Step::Leave;
    default:
      return Step::Leave;
  }
}

PickList::Step PickList::OnKey(UiEvent& ev) {
  if (!ev.paste.empty()) return Step::Leave;
  switch (ev.keyCode) {
    case kKeyUp:
      if (*position_ <= 1) {
        if (!topExit) return Step::Consumed;
        ClearEvent(ev);
        ev.what = EVENT_KEY;
        ev.extended = true;
        ev.ch = ' ';
        ev.keyCode = kKeyShiftTab;
        return Step::Leave;
      }
      --*position_;
      if (cursorRow_ <= 1)
        --top_;
      else
        --cursorRow_;
      DrawItems();
      return Step::Consumed;
    case kKeyDown:
      if (*position_ >= count) return Step::Consumed;
      ++*position_;
      if (cursorRow_ >= rows_)
        ++top_;
      else
        ++cursorRow_;
      DrawItems();
      return Step::Consumed;
    case kKeyPgUp:
      PageUp();
      return Step::Consumed;
    case kKeyPgDn:
      PageDown();
      return Step::Consumed;
    case kKeyHome:
      *position_ = 1;
      CentreCurrent();
      DrawItems();
      return Step::Consumed;
    case kKeyEnd:
      *position_ = count;
      CentreCurrent();
      DrawItems();
      return Step::Consumed;
    case kKeyEnter:
      BecomeCommand(ev, kListChoose);
      return Step::Leave;
    case kKeyCtrlEnter:
      BecomeCommand(ev, kListCtrlEnter);
      return Step::Leave;
    case kKeyIns:
      BecomeCommand(ev, kListInsert);
      return Step::Leave;
    case kKeyDel:
      BecomeCommand(ev, kListDelete);
      return Step::Leave;
    case kKeyTab:
    case kKeyShiftTab: {
      if (!searchColumns) return Step::Leave;
      int next = currentStop_;
      for (int k = 0; k < 5; ++k) {
        next = next % 5 + 1;
        if (stops_[static_cast<size_t>(next - 1)] != 0) break;
      }
      currentStop_ = next;
      return Step::Consumed;
    }
    case kKeyGreyPlus:
    case kKeyCtrlD:
    case kKeyEsc:
      return Step::Leave;
    default:
      break;
  }
  if (ev.extended || !IsSearchChar(ev.ch)) return Step::Leave;
  bool found = false;
  Search(ev.ch, found);
  return found ? Step::Searched : Step::Consumed;
}

PickList::Step PickList::OnMouse(UiEvent& ev) {
  if (!(ev.buttons & 1) || (ev.buttons & 6) || !RectHolds(ev.x, ev.y)) return Step::Leave;
  const int row = ev.y - ScreenY(y1);  // 0: top frame line
  if (row == 0) {
    PageUp();
    return Step::Consumed;
  }
  if (row >= 1 && row <= rows_) {
    const int32_t item = top_ + row;
    if (item == *position_) {
      BecomeCommand(ev, kListChoose);
      return Step::Leave;
    }
    *position_ = item;
    cursorRow_ = row;
    DrawItems();
    return Step::Consumed;
  }
  PageDown();  // below the last item or on the bottom frame line
  return Step::Consumed;
}

void PickList::Execute(UiEvent& ev) {
  const int32_t entry = *position_;
  focused = true;
  Draw();
  for (;;) {
    UpdateCount();
    if (count > 0 && (*position_ < 1 || *position_ > count)) CentreCurrent();
    DrawFrame();
    DrawItems();
    DrawCaption();
    GetEvent(ev);
    Step step;
    if (ev.what == EVENT_MOUSE && (ev.buttons & 1) && CaptionHolds(ev.x, ev.y)) {
      Tone(4000, 2);
      step = Step::Consumed;
    } else if (count <= 0) {
      step = OnEmpty(ev);
    } else if (ev.what == EVENT_KEY) {
      step = OnKey(ev);
    } else if (ev.what == EVENT_MOUSE) {
      step = OnMouse(ev);
    } else {
      step = Step::Leave;
    }
    if (step != Step::Searched) search_.clear();
    if (step == Step::Leave) break;
  }
  focused = false;
  search_.clear();
  Draw();
  if (*position_ != entry) FormDataChanged = true;
}

}  // namespace qm
