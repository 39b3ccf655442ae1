#include "common/os/calendar_time.h"

#include <windows.h>

namespace qm::os {

bool SplitFileTime(uint64_t fileTime, bool toLocal, CalendarTime& fields) {
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(fileTime);
    utc.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    SYSTEMTIME split{};
    if (!FileTimeToSystemTime(&utc, &split)) return false;
    if (toLocal) {
        // The time zone's rule for that date, not today's offset: a summer
        // time is shown with the summer offset even in winter.
        SYSTEMTIME local{};
        if (!SystemTimeToTzSpecificLocalTime(nullptr, &split, &local)) return false;
        split = local;
    }
    fields.year = split.wYear;
    fields.month = split.wMonth;
    fields.day = split.wDay;
    fields.hour = split.wHour;
    fields.minute = split.wMinute;
    fields.second = split.wSecond;
    return true;
}

}  // namespace qm::os
