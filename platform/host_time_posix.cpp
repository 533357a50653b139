#include <time.h>

#include <cerrno>

#include "platform/host_time.h"

namespace qm {

LocalTime HostNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t{};
  localtime_r(&ts.tv_sec, &t);
  LocalTime lt;
  lt.year = t.tm_year + 1900;
  lt.month = t.tm_mon + 1;
  lt.day = t.tm_mday;
  lt.hour = t.tm_hour;
  lt.minute = t.tm_min;
  lt.second = t.tm_sec > 59 ? 59 : t.tm_sec;  // a leap second shows as :59
  lt.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return lt;
}

uint32_t HostTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                               static_cast<uint64_t>(ts.tv_nsec / 1000000));
}

void HostSleep(int ms) {
  if (ms <= 0) return;
  timespec req{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  timespec rem{};
  while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}

}  // namespace qm
