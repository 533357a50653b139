// Message boxes, the one-line input box and the yes/no prompt.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

inline constexpr uint16_t CMD_YES = 0xDD01;
inline constexpr uint16_t CMD_NO = 0xDD02;
inline constexpr uint16_t CMD_OK = 0xDD03;
inline constexpr uint16_t CMD_ABORT = 0xDD04;

// Control characters inside message texts.
inline constexpr char kMsgTitleEnd = '\x07';  // text before it replaces the title
inline constexpr char kMsgLineBreak = '\x0D';
inline constexpr char kMsgCentre = '\x03';  // at the start of a line: centred

// Message kinds: low nibble title, bit 3 self-closing, bits 8..11 buttons.
inline constexpr uint16_t kMsgAttention = 0x0000;
inline constexpr uint16_t kMsgError = 0x0001;
inline constexpr uint16_t kMsgInformation = 0x0002;
inline constexpr uint16_t kMsgConfirm = 0x0003;
inline constexpr uint16_t kMsgSelfClosing = 0x0008;
inline constexpr uint16_t kMsgButtonYes = 0x0100;
inline constexpr uint16_t kMsgButtonNo = 0x0200;
inline constexpr uint16_t kMsgButtonOk = 0x0400;
inline constexpr uint16_t kMsgButtonAbort = 0x0800;

uint16_t MessageBoxAt(int x, int y, int width, int height, const std::string& text, uint16_t kind);
uint16_t MessageBox(const std::string& text, uint16_t kind);
void ErrorBox(const std::string& text);
void InfoBox(const std::string& text);
// Takes 1 to 36 only; every InputBox call goes back to the default 37.
void SetInputBoxWidth(int n);
void ResetInputBoxWidth();
uint16_t InputBox(const std::string& prompt, std::string& value, bool masked);
bool AskYesNo(int x, int y, const std::string& question, bool defaultYes);
void DrawChoiceBar(const std::string& text, int row, int col, int width, bool highlighted);

// Builds a message text from lines; a line given with centre true starts
// with the centring mark.
std::string CentredLine(const std::string& line);

}  // namespace qm
