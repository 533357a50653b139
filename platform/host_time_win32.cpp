#include <windows.h>

#include "platform/host_time.h"

namespace qm {

LocalTime HostNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  LocalTime lt;
  lt.year = st.wYear;
  lt.month = st.wMonth;
  lt.day = st.wDay;
  lt.hour = st.wHour;
  lt.minute = st.wMinute;
  lt.second = st.wSecond;
  lt.millisecond = st.wMilliseconds;
  return lt;
}

uint32_t HostTickCount() { return static_cast<uint32_t>(GetTickCount64()); }

void HostSleep(int ms) {
  if (ms > 0) ::Sleep(static_cast<DWORD>(ms));
}

}  // namespace qm
