// The message texts of the program's boxes and the command codes its modal
// forms end with: facts shared by the file layer, which asks the operator,
// and the interface, which shows the boxes.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>

namespace qm {

// Command codes returned by every modal form.
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
inline constexpr uint16_t kMsgYesNo = kMsgButtonYes | kMsgButtonNo;

// A line of a message text, centred.
std::string CentredLine(const std::string& line);
// Lines joined into one message text.
std::string MessageLines(std::initializer_list<std::string> lines);
// Lines joined into one message text, each centred.
std::string CentredLines(std::initializer_list<std::string> lines);

}  // namespace qm
