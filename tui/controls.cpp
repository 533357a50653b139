// Edit fields, check boxes, check groups and radio groups.
#include <algorithm>

#include "base/polish.h"
#include "base/text.h"
#include "tui/forms.h"

namespace qm {
namespace {

constexpr uint8_t kMarkOn = 0xFE;      // ■
constexpr uint8_t kRadioOff = 0xFA;    // ˙
constexpr size_t kEditClipboard = 128;
std::string g_editClipboard;  // Ctrl+K / Ctrl+W, shared by every field

bool IsEditChar(uint8_t ch) {
  return ch == 0x15 || (ch >= 0x20 && ch <= 0x7E) || (ch >= 0x80 && ch <= 0xFE);
}

// A field never keeps trailing blanks or control characters.
std::string Trimmed(std::string s) {
  while (!s.empty() && static_cast<uint8_t>(s.back()) <= 0x20) s.pop_back();
  return s;
}

bool IsTypedChar(const UiEvent& ev, char a, char b = 0) {
  return ev.paste.empty() && !ev.extended && (ev.ch == static_cast<uint8_t>(a) ||
                                              (b != 0 && ev.ch == static_cast<uint8_t>(b)));
}

bool IsLeftClick(const UiEvent& ev) { return (ev.buttons & 1) && !(ev.buttons & 6); }

}  // namespace

void ResetEditClipboard() { g_editClipboard.clear(); }

// --------------------------------------------------------------- edit field

std::unique_ptr<EditField> EditField::Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                           int width, std::string& text, bool masked, int maxLen) {
  return std::make_unique<EditField>(std::move(caption), x, y, width, text, masked, maxLen);
}

EditField::EditField(std::unique_ptr<TextLabel> caption_, int x, int y, int width,
                     std::string& text, bool masked_, int maxLen)
    : masked(masked_),
      text_(text),
      width_(std::clamp(width, 1, 255)),
      maxLen_(maxLen > 0 ? std::clamp(maxLen, width_, 1024) : width_) {
  caption = std::move(caption_);
  kind = kKindEdit;
  x1 = x;
  y1 = y;
  x2 = x + width_ - 1;
  y2 = y;
  text_ = Trimmed(text_.substr(0, static_cast<size_t>(maxLen_)));
  cursor_ = static_cast<int>(text_.size());
  FollowCursor();
}

void EditField::FollowCursor() {
  const int at = std::min(cursor_, maxLen_ - 1);
  if (at < scroll_) scroll_ = at;
  if (at >= scroll_ + width_) scroll_ = at - width_ + 1;
}

void EditField::Draw() {
  FollowCursor();
  std::string shown = masked ? std::string(text_.size(), '*') : text_;
  shown = scroll_ < static_cast<int>(shown.size()) ? shown.substr(static_cast<size_t>(scroll_)) : std::string();
  Put(PadRight(shown, static_cast<size_t>(width_)), x1, y1, ControlColours[focused ? 3 : 2]);
  DrawCaption();
}

void EditField::PlaceCursor() {
  FollowCursor();
  Con().SetCursor(ScreenX(x1) + std::min(cursor_, maxLen_ - 1) - scroll_, ScreenY(y1));
}

void EditField::Enter() {
  entry_ = text_;
  cursor_ = static_cast<int>(text_.size());
}

void EditField::Leave() { text_ = Trimmed(text_); }

void EditField::SetText(const std::string& s) {
  text_ = s.substr(0, static_cast<size_t>(maxLen_));
  cursor_ = static_cast<int>(text_.size());
}

bool EditField::HandleKey(UiEvent& ev) {
  if (!ev.paste.empty()) {
    SetText(ev.paste);
    return true;
  }
  const int len = static_cast<int>(text_.size());
  switch (ev.keyCode) {
    case kKeyLeft:
      if (cursor_ == 0) return false;
      --cursor_;
      return true;
    case kKeyRight:
      if (cursor_ >= len) return false;
      ++cursor_;
      return true;
    case kKeyCtrlLeft:
      cursor_ = 0;
      return true;
    case kKeyCtrlRight:
      cursor_ = len;
      return true;
    case kKeyDel:
      if (cursor_ >= maxLen_)
        Tone(2250, 1);
      else if (cursor_ < len)
        text_.erase(static_cast<size_t>(cursor_), 1);
      return true;
    case kKeyBackspace:
      if (cursor_ == 0) {
        Tone(1200, 1);
      } else {
        text_.erase(static_cast<size_t>(cursor_ - 1), 1);
        --cursor_;
      }
      return true;
    case kKeyIns:
      InsertMode = !InsertMode;
      return true;
    case kKeyCtrlY:
      text_.clear();
      cursor_ = 0;
      return true;
    case kKeyCtrlK:
      g_editClipboard = text_.substr(0, kEditClipboard);
      return true;
    case kKeyCtrlW:
      SetText(g_editClipboard);
      return true;
    case kKeyCtrlIns:
      CopyToClipboard(text_);
      return true;
    case kKeyShiftIns:
      SetText(PasteFromClipboard());
      return true;
    case kKeyCtrlP:
      SetText(entry_);
      return true;
    case kKeyCtrlD:
      text_ = PlUpperCase(text_);
      return true;
    case kKeyCtrlM:
      text_ = PlLowerCase(text_);
      return true;
    default:
      break;
  }
  if (ev.extended || !IsEditChar(ev.ch)) return false;
  if (cursor_ >= maxLen_) {
    Tone(3000, 1);
    return true;
  }
  const char c = static_cast<char>(ev.ch);
  if (InsertMode) {
    text_.insert(static_cast<size_t>(cursor_), 1, c);
    if (static_cast<int>(text_.size()) > maxLen_) text_.pop_back();
  } else if (cursor_ < len) {
    text_[static_cast<size_t>(cursor_)] = c;
  } else {
    text_.push_back(c);
  }
  ++cursor_;
  return true;
}

// ---------------------------------------------------------------- check box

std::unique_ptr<CheckBox> CheckBox::Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                         bool& flag, const std::string& text) {
  return std::make_unique<CheckBox>(std::move(caption), x, y, flag, text);
}

CheckBox::CheckBox(std::unique_ptr<TextLabel> caption_, int x, int y, bool& flag,
                   const std::string& text)
    : flag_(flag), text_(text.substr(0, 78)) {
  caption = std::move(caption_);
  kind = kKindCheckBox;
  x1 = x;
  y1 = y;
  x2 = x + 3 + static_cast<int>(text_.size());
  y2 = y;
}

void CheckBox::Draw() {
  Put("[ ]", x1, y1, ControlColours[0]);
  Put(std::string(1, static_cast<char>(flag_ ? kMarkOn : ' ')), x1 + 1, y1, ControlColours[1]);
  Put(text_, x1 + 4, y1, ControlColours[focused ? 1 : 0]);
  DrawCaption();
}

void CheckBox::PlaceCursor() { Con().SetCursor(ScreenX(x1 + 1), ScreenY(y1)); }

bool CheckBox::HandleKey(UiEvent& ev) {
  if (IsTypedChar(ev, ' ') || IsTypedChar(ev, 'x', 'X')) {
    flag_ = !flag_;
    return true;
  }
  return false;
}

bool CheckBox::HandleMouse(UiEvent& ev) {
  if (IsLeftClick(ev) && RectHolds(ev.x, ev.y)) {
    flag_ = !flag_;
    return true;
  }
  return false;
}

// ------------------------------------------------------------ choice groups

ChoiceGroup::ChoiceGroup(std::unique_ptr<TextLabel> caption_, int x, int y,
                         std::unique_ptr<ChoiceItem> items, size_t maxItems) {
  caption = std::move(caption_);
  x1 = x;
  y1 = y;
  for (ChoiceItem* it = items.get(); it && items_.size() < maxItems; it = it->next.get())
    items_.push_back(it->text);
  Layout();
}

ChoiceGroup::ChoiceGroup(std::unique_ptr<TextLabel> caption_, int x, int y,
                         const std::vector<std::string>& items, size_t maxItems) {
  caption = std::move(caption_);
  x1 = x;
  y1 = y;
  for (const auto& t : items) {
    if (items_.size() >= maxItems) break;
    items_.push_back(t.substr(0, 78));
  }
  Layout();
}

void ChoiceGroup::Layout() {
  widest_ = 0;
  for (const auto& t : items_) widest_ = std::max(widest_, t.size());
  x2 = x1 + 3 + static_cast<int>(widest_);
  y2 = y1 + std::max(ItemCount(), 1) - 1;
}

void ChoiceGroup::PlaceCursor() { Con().SetCursor(ScreenX(x1 + 1), ScreenY(y1 + cursor_)); }

void ChoiceGroup::DrawItems(const char* box, uint8_t onMark, uint8_t offMark) {
  for (int i = 0; i < ItemCount(); ++i) {
    const int row = y1 + i;
    Put(box, x1, row, ControlColours[0]);
    const uint8_t mark = Marked(i) ? onMark : offMark;
    Put(std::string(1, static_cast<char>(mark)), x1 + 1, row, ControlColours[1]);
    Put(PadRight(items_[static_cast<size_t>(i)], widest_), x1 + 4, row,
        ControlColours[focused && i == cursor_ ? 1 : 0]);
  }
  DrawCaption();
}

int ChoiceGroup::ItemAt(int sx, int sy) const {
  if (!RectHolds(sx, sy)) return -1;
  const int i = sy - ScreenY(y1);
  return i >= 0 && i < ItemCount() ? i : -1;
}

bool ChoiceGroup::MoveCursor(const UiEvent& ev) {
  switch (ev.keyCode) {
    case kKeyUp:
    case kKeyLeft:
      if (cursor_ == 0) return false;
      --cursor_;
      return true;
    case kKeyDown:
    case kKeyRight:
      if (cursor_ >= ItemCount() - 1) return false;
      ++cursor_;
      return true;
    default:
      return false;
  }
}

int ChoiceGroup::ClickedItem(const UiEvent& ev) {
  if (!IsLeftClick(ev)) return -1;
  const int i = ItemAt(ev.x, ev.y);
  if (i >= 0) cursor_ = i;
  return i;
}

// -------------------------------------------------------------- check group

std::unique_ptr<CheckGroup> CheckGroup::Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                             std::unique_ptr<ChoiceItem> items, uint16_t& bits) {
  return std::make_unique<CheckGroup>(std::move(caption), x, y, std::move(items), bits);
}

std::unique_ptr<CheckGroup> CheckGroup::Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                             const std::vector<std::string>& items,
                                             uint16_t& bits) {
  return std::make_unique<CheckGroup>(std::move(caption), x, y, items, bits);
}

CheckGroup::CheckGroup(std::unique_ptr<TextLabel> caption, int x, int y,
                       std::unique_ptr<ChoiceItem> items, uint16_t& bits)
    : ChoiceGroup(std::move(caption), x, y, std::move(items), kMaxItems), bits_(bits) {
  kind = kKindCheckGroup;
}

CheckGroup::CheckGroup(std::unique_ptr<TextLabel> caption, int x, int y,
                       const std::vector<std::string>& items, uint16_t& bits)
    : ChoiceGroup(std::move(caption), x, y, items, kMaxItems), bits_(bits) {
  kind = kKindCheckGroup;
}

void CheckGroup::Draw() {
  DrawItems("[ ]", kMarkOn, ' ');
}

bool CheckGroup::HandleKey(UiEvent& ev) {
  if (ItemCount() == 0) return false;
  const uint16_t bit = static_cast<uint16_t>(1u << cursor_);
  if (ev.keyCode == kKeyGreyPlus || IsTypedChar(ev, 'x', 'X')) {
    bits_ |= bit;
    return true;
  }
  if (ev.keyCode == kKeyGreyMinus || IsTypedChar(ev, '0')) {
    bits_ &= static_cast<uint16_t>(~bit);
    return true;
  }
  if (IsTypedChar(ev, ' ')) {
    bits_ ^= bit;
    return true;
  }
  return MoveCursor(ev);
}

bool CheckGroup::HandleMouse(UiEvent& ev) {
  const int i = ClickedItem(ev);
  if (i < 0) return false;
  bits_ ^= static_cast<uint16_t>(1u << i);
  return true;
}

// -------------------------------------------------------------- radio group

std::unique_ptr<RadioGroup> RadioGroup::Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                             std::unique_ptr<ChoiceItem> items, uint16_t& index) {
  return std::make_unique<RadioGroup>(std::move(caption), x, y, std::move(items), index);
}

std::unique_ptr<RadioGroup> RadioGroup::Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                             const std::vector<std::string>& items,
                                             uint16_t& index) {
  return std::make_unique<RadioGroup>(std::move(caption), x, y, items, index);
}

RadioGroup::RadioGroup(std::unique_ptr<TextLabel> caption, int x, int y,
                       std::unique_ptr<ChoiceItem> items, uint16_t& index)
    : ChoiceGroup(std::move(caption), x, y, std::move(items), 255), index_(index) {
  Settle();
}

RadioGroup::RadioGroup(std::unique_ptr<TextLabel> caption, int x, int y,
                       const std::vector<std::string>& items, uint16_t& index)
    : ChoiceGroup(std::move(caption), x, y, items, 255), index_(index) {
  Settle();
}

void RadioGroup::Settle() {
  kind = kKindRadioGroup;
  if (index_ >= items_.size()) index_ = 0;
  cursor_ = index_;
}

void RadioGroup::Draw() {
  DrawItems("( ) ", kMarkOn, kRadioOff);
}

bool RadioGroup::HandleKey(UiEvent& ev) {
  if (ItemCount() == 0) return false;
  if (ev.keyCode == kKeyGreyPlus || IsTypedChar(ev, ' ') || IsTypedChar(ev, 'x', 'X')) {
    index_ = static_cast<uint16_t>(cursor_);
    return true;
  }
  return MoveCursor(ev);
}

bool RadioGroup::HandleMouse(UiEvent& ev) {
  const int i = ClickedItem(ev);
  if (i < 0) return false;
  index_ = static_cast<uint16_t>(i);
  return true;
}

}  // namespace qm
