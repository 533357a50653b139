// The list box: a framed, scrolling list of one-line items with a current
// item, cursor and mouse movement, and incremental search by typing. A
// descendant supplies the item count and the item texts.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "tui/forms.h"

namespace qm {

// Commands the list issues; the page that owns it handles them.
inline constexpr uint16_t kListDelete = 0xF403;  // Del on a non-empty list
inline constexpr uint16_t kListCtrlEnter = 0xF404;
inline constexpr uint16_t kListChoose = 0xF405;  // Enter, click on the current line
inline constexpr uint16_t kListInsert = 0xF406;  // Ins; Enter on an empty list

class PickList : public FormControl {
 public:
  // x, y: the top-left frame corner, form-relative; the frame spans
  // (x, y)-(x + width + 2, y + height + 1). position: the caller's current
  // item number (1-based), or none for an internal one.
  PickList(std::unique_ptr<TextLabel> caption, int x, int y, int width, int height,
           int32_t* position = nullptr);

  // Stores the number of items into count.
  virtual void UpdateCount() = 0;
  // Text of item index (1..count).
  virtual std::string ItemText(int32_t index) = 0;
  // An item number for a search text, or 0 (used only with quickSeek on).
  virtual int32_t QuickSeek(const std::string& text);
  virtual void DrawLine(int32_t index, int row, bool highlighted);
  virtual void DrawEmpty();
  virtual void DrawItems();
  virtual void CentreCurrent();

  void Execute(UiEvent& ev) override;
  void Draw() override;

  // Stores col in the first free of the five column stops (a sixth is
  // ignored).
  void AddColumnStop(int col);

  int32_t Position() const { return *position_; }
  void SetPosition(int32_t p) { *position_ = p; }
  int32_t Top() const { return top_; }
  int CursorRow() const { return cursorRow_; }
  int Rows() const { return rows_; }
  const std::string& SearchText() const { return search_; }
  int CurrentStop() const { return currentStop_; }

  int32_t count = 0;
  bool searchColumns = true;
  bool quickSeek = false;
  bool topExit = false;  // Up on the first item leaves as Shift+Tab

 protected:
  bool HandleKey(UiEvent&) override { return false; }

 private:
  enum class Step { Consumed, Searched, Leave };
  Step OnKey(UiEvent& ev);
  Step OnMouse(UiEvent& ev);
  Step OnEmpty(UiEvent& ev);
  void Search(uint8_t ch, bool& found);
  void DrawFrame();
  void DrawBottomLine();
  void Clamp();
  void PageUp();
  void PageDown();
  static void BecomeCommand(UiEvent& ev, uint16_t command);

  int32_t ownPosition_ = 1;
  int32_t* position_;
  int height_, width_;
  int rows_ = 0;
  int32_t top_ = 0;
  int cursorRow_ = 1;
  std::string search_;
  std::array<uint8_t, 5> stops_{1, 0, 0, 0, 0};
  int currentStop_ = 1;  // 1..5, 0 none
};

}  // namespace qm
