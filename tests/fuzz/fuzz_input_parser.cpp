// Terminal input of any bytes, cut into pieces at any points and with any
// pauses between them: the decoder must never overrun, and every piece of
// input must end in events once its wait has expired.
#include <cstdlib>
#include <string>

#include "platform/input_parser.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputParser p;
  uint32_t now = 0xFFFFF000u;  // the clock wraps in the middle of some runs
  size_t i = 0;
  ConsoleEvent ev;
  while (i < size) {
    // A control byte: the length of the next piece and the pause before it.
    const uint8_t c = data[i++];
    const size_t len = (c & 0x0F) + 1;
    now += (c >> 4) * 7u;
    const size_t n = len < size - i ? len : size - i;
    p.Feed(reinterpret_cast<const char*>(data + i), n, now);
    i += n;
    const int wait = p.MsUntilExpiry(now);
    if (wait < -1) abort();
    if ((c & 0x80) && wait >= 0) {
      now += static_cast<uint32_t>(wait);
      p.Expire(now);
    }
    while (p.Next(ev)) {
      if (ev.kind == ConsoleEvent::Paste && ev.text.size() > InputParser::kMaxPaste) abort();
      if (ev.kind == ConsoleEvent::None) abort();
    }
  }
  // Long after the last byte nothing may still wait, except an open paste
  // that no end marker has closed.
  for (int k = 0; k < 4; ++k) {
    const int wait = p.MsUntilExpiry(now);
    if (wait < 0) break;
    now += static_cast<uint32_t>(wait) + 1;
    p.Expire(now);
    while (p.Next(ev)) {
    }
  }
  return 0;
}
