#include "platform/clock.h"

#include "platform/console.h"

namespace qm {

PackedDate Today;

void ReadToday(PackedDate& d) {
  const LocalTime t = Con().Now();
  d = PackedDate{static_cast<uint8_t>(t.day), static_cast<uint8_t>(t.month), static_cast<uint16_t>(t.year)};
}

void SeedFromClock() { SetRandomState(Con().TickCount()); }

}  // namespace qm
