#include "base/message_text.h"

namespace qm {

std::string CentredLine(const std::string& line) { return std::string(1, kMsgCentre) + line; }

std::string MessageLines(std::initializer_list<std::string> lines) {
  std::string out;
  for (const std::string& line : lines) {
    if (!out.empty()) out += kMsgLineBreak;
    out += line;
  }
  return out;
}

std::string CentredLines(std::initializer_list<std::string> lines) {
  std::string out;
  for (const std::string& line : lines) {
    if (!out.empty()) out += kMsgLineBreak;
    out += CentredLine(line);
  }
  return out;
}

}  // namespace qm
