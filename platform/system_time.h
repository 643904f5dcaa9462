// Calendar time as the system's stored records carry it.
#pragma once

#include "platform/win_types.h"

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;  // 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16);

// The current local time.
void GetLocalTime(SYSTEMTIME* out);
