// The host clock, shared by the console backends.
#pragma once
#include <cstdint>

#include "platform/console.h"

namespace qm {

LocalTime HostNow();
// Milliseconds of a steady clock, wrapping at 2^32.
uint32_t HostTickCount();
// A real pause (interrupted signals do not shorten it).
void HostSleep(int ms);

}  // namespace qm
