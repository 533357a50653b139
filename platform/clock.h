// The two readings of the host clock the core keeps: the date the program
// started on, and the seed of the pseudo-random generator.
#pragma once

#include "base/dates.h"

namespace qm {

// The local date when the program started.
extern PackedDate Today;
void ReadToday(PackedDate& d);
// The generator's state from the console's tick count.
void SeedFromClock();

}  // namespace qm
