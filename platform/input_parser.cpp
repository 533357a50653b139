#include "platform/input_parser.h"

#include <algorithm>
#include <vector>

#include "base/cp852.h"
#include "platform/key_table.h"

namespace qm {
namespace {

constexpr char kEsc = 0x1B;
constexpr char kPasteEnd[] = "\x1b[201~";
constexpr size_t kPasteEndLen = sizeof(kPasteEnd) - 1;
// A paste whose end marker never comes is closed after this long without input.
constexpr uint32_t kPasteIdleMs = 2000;
// Longer escape sequences than this are noise, not keys.
constexpr size_t kMaxSequence = 64;

// xterm's modifier parameter: 1 + (1 Shift, 2 Alt, 4 Ctrl, 8 Meta).
uint8_t ModState(int mod) {
  if (mod < 2) return 0;
  const int bits = mod - 1;
  uint8_t state = 0;
  if (bits & 1) state |= kStateShift;
  if (bits & (2 | 8)) state |= kStateAlt;
  if (bits & 4) state |= kStateCtrl;
  return state;
}

// Alt with Shift is reported with Num Lock on, the state in which the PC
// delivers the Polish capital letters.
uint8_t AltShiftState() { return kStateAlt | kStateShift | kStateNumLock; }

std::vector<int> Numbers(const std::string& params) {
  std::vector<int> nums;
  int cur = -1;
  bool sub = false;  // after ':' (sub-parameters are ignored)
  for (char c : params) {
    if (c >= '0' && c <= '9') {
      if (sub) continue;
      cur = (cur < 0 ? 0 : cur) * 10 + (c - '0');
      if (cur > 1000000) cur = 1000000;
    } else if (c == ';') {
      nums.push_back(cur);
      cur = -1;
      sub = false;
    } else if (c == ':') {
      sub = true;
    }
  }
  nums.push_back(cur);
  return nums;
}

int Num(const std::vector<int>& nums, size_t i, int dflt) {
  return (i < nums.size() && nums[i] >= 0) ? nums[i] : dflt;
}

// The key of the vt220-style "CSI n ~" sequences.
bool TildeKey(int n, ExtKey& key) {
  switch (n) {
    case 1: case 7: key = ExtKey::Home; return true;
    case 2: key = ExtKey::Ins; return true;
    case 3: key = ExtKey::Del; return true;
    case 4: case 8: key = ExtKey::End; return true;
    case 5: key = ExtKey::PgUp; return true;
    case 6: key = ExtKey::PgDn; return true;
    case 11: case 12: case 13: case 14: case 15:
      key = static_cast<ExtKey>(static_cast<int>(ExtKey::F1) + n - 11);
      return true;
    case 17: case 18: case 19: case 20: case 21:
      key = static_cast<ExtKey>(static_cast<int>(ExtKey::F6) + n - 17);
      return true;
    case 23: key = ExtKey::F11; return true;
    case 24: key = ExtKey::F12; return true;
    default: return false;
  }
}

// Cursor and function keys named by a final letter (CSI or SS3).
bool LetterKey(char final, ExtKey& key) {
  switch (final) {
    case 'A': key = ExtKey::Up; return true;
    case 'B': key = ExtKey::Down; return true;
    case 'C': key = ExtKey::Right; return true;
    case 'D': key = ExtKey::Left; return true;
    case 'H': key = ExtKey::Home; return true;
    case 'F': key = ExtKey::End; return true;
    case 'P': key = ExtKey::F1; return true;
    case 'Q': key = ExtKey::F2; return true;
    case 'R': key = ExtKey::F3; return true;
    case 'S': key = ExtKey::F4; return true;
    default: return false;
  }
}

// rxvt's lower-case arrows: Shift after CSI, Ctrl after SS3.
bool RxvtArrow(char final, ExtKey& key) {
  switch (final) {
    case 'a': key = ExtKey::Up; return true;
    case 'b': key = ExtKey::Down; return true;
    case 'c': key = ExtKey::Right; return true;
    case 'd': key = ExtKey::Left; return true;
    default: return false;
  }
}

}  // namespace

void InputParser::Feed(const char* data, size_t size, uint32_t nowMs) {
  if (size == 0) return;
  if (buf_.empty()) since_ = nowMs;
  lastInput_ = nowMs;
  buf_.append(data, size);
  const size_t before = buf_.size();
  Parse(false);
  if (!buf_.empty() && buf_.size() != before) since_ = nowMs;
}

int InputParser::MsUntilExpiry(uint32_t nowMs) const {
  if (inPaste_) {
    const uint32_t idle = nowMs - lastInput_;
    return idle >= kPasteIdleMs ? 0 : static_cast<int>(kPasteIdleMs - idle);
  }
  if (buf_.empty()) return -1;
  const uint32_t waited = nowMs - since_;
  return waited >= escDelay_ ? 0 : static_cast<int>(escDelay_ - waited);
}

void InputParser::Expire(uint32_t nowMs) {
  if (inPaste_) {
    if (nowMs - lastInput_ < kPasteIdleMs) return;
    // The terminal never closed the paste: keep what came.
    paste_ += buf_;
    buf_.clear();
    inPaste_ = false;
    EmitPaste();
    return;
  }
  if (buf_.empty() || nowMs - since_ < escDelay_) return;
  Parse(true);
  // Whatever still waits cannot become a key.
  buf_.clear();
}

bool InputParser::Next(ConsoleEvent& ev) {
  if (events_.empty()) return false;
  ev = std::move(events_.front());
  events_.pop_front();
  return true;
}

void InputParser::EmitKey(uint16_t code, uint8_t state) {
  if (code == 0) return;
  events_.push_back(MakeKeyEvent(code, state));
}

void InputParser::EmitPaste() {
  if (!paste_.empty()) {
    ConsoleEvent ev;
    ev.kind = ConsoleEvent::Paste;
    ev.text = Utf8ToCp852(paste_);
    events_.push_back(std::move(ev));
  }
  paste_.clear();
}

void InputParser::EmitMouse(int b, int x, int y, bool release) {
  // Wheel turns and motion reports carry nothing the program acts on.
  if (b & (32 | 64 | 128)) return;
  if (x < 1 || x > mouseCols_ || y < 1 || y > mouseRows_) return;
  ConsoleEvent ev;
  ev.kind = ConsoleEvent::Mouse;
  ev.x = x;
  ev.y = y;
  static constexpr uint16_t kButton[4] = {1, 4, 2, 0};
  ev.buttons = release ? 0 : kButton[b & 3];
  events_.push_back(ev);
}

// A character reported with its modifiers (the "CSI code;mod u" and
// "CSI 27;mod;code ~" forms of terminals that tell Ctrl+M from Enter).
void InputParser::EmitModifiedChar(int cp, uint8_t state) {
  switch (cp) {
    case 9: EmitKey(ExtKeyCode(ExtKey::Tab, state), state); return;
    case 13: EmitKey(ExtKeyCode(ExtKey::Enter, state), state); return;
    case 27: EmitKey(ExtKeyCode(ExtKey::Esc, state), state); return;
    case 8:
    case 127: EmitKey(ExtKeyCode(ExtKey::Backspace, state), state); return;
    default: break;
  }
  const bool letter = (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
  if (letter && (state & kStateAlt)) {
    const bool upper = (cp <= 'Z') || (state & kStateShift);
    EmitKey(AltLetterKey(static_cast<char>(cp)), upper ? AltShiftState() : uint8_t{kStateAlt});
    return;
  }
  if (letter && (state & kStateCtrl)) {
    EmitKey(CtrlLetterKey(static_cast<char>(cp)), kStateCtrl);
    return;
  }
  uint16_t code = 0;
  uint8_t st = 0;
  if (cp > 0 && KeyForCodePoint(static_cast<char32_t>(cp), code, st)) EmitKey(code, st);
}

void InputParser::Parse(bool expired) {
  for (;;) {
    if (inPaste_) {
      PasteBytes();
      if (inPaste_) return;
      continue;
    }
    if (buf_.empty()) return;
    const uint8_t b = static_cast<uint8_t>(buf_[0]);
    size_t used = 1;
    if (b == static_cast<uint8_t>(kEsc)) {
      if (ParseEscape(used, expired) == Step::NeedMore) return;
    } else if (b < 0x20 || b == 0x7F) {
      uint16_t code = 0;
      uint8_t state = 0;
      if (ControlKey(b, code, state)) EmitKey(code, state);
    } else if (b < 0x80) {
      EmitKey(CharKeyCode(b), 0);
    } else {
      size_t len = 0;
      if (b >= 0xC2 && b <= 0xDF) len = 2;
      else if (b >= 0xE0 && b <= 0xEF) len = 3;
      else if (b >= 0xF0 && b <= 0xF4) len = 4;
      if (len > 0) {
        bool complete = true;
        for (size_t i = 1; i < len; ++i) {
          if (i >= buf_.size()) {
            complete = false;
            break;
          }
          if ((static_cast<uint8_t>(buf_[i]) & 0xC0) != 0x80) {
            len = 0;  // broken sequence: drop its lead byte
            break;
          }
        }
        if (!complete) {
          if (!expired) return;
          len = 0;
        }
      }
      if (len > 0) {
        size_t pos = 0;
        const char32_t cp = DecodeUtf8(std::string_view(buf_).substr(0, len), pos);
        uint16_t code = 0;
        uint8_t state = 0;
        if (pos == len && KeyForCodePoint(cp, code, state)) EmitKey(code, state);
        used = len;
      }
    }
    buf_.erase(0, used);
  }
}

InputParser::Step InputParser::ParseEscape(size_t& used, bool expired) {
  if (buf_.size() < 2) {
    if (!expired) return Step::NeedMore;
    EmitKey(ExtKeyCode(ExtKey::Esc, 0), 0);
    used = 1;
    return Step::Done;
  }
  const uint8_t c = static_cast<uint8_t>(buf_[1]);
  if (c == '[') return ParseCsi(used, expired);
  if (c == 'O') return ParseSs3(used, expired);
  if (c == static_cast<uint8_t>(kEsc) || c >= 0x80) {
    // Esc typed twice, or Esc before a letter outside ASCII: Esc is a key
    // of its own and the rest is read afresh.
    EmitKey(ExtKeyCode(ExtKey::Esc, 0), 0);
    used = 1;
    return Step::Done;
  }
  used = 2;
  // Esc before a key: that key with Alt.
  if (c < 0x20 || c == 0x7F) {
    uint16_t code = 0;
    uint8_t state = 0;
    if (!ControlKey(c, code, state)) return Step::Done;
    switch (code) {
      case keys::kEnter: EmitKey(ExtKeyCode(ExtKey::Enter, kStateAlt), kStateAlt); break;
      case keys::kTab: EmitKey(ExtKeyCode(ExtKey::Tab, kStateAlt), kStateAlt); break;
      case keys::kBackspace: EmitKey(ExtKeyCode(ExtKey::Backspace, kStateAlt), kStateAlt); break;
      default: EmitKey(code, state | kStateAlt); break;
    }
    return Step::Done;
  }
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
    EmitKey(AltLetterKey(static_cast<char>(c)), c <= 'Z' ? AltShiftState() : uint8_t{kStateAlt});
  } else if (c >= '1' && c <= '9') {
    EmitKey(static_cast<uint16_t>((0x78 + c - '1') << 8), kStateAlt);  // the PC's Alt+1..Alt+9
  } else if (c == '0') {
    EmitKey(0x8100, kStateAlt);
  } else if (c == '-') {
    EmitKey(0x8200, kStateAlt);
  } else if (c == '=') {
    EmitKey(0x8300, kStateAlt);
  } else {
    EmitKey(static_cast<uint16_t>(ScanOfAscii(c) << 8), kStateAlt);
  }
  return Step::Done;
}

InputParser::Step InputParser::ParseCsi(size_t& used, bool expired) {
  const size_t n = buf_.size();
  if (n == 2) {
    if (!expired) return Step::NeedMore;
    EmitKey(static_cast<uint16_t>(ScanOfAscii('[') << 8), kStateAlt);  // Alt+[
    used = 2;
    return Step::Done;
  }
  const char c2 = buf_[2];
  if (c2 == '[') {
    // The Linux console's F1..F5: ESC [ [ A..E.
    if (n < 4) {
      if (!expired) return Step::NeedMore;
      used = n;
      return Step::Done;
    }
    used = 4;
    if (buf_[3] >= 'A' && buf_[3] <= 'E')
      EmitKey(ExtKeyCode(static_cast<ExtKey>(static_cast<int>(ExtKey::F1) + buf_[3] - 'A'), 0), 0);
    return Step::Done;
  }
  if (c2 == 'M') {
    // X10 mouse report: three bytes of button and position, each plus 32.
    if (n < 6) {
      if (!expired) return Step::NeedMore;
      used = n;
      return Step::Done;
    }
    used = 6;
    const int b = static_cast<uint8_t>(buf_[3]) - 32;
    const int x = static_cast<uint8_t>(buf_[4]) - 32;
    const int y = static_cast<uint8_t>(buf_[5]) - 32;
    if (b >= 0) EmitMouse(b, x, y, (b & 3) == 3);
    return Step::Done;
  }
  std::string params;
  for (size_t i = 2; i < n; ++i) {
    const uint8_t c = static_cast<uint8_t>(buf_[i]);
    if (i - 2 > kMaxSequence) {
      used = i;
      return Step::Done;
    }
    // rxvt ends its Shift forms of the "~" keys with '$'.
    if (c == '$' && !params.empty() && params.back() >= '0' && params.back() <= '9') {
      used = i + 1;
      EmitCsi(params, '$');
      return Step::Done;
    }
    if (c >= 0x20 && c <= 0x3F) {
      params += static_cast<char>(c);
    } else if (c >= 0x40 && c <= 0x7E) {
      used = i + 1;
      EmitCsi(params, static_cast<char>(c));
      return Step::Done;
    } else {
      // Not a sequence after all: drop what was read and go on from here.
      used = i;
      return Step::Done;
    }
  }
  if (!expired) return Step::NeedMore;
  used = n;
  return Step::Done;
}

void InputParser::EmitCsi(const std::string& params, char final) {
  if (!params.empty() && params[0] == '<') {
    if (final != 'M' && final != 'm') return;
    const std::vector<int> v = Numbers(params.substr(1));
    if (v.size() != 3 || v[0] < 0) return;
    EmitMouse(v[0], v[1], v[2], final == 'm');
    return;
  }
  // Other private forms are replies to queries the program never makes.
  if (!params.empty() && (params[0] == '?' || params[0] == '>' || params[0] == '=')) return;
  for (char c : params) {
    if (c < 0x30 || c > 0x3F) return;  // intermediates: not a key
  }
  const std::vector<int> v = Numbers(params);
  ExtKey key;
  switch (final) {
    case '~':
    case '$':
    case '^':
    case '@': {
      const int code = Num(v, 0, 0);
      if (code == 200) {
        inPaste_ = true;
        paste_.clear();
        return;
      }
      if (code == 27) {
        EmitModifiedChar(Num(v, 2, 0), ModState(Num(v, 1, 1)));
        return;
      }
      uint8_t state = ModState(Num(v, 1, 1));
      if (final == '$') state |= kStateShift;
      if (final == '^') state |= kStateCtrl;
      if (final == '@') state |= kStateCtrl | kStateShift;
      if (TildeKey(code, key)) EmitKey(ExtKeyCode(key, state), state);
      return;
    }
    case 'Z':
      EmitKey(ExtKeyCode(ExtKey::Tab, kStateShift), kStateShift);
      return;
    case 'u':
      EmitModifiedChar(Num(v, 0, 0), ModState(Num(v, 1, 1)));
      return;
    default:
      break;
  }
  if (LetterKey(final, key)) {
    const uint8_t state = ModState(Num(v, 1, 1));
    EmitKey(ExtKeyCode(key, state), state);
  } else if (RxvtArrow(final, key)) {
    EmitKey(ExtKeyCode(key, kStateShift), kStateShift);
  }
}

InputParser::Step InputParser::ParseSs3(size_t& used, bool expired) {
  const size_t n = buf_.size();
  if (n == 2) {
    if (!expired) return Step::NeedMore;
    EmitKey(AltLetterKey('O'), AltShiftState());  // Alt+Shift+O
    used = 2;
    return Step::Done;
  }
  // Old xterms put a modifier between SS3 and the letter: ESC O 5 C.
  std::string params;
  size_t i = 2;
  while (i < n && ((buf_[i] >= '0' && buf_[i] <= '9') || buf_[i] == ';') && params.size() < 8)
    params += buf_[i++];
  if (i >= n) {
    if (!expired) return Step::NeedMore;
    used = n;
    return Step::Done;
  }
  const char final = buf_[i];
  used = i + 1;
  const std::vector<int> v = Numbers(params);
  const uint8_t state = ModState(v.size() >= 2 ? Num(v, 1, 1) : Num(v, 0, 1));
  ExtKey key;
  if (LetterKey(final, key)) {
    EmitKey(ExtKeyCode(key, state), state);
    return Step::Done;
  }
  if (RxvtArrow(final, key)) {
    EmitKey(ExtKeyCode(key, kStateCtrl), kStateCtrl);
    return Step::Done;
  }
  // The numeric keypad in application mode.
  static constexpr uint16_t kPadDigits[10] = {0x5230, 0x4F31, 0x5032, 0x5133, 0x4B34,
                                              0x4C35, 0x4D36, 0x4737, 0x4838, 0x4939};
  switch (final) {
    case 'M': EmitKey(keys::kEnter, 0); break;
    case 'k': EmitKey(keys::kGreyPlus, 0); break;
    case 'm': EmitKey(keys::kGreyMinus, 0); break;
    case 'j': EmitKey(keys::kGreyStar, 0); break;
    case 'o': EmitKey(0xE02F, 0); break;
    case 'n': EmitKey(0x532E, 0); break;
    case 'X': EmitKey(CharKeyCode('='), 0); break;
    default:
      if (final >= 'p' && final <= 'y') EmitKey(kPadDigits[final - 'p'], 0);
      break;
  }
  return Step::Done;
}

void InputParser::PasteBytes() {
  const size_t end = buf_.find(kPasteEnd);
  size_t take = end;
  if (end == std::string::npos) {
    // Keep a tail that may be the start of the end marker.
    take = buf_.size() > kPasteEndLen - 1 ? buf_.size() - (kPasteEndLen - 1) : 0;
  }
  if (paste_.size() < kMaxPaste) {
    size_t room = std::min(take, kMaxPaste - paste_.size());
    // Cut at a character boundary.
    if (room < take) {
      while (room > 0 && (static_cast<uint8_t>(buf_[room]) & 0xC0) == 0x80) --room;
    }
    paste_.append(buf_, 0, room);
  }
  if (end == std::string::npos) {
    buf_.erase(0, take);
    return;
  }
  buf_.erase(0, end + kPasteEndLen);
  inPaste_ = false;
  EmitPaste();
}

}  // namespace qm
