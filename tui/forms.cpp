#include "tui/forms.h"

#include <algorithm>

#include "base/polish.h"
#include "base/text.h"
#include "tui/message_box.h"

namespace qm {

std::array<uint8_t, 4> ControlColours = {0x07, 0x0F, 0x1F, 0x70};
bool InsertMode = true;
bool FormDataChanged = false;

void ResetHintLines();

namespace {

DialogForm* g_currentForm = nullptr;

}  // namespace

bool IsEndingCommand(uint16_t command) {
  return (command >= 0xDD01 && command <= 0xDD05) || command == 0xDD07;
}

void InitControlColours() {
  for (size_t i = 0; i < ControlColours.size(); ++i) ControlColours[i] = ColourRoles[i];
}

void ResetEditClipboard();
void ResetFormState() {
  ResetHintLines();
  InsertMode = true;
  FormDataChanged = false;
  g_currentForm = nullptr;
  ResetEditClipboard();
}

bool CopyToClipboard(const std::string& text) { return Con().CopyToClipboard(text); }

std::string PasteFromClipboard() { return ClipboardLine(Con().PasteFromClipboard()); }

std::string ClipboardLine(const std::string& text) {
  size_t n = 0;
  while (n < text.size() && n < 255 && static_cast<uint8_t>(text[n]) > 13) ++n;
  return text.substr(0, n);
}

// ---------------------------------------------------------------- captions

std::unique_ptr<TextLabel> TextLabel::Init(int x, int y, const std::string& text) {
  if (text.empty()) return nullptr;
  auto label = std::make_unique<TextLabel>();
  label->text = text.substr(0, 80);
  label->x1 = x;
  label->y1 = y;
  label->x2 = x + static_cast<int>(label->text.size());
  label->y2 = y + 1;
  return label;
}

std::unique_ptr<ChoiceItem> NewChoiceItem(const std::string& text,
                                          std::unique_ptr<ChoiceItem> next) {
  auto item = std::make_unique<ChoiceItem>();
  item->text = text.substr(0, 78);
  item->next = std::move(next);
  return item;
}

// ------------------------------------------------------------- form control

int FormControl::ScreenX(int x) const { return (owner ? owner->InX1() : 1) + x - 1; }
int FormControl::ScreenY(int y) const { return (owner ? owner->InY1() : 1) + y - 1; }

bool FormControl::CaptionHolds(int sx, int sy) const {
  if (!caption) return false;
  return sx >= ScreenX(caption->x1) && sx < ScreenX(caption->x2) && sy >= ScreenY(caption->y1) &&
         sy < ScreenY(caption->y2);
}

bool FormControl::RectHolds(int sx, int sy) const {
  return sx >= ScreenX(x1) && sx <= ScreenX(x2) && sy >= ScreenY(y1) && sy <= ScreenY(y2);
}

void FormControl::Put(const std::string& text, int x, int y, uint8_t attr) const {
  if (owner && owner->Window()) {
    WriteInWindow(*owner->Window(), text, y, x, attr);
  } else {
    WriteScreenAt(text, y, x, attr);
  }
}

void FormControl::DrawCaption() const {
  if (caption) Put(caption->text, caption->x1, caption->y1, ControlColours[focused ? 1 : 0]);
}

void FormControl::Execute(UiEvent& ev) {
  focused = true;
  Enter();
  Draw();
  for (;;) {
    if (ShowsCursor()) {
      PlaceCursor();
      Con().SetCursorShape(InsertMode ? CursorShape::Tall : CursorShape::Half);
    }
    GetEvent(ev);
    Con().SetCursorShape(CursorShape::Hidden);
    bool consumed = false;
    if (ev.what == EVENT_MOUSE && (ev.buttons & 1) && CaptionHolds(ev.x, ev.y)) {
      Tone(4000, 2);
      consumed = true;
    } else if (ev.what == EVENT_KEY) {
      consumed = HandleKey(ev);
    } else if (ev.what == EVENT_MOUSE) {
      consumed = HandleMouse(ev);
    }
    if (!consumed) break;
    Draw();
  }
  focused = false;
  Leave();
  Draw();
  if (ValueChanged()) FormDataChanged = true;
}

// -------------------------------------------------------------- push button

std::unique_ptr<PushButton> PushButton::Init(int x, int y, int width, int height,
                                             const std::string& text, uint16_t command) {
  return std::make_unique<PushButton>(x, y, width, height, text, command);
}

PushButton::PushButton(int x, int y, int width, int height, const std::string& text,
                       uint16_t command)
    : width_(std::max(width, 1)), height_(std::max(height, 1)), command_(command),
      text_(text.substr(0, 70)) {
  kind = kKindPushButton;
  x1 = x;
  y1 = y;
  x2 = x + width_ - 1;
  y2 = y + height_ - 1;
}

void PushButton::Draw() {
  const uint8_t attr = focused ? ControlColours[3] : Role(10);
  for (int r = 0; r < height_; ++r) Put(Spaces(static_cast<size_t>(width_)), x1, y1 + r, attr);
  const std::string t = text_.substr(0, static_cast<size_t>(width_));
  const int mid = y1 + height_ / 2;
  Put(t, x1 + (width_ - static_cast<int>(t.size())) / 2, mid, attr);
  if (focused && width_ >= 2) {
    Put("\xAF", x1, mid, attr);           // »
    Put("\xAE", x1 + width_ - 1, mid, attr);  // «
  }
  // Shadow: right of the button and below it, shifted by one column.
  const uint8_t body = Role(5);
  Put("\xDC", x1 + width_, y1, body);  // ▄
  for (int r = 1; r < height_; ++r) Put("\xDB", x1 + width_, y1 + r, body);  // █
  Put(std::string(static_cast<size_t>(width_), '\xDF'), x1 + 1, y1 + height_, body);  // ▀
  DrawCaption();
}

bool PushButton::HandleKey(UiEvent& ev) {
  if (ev.paste.empty() && (ev.keyCode == kKeyEnter || (!ev.extended && ev.ch == ' '))) {
    ClearEvent(ev);
    ev.what = EVENT_COMMAND;
    ev.command = command_;
  }
  return false;
}

bool PushButton::HandleMouse(UiEvent& ev) {
  if ((ev.buttons & 1) && !(ev.buttons & 2) && RectHolds(ev.x, ev.y)) {
    ClearEvent(ev);
    ev.what = EVENT_COMMAND;
    ev.command = command_;
  }
  return false;
}

// --------------------------------------------------------------------- form

DialogForm* CurrentForm() { return g_currentForm; }

bool DialogForm::Open(int x, int y, int width, int height, const std::string& title,
                      uint32_t userData) {
  if (!OpenFramedWindow(window_, x, y, x + width - 1, y + height - 1, true, Role(4), Role(5),
                        Role(6), title))
    return false;
  userData_ = userData;
  g_currentForm = this;
  return true;
}

DialogForm::~DialogForm() { Done(); }

void DialogForm::Done() {
  hintLine_.reset();
  while (!controls_.empty()) {
    controls_.back()->Done();
    controls_.pop_back();
  }
  CloseFramedWindow(window_);
  if (g_currentForm == this) g_currentForm = nullptr;
}

void DialogForm::InsertControl(std::unique_ptr<FormControl> control) {
  if (!control || controls_.size() >= 255) return;
  control->owner = this;
  controls_.push_back(std::move(control));
  if (controls_.back()->kind == kKindPushButton && firstButton_ == 0)
    firstButton_ = static_cast<int>(controls_.size());
  controls_.back()->Draw();
}

FormControl* DialogForm::Control(int n) const {
  if (n < 1 || n > ControlCount()) return nullptr;
  return controls_[static_cast<size_t>(n - 1)].get();
}

void DialogForm::FocusControl(int n) {
  if (n >= 1 && n <= ControlCount()) current_ = n;
}

void DialogForm::DrawControls() {
  for (auto& c : controls_) c->Draw();
}

void DialogForm::WriteAt(const std::string& text, int row, int col, uint8_t attr) const {
  if (window_) WriteInWindow(*window_, text, row, col, attr);
}

void DialogForm::MoveFocus(int delta) {
  const int n = ControlCount();
  if (n < 2) return;
  current_ = (current_ - 1 + delta + n) % n + 1;
}

uint16_t DialogForm::Run() {
  DialogForm* const outer = g_currentForm;
  g_currentForm = this;
  finished_ = false;
  UiEvent ev;
  do {
    if (FormControl* c = Control(current_))
      c->Execute(ev);
    else
      GetEvent(ev);
    HandleEvent(ev);
    last_ = ev;
  } while (!finished_);
  g_currentForm = outer == this ? nullptr : outer;
  return last_.what == EVENT_COMMAND ? last_.command : 0;
}

void DialogForm::HandleEvent(UiEvent& ev) {
  switch (ev.what) {
    case EVENT_KEY: {
      if (!ev.paste.empty()) {
        ClearEvent(ev);
        return;
      }
      switch (ev.keyCode) {
        case kKeyEsc:
          ClearEvent(ev);
          ev.what = EVENT_COMMAND;
          ev.command = CMD_ABORT;
          EndModal();
          return;
        case kKeyUp:
        case kKeyLeft:
        case kKeyShiftTab:
          MoveFocus(-1);
          ClearEvent(ev);
          return;
        case kKeyDown:
        case kKeyRight:
        case kKeyTab:
        case kKeyEnter:
          MoveFocus(+1);
          ClearEvent(ev);
          return;
        default:
          break;
      }
      if (firstButton_ != 0 && !ev.extended && ev.ch != 0) {
        const uint8_t want = PlUpCaseChar(ev.ch);
        for (int i = firstButton_; i <= ControlCount(); ++i) {
          FormControl* c = Control(i);
          if (c->kind != kKindPushButton) continue;
          auto* b = static_cast<PushButton*>(c);
          if (b->Text().empty() || PlUpCaseChar(static_cast<uint8_t>(b->Text()[0])) != want)
            continue;
          FocusControl(i);
          ClearEvent(ev);
          ev.what = EVENT_COMMAND;
          ev.command = b->Command();
          // Issued as if the button had been pressed: the page's own
          // handler sees the command too.
          HandleEvent(ev);
          return;
        }
      }
      ClearEvent(ev);
      return;
    }
    case EVENT_MOUSE: {
      if ((ev.buttons & 4) || (ev.buttons & 3) == 3) {
        ClearEvent(ev);
        ev.what = EVENT_COMMAND;
        ev.command = CMD_OK;
        EndModal();
        return;
      }
      if (ev.buttons & 2) {
        ClearEvent(ev);
        ev.what = EVENT_COMMAND;
        ev.command = CMD_ABORT;
        EndModal();
        return;
      }
      if ((ev.buttons & 1) && window_ && ev.x >= window_->x1 && ev.x <= window_->x2 &&
          ev.y >= window_->y1 && ev.y <= window_->y2) {
        for (int i = 1; i <= ControlCount(); ++i) {
          FormControl* c = Control(i);
          if (c->CaptionHolds(ev.x, ev.y) || c->RectHolds(ev.x, ev.y)) {
            FocusControl(i);
            break;
          }
        }
      }
      ClearEvent(ev);
      return;
    }
    case EVENT_COMMAND:
      if (IsEndingCommand(ev.command)) EndModal();
      return;
    default:
      return;
  }
}

}  // namespace qm
