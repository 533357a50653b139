// Dialog forms and their controls: captions, edit fields, check boxes, check
// and radio groups, push buttons, and the hint line on the bottom row.
//
// Coordinates of controls are 1-based and relative to the inside of the
// form's frame: (1, 1) is the first cell inside the top-left corner.
//
// A page is a DialogForm descendant that overrides HandleEvent, handles its
// own commands (usually calling EndModal) and then calls
// DialogForm::HandleEvent:
//
//   class Page1 : public DialogForm {
//    public:
//     void HandleEvent(UiEvent& ev) override {
//       if (ev.what == EVENT_COMMAND && ev.command == CMD_NEXT) EndModal();
//       DialogForm::HandleEvent(ev);
//     }
//   };
//   auto page = DialogForm::Init<Page1>(3, 3, 76, 22, Pl(" Krok 1 "));
//   if (!page) return CMD_ABORT;  // the window did not fit
//   page->Insert(EditField::Init(TextLabel::Init(4, 3, Pl("Katalog:")), 4, 4, 50, SourceRoot));
//   page->Insert(PushButton::Init(54, 19, 14, 1, Pl("Dalej >>"), CMD_NEXT));
//   page->SetHintLine(HintLine::Init({{Pl("PgDn-Dalej"), kKeyPgDn, CMD_NEXT}}));
//   uint16_t cmd = page->Run();
//   page.reset();  // Done: hint line closed, screen restored
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tui/events.h"
#include "tui/screen.h"

namespace qm {

// Commands that end a form: 0xDD01..0xDD05 and 0xDD07.
bool IsEndingCommand(uint16_t command);

// The controls' own copy of colour roles 0..3, taken once at start-up after
// the scheme file has been read.
extern std::array<uint8_t, 4> ControlColours;
void InitControlColours();

// Interface-wide state.
extern bool InsertMode;       // edit fields insert (true) or overwrite
extern bool FormDataChanged;  // set when a control leaves with a changed value
void ResetFormState();        // hint lines, insert mode, changed flag, clipboard

// The system clipboard, through the console.
bool CopyToClipboard(const std::string& text);
// Up to the first character 13 or below, at most 255 characters.
std::string PasteFromClipboard();
// The same cut applied to any text (terminal pastes).
std::string ClipboardLine(const std::string& text);

// ---------------------------------------------------------------- hint line

struct HintItem {
  int x1 = 0, y = 25, x2 = 0;  // screen cells it covers on row 25
  std::string text;            // up to 40 characters, shown with a '│' after it
  uint16_t command = 0;
  uint16_t key = 0;  // 0: no key
  std::unique_ptr<HintItem> next;
};

// A new item placed in front of next (a list is built from its last item).
std::unique_ptr<HintItem> NewHintItem(const std::string& text, uint16_t key, uint16_t command,
                                      std::unique_ptr<HintItem> next = nullptr);

struct HintEntry {
  std::string text;
  uint16_t key = 0;
  uint16_t command = 0;
};

// Hint lines stack: Init shows the line and makes it current; Done (or the
// destructor) takes it away and shows the one below again; when the last one
// goes, row 25 is given back as the first one found it.
class HintLine {
 public:
  static std::unique_ptr<HintLine> Init(std::unique_ptr<HintItem> items);
  static std::unique_ptr<HintLine> Init(const std::vector<HintEntry>& items);
  void Done();
  ~HintLine();
  void Draw() const;
  const HintItem* Items() const { return items_.get(); }

 private:
  HintLine() = default;
  std::unique_ptr<HintItem> items_;
  HintLine* previous_ = nullptr;
  bool open_ = false;
};

HintLine* CurrentHintLine();
// A mouse event on one of its items or a key equal to an item's key becomes
// that item's command. False when nothing changed.
bool TranslateByHintLine(UiEvent& ev);

// ------------------------------------------------------------------ controls

class DialogForm;

class TextLabel {
 public:
  // None for an empty text.
  static std::unique_ptr<TextLabel> Init(int x, int y, const std::string& text);
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // x2, y2 one past
  std::string text;                    // up to 80 characters
};

struct ChoiceItem {
  std::string text;  // up to 78 characters
  std::unique_ptr<ChoiceItem> next;
};
std::unique_ptr<ChoiceItem> NewChoiceItem(const std::string& text,
                                          std::unique_ptr<ChoiceItem> next = nullptr);

enum ControlKind : uint8_t {
  kKindEdit = 1,
  kKindCheckBox = 9,
  kKindCheckGroup = 10,
  kKindRadioGroup = 11,
  kKindPushButton = 12,
  kKindPickList = 13,
};

class FormControl {
 public:
  virtual ~FormControl() = default;
  // Takes input while the control has the focus; returns (in ev) the first
  // event it does not consume.
  virtual void Execute(UiEvent& ev);
  virtual void Draw() = 0;
  virtual void Done() {}

  // Rectangle, form-relative, inclusive.
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  std::unique_ptr<TextLabel> caption;
  uint8_t kind = 0;
  bool focused = false;
  DialogForm* owner = nullptr;

  // Screen position of a form-relative cell.
  int ScreenX(int x) const;
  int ScreenY(int y) const;
  // Whether a screen cell lies on the caption or the rectangle.
  bool CaptionHolds(int sx, int sy) const;
  bool RectHolds(int sx, int sy) const;
  // Writes at a form-relative cell (cut at the form's inside).
  void Put(const std::string& text, int x, int y, uint8_t attr) const;
  void DrawCaption() const;

 protected:
  // Per-kind parts of Execute.
  virtual bool ShowsCursor() const { return true; }
  virtual void PlaceCursor() {}
  virtual void Enter() {}
  virtual void Leave() {}
  virtual bool ValueChanged() const { return false; }
  // True when the event was consumed (reading goes on).
  virtual bool HandleKey(UiEvent& ev) = 0;
  virtual bool HandleMouse(UiEvent&) { return false; }
};

class EditField : public FormControl {
 public:
  // width cells on the screen; maxLen characters at most (0: as many as
  // the width), the text scrolling sideways in the field when it is longer.
  static std::unique_ptr<EditField> Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                         int width, std::string& text, bool masked = false, int maxLen = 0);
  EditField(std::unique_ptr<TextLabel> caption, int x, int y, int width, std::string& text,
            bool masked, int maxLen = 0);
  void Draw() override;
  const std::string& Text() const { return text_; }
  int CursorPos() const { return cursor_; }
  bool masked = false;

 protected:
  void PlaceCursor() override;
  void Enter() override;
  void Leave() override;
  bool ValueChanged() const override { return text_ != entry_; }
  bool HandleKey(UiEvent& ev) override;

 private:
  void SetText(const std::string& s);
  // The first character shown: the cursor's cell stays in the field. A
  // cursor behind a full text is shown on the last cell, so a field as
  // wide as its longest text never scrolls.
  void FollowCursor();
  std::string& text_;
  std::string entry_;  // the text when the field got the focus
  int width_;
  int maxLen_;
  int scroll_ = 0;
  int cursor_ = 0;  // 0..length
};

class CheckBox : public FormControl {
 public:
  static std::unique_ptr<CheckBox> Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                        bool& flag, const std::string& text);
  CheckBox(std::unique_ptr<TextLabel> caption, int x, int y, bool& flag, const std::string& text);
  void Draw() override;

 protected:
  void PlaceCursor() override;
  void Enter() override { entry_ = flag_; }
  bool ValueChanged() const override { return flag_ != entry_; }
  bool HandleKey(UiEvent& ev) override;
  bool HandleMouse(UiEvent& ev) override;

 private:
  bool& flag_;
  bool entry_ = false;
  std::string text_;
};

// Items shared by check and radio groups.
class ChoiceGroup : public FormControl {
 public:
  ChoiceGroup(std::unique_ptr<TextLabel> caption, int x, int y, std::unique_ptr<ChoiceItem> items,
              size_t maxItems);
  ChoiceGroup(std::unique_ptr<TextLabel> caption, int x, int y,
              const std::vector<std::string>& items, size_t maxItems);
  int ItemCount() const { return static_cast<int>(items_.size()); }
  int CursorItem() const { return cursor_; }  // 0-based

 protected:
  void PlaceCursor() override;
  virtual bool Marked(int i) const = 0;
  void DrawItems(const char* box, uint8_t onMark, uint8_t offMark);
  // Item index (0-based) under a screen cell, or -1.
  int ItemAt(int sx, int sy) const;
  // The arrow keys move between the items; false at either end, so that
  // the form moves on to the next control.
  bool MoveCursor(const UiEvent& ev);
  // The item under a left click, which gets the cursor; -1 when none.
  int ClickedItem(const UiEvent& ev);
  void Layout();
  std::vector<std::string> items_;
  size_t widest_ = 0;
  int cursor_ = 0;
};

class CheckGroup : public ChoiceGroup {
 public:
  static constexpr size_t kMaxItems = 16;
  static std::unique_ptr<CheckGroup> Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                          std::unique_ptr<ChoiceItem> items, uint16_t& bits);
  static std::unique_ptr<CheckGroup> Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                          const std::vector<std::string>& items, uint16_t& bits);
  CheckGroup(std::unique_ptr<TextLabel> caption, int x, int y, std::unique_ptr<ChoiceItem> items,
             uint16_t& bits);
  CheckGroup(std::unique_ptr<TextLabel> caption, int x, int y,
             const std::vector<std::string>& items, uint16_t& bits);
  void Draw() override;

 protected:
  void Enter() override { entry_ = bits_; }
  bool ValueChanged() const override { return bits_ != entry_; }
  bool HandleKey(UiEvent& ev) override;
  bool HandleMouse(UiEvent& ev) override;

 private:
  bool Marked(int i) const override { return (bits_ >> i) & 1u; }
  uint16_t& bits_;
  uint16_t entry_ = 0;
};

class RadioGroup : public ChoiceGroup {
 public:
  static std::unique_ptr<RadioGroup> Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                          std::unique_ptr<ChoiceItem> items, uint16_t& index);
  static std::unique_ptr<RadioGroup> Init(std::unique_ptr<TextLabel> caption, int x, int y,
                                          const std::vector<std::string>& items, uint16_t& index);
  RadioGroup(std::unique_ptr<TextLabel> caption, int x, int y, std::unique_ptr<ChoiceItem> items,
             uint16_t& index);
  RadioGroup(std::unique_ptr<TextLabel> caption, int x, int y,
             const std::vector<std::string>& items, uint16_t& index);
  void Draw() override;

 protected:
  void Enter() override { entry_ = index_; }
  bool ValueChanged() const override { return index_ != entry_; }
  bool HandleKey(UiEvent& ev) override;
  bool HandleMouse(UiEvent& ev) override;

 private:
  void Settle();
  bool Marked(int i) const override { return i == index_; }
  uint16_t& index_;
  uint16_t entry_ = 0;
};

class PushButton : public FormControl {
 public:
  static std::unique_ptr<PushButton> Init(int x, int y, int width, int height,
                                          const std::string& text, uint16_t command);
  PushButton(int x, int y, int width, int height, const std::string& text, uint16_t command);
  void Draw() override;
  const std::string& Text() const { return text_; }
  uint16_t Command() const { return command_; }

 protected:
  bool ShowsCursor() const override { return false; }
  bool HandleKey(UiEvent& ev) override;
  bool HandleMouse(UiEvent& ev) override;

 private:
  int width_, height_;
  uint16_t command_;
  std::string text_;  // up to 70 characters
};

// ---------------------------------------------------------------------- form

class DialogForm {
 public:
  // Opens the form's window from (x, y) to (x + width - 1, y + height - 1)
  // and makes it the current form; none when the window does not fit. T is
  // DialogForm or a page derived from it, built from args.
  template <class T = DialogForm, class... Args>
  static std::unique_ptr<T> Init(int x, int y, int width, int height, const std::string& title,
                                 uint32_t userData = 0, Args&&... args) {
    auto form = std::make_unique<T>(std::forward<Args>(args)...);
    if (!form->Open(x, y, width, height, title, userData)) return nullptr;
    return form;
  }

  DialogForm() = default;
  DialogForm(const DialogForm&) = delete;
  DialogForm& operator=(const DialogForm&) = delete;
  virtual ~DialogForm();

  // Modal loop; the command code that ended the form.
  virtual uint16_t Run();
  virtual void HandleEvent(UiEvent& ev);
  virtual void DrawControls();

  // Appends a control (a missing one is ignored), draws it, and returns it.
  template <class T>
  T* Insert(std::unique_ptr<T> control) {
    T* raw = control.get();
    InsertControl(std::move(control));
    return raw;
  }
  void InsertControl(std::unique_ptr<FormControl> control);
  void EndModal() { finished_ = true; }
  // When 1 <= n <= count, control n (from 1) gets the focus.
  void FocusControl(int n);
  // Closes the hint line, destroys the controls from the last to the first,
  // closes the window. The destructor does it too.
  void Done();

  // The form's own hint line, closed with it.
  void SetHintLine(std::unique_ptr<HintLine> hint) { hintLine_ = std::move(hint); }
  void CloseHintLine() { hintLine_.reset(); }

  // Writes at a cell of the form's inside (1-based).
  void WriteAt(const std::string& text, int row, int col, uint8_t attr) const;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  int Current() const { return current_; }
  FormControl* Control(int n) const;  // from 1
  uint32_t UserData() const { return userData_; }
  const FramedWindow* Window() const { return window_.get(); }
  bool Finished() const { return finished_; }
  // Inside of the frame, screen cells.
  int InX1() const { return window_ ? window_->InX1() : 1; }
  int InY1() const { return window_ ? window_->InY1() : 1; }
  int InX2() const { return window_ ? window_->InX2() : 80; }
  int InY2() const { return window_ ? window_->InY2() : 25; }

 protected:
  bool Open(int x, int y, int width, int height, const std::string& title, uint32_t userData);

 private:
  void MoveFocus(int delta);
  std::unique_ptr<FramedWindow> window_;
  std::vector<std::unique_ptr<FormControl>> controls_;
  int current_ = 1;
  std::unique_ptr<HintLine> hintLine_;
  uint32_t userData_ = 0;
  int firstButton_ = 0;  // 0: none
  bool finished_ = false;
  UiEvent last_;
};

DialogForm* CurrentForm();

}  // namespace qm
