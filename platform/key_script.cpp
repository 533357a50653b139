#include "platform/key_script.h"

#include <cctype>
#include <cstring>

#include "base/cp852.h"
#include "platform/key_table.h"

namespace qm {
namespace {

struct NamedKey {
  const char* name;
  uint16_t code;
  uint8_t state;
};

// Names are matched without regard to case.
constexpr NamedKey kNamed[] = {
    {"PgDn", keys::kPgDn, 0},
    {"PgUp", keys::kPgUp, 0},
    {"Home", keys::kHome, 0},
    {"End", keys::kEnd, 0},
    {"Enter", keys::kEnter, 0},
    {"Esc", keys::kEsc, 0},
    {"Space", keys::kSpace, 0},
    {"Tab", keys::kTab, 0},
    {"S-Tab", keys::kShiftTab, kStateShift},
    {"Up", keys::kUp, 0},
    {"Down", keys::kDown, 0},
    {"Left", keys::kLeft, 0},
    {"Right", keys::kRight, 0},
    {"Ins", keys::kIns, 0},
    {"Del", keys::kDel, 0},
    {"Bksp", keys::kBackspace, 0},
    {"C-Left", keys::kCtrlLeft, kStateCtrl},
    {"C-Right", keys::kCtrlRight, kStateCtrl},
    {"C-Home", keys::kCtrlHome, kStateCtrl},
    {"C-End", keys::kCtrlEnd, kStateCtrl},
    {"C-PgUp", keys::kCtrlPgUp, kStateCtrl},
    {"C-PgDn", keys::kCtrlPgDn, kStateCtrl},
    {"C-Ins", keys::kCtrlIns, kStateCtrl},
    {"S-Ins", keys::kShiftIns, kStateShift},
    {"C-Enter", keys::kCtrlEnter, kStateCtrl},
    {"Grey+", keys::kGreyPlus, 0},
    {"Grey-", keys::kGreyMinus, 0},
};

bool SameName(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return s.size() >= n && SameName(s.substr(0, n), prefix);
}

// Types the characters of a UTF-8 text, one key each.
bool TypeText(const std::string& utf8, std::vector<ConsoleEvent>& out, std::string& error) {
  size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t cp = DecodeUtf8(utf8, pos);
    uint16_t code = 0;
    uint8_t state = 0;
    if (!KeyForCodePoint(cp, code, state)) {
      error = "character not in the code page: " + utf8;
      return false;
    }
    out.push_back(MakeKeyEvent(code, state));
  }
  return true;
}

bool NamedToken(const std::string& tok, ConsoleEvent& ev) {
  for (const NamedKey& k : kNamed) {
    if (SameName(tok, k.name)) {
      ev = MakeKeyEvent(k.code, k.state);
      return true;
    }
  }
  // F1..F12
  if (tok.size() >= 2 && tok.size() <= 3 && (tok[0] == 'F' || tok[0] == 'f')) {
    int n = 0;
    for (size_t i = 1; i < tok.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(tok[i]))) return false;
      n = n * 10 + (tok[i] - '0');
    }
    if (keys::FunctionKey(n) == 0 || tok[1] == '0') return false;
    ev = MakeKeyEvent(keys::FunctionKey(n), 0);
    return true;
  }
  // ^A..^Z
  if (tok.size() == 2 && tok[0] == '^' && CtrlLetterKey(tok[1]) != 0) {
    ev = MakeKeyEvent(CtrlLetterKey(tok[1]), kStateCtrl);
    return true;
  }
  // Alt-A..Alt-Z; A-S-x is Alt+Shift as a PC keyboard with Num Lock on
  // reports it (the state the Polish capital letters are read from).
  if (tok.size() == 5 && StartsWithNoCase(tok, "Alt-") && AltLetterKey(tok[4]) != 0) {
    ev = MakeKeyEvent(AltLetterKey(tok[4]), kStateAlt);
    return true;
  }
  if (tok.size() == 5 && StartsWithNoCase(tok, "A-S-") && AltLetterKey(tok[4]) != 0) {
    ev = MakeKeyEvent(AltLetterKey(tok[4]), kStateAlt | kStateShift | kStateNumLock);
    return true;
  }
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool ParseKeyScript(const std::string& script, std::vector<ConsoleEvent>& events,
                    std::string& error) {
  error.clear();
  std::vector<ConsoleEvent> out;
  size_t i = 0;
  const size_t n = script.size();
  while (i < n) {
    if (IsBlank(script[i])) {
      ++i;
      continue;
    }
    if (script[i] == '"' && i + 1 < n && !IsBlank(script[i + 1])) {
      // Quoted text: \" and \\ stand for the quote and the backslash.
      std::string text;
      size_t j = i + 1;
      bool closed = false;
      while (j < n) {
        if (script[j] == '\\' && j + 1 < n && (script[j + 1] == '"' || script[j + 1] == '\\')) {
          text += script[j + 1];
          j += 2;
        } else if (script[j] == '"') {
          closed = true;
          ++j;
          break;
        } else {
          text += script[j++];
        }
      }
      if (!closed) {
        error = "unterminated quoted text";
        return false;
      }
      if (!TypeText(text, out, error)) return false;
      i = j;
      continue;
    }
    size_t j = i;
    while (j < n && !IsBlank(script[j])) ++j;
    const std::string tok = script.substr(i, j - i);
    i = j;
    // A comment runs to the end of its line.
    if (tok.size() >= 2 && tok[0] == '/' && tok[1] == '/') {
      while (i < n && script[i] != '\n') ++i;
      continue;
    }
    ConsoleEvent ev;
    if (NamedToken(tok, ev)) {
      out.push_back(ev);
      continue;
    }
    // A single character (one UTF-8 sequence) types itself.
    size_t pos = 0;
    const char32_t cp = DecodeUtf8(tok, pos);
    uint16_t code = 0;
    uint8_t state = 0;
    if (pos != tok.size() || cp == 0xFFFD || !KeyForCodePoint(cp, code, state)) {
      error = "unknown key name: " + tok;
      return false;
    }
    out.push_back(MakeKeyEvent(code, state));
  }
  events.insert(events.end(), out.begin(), out.end());
  return true;
}

}  // namespace qm
