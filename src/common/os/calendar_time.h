// A FILETIME split into calendar fields.
#pragma once

#include <cstdint>

namespace qm::os {

struct CalendarTime {
    int64_t year = 0;
    unsigned month = 0;  // 1-12
    unsigned day = 0;    // 1-31
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
};

// Splits `fileTime` (100-ns units since 1601-01-01 UTC) in UTC, or with
// `toLocal` in the local time zone with the daylight-saving rule of that
// date. False for a time the system cannot split.
bool SplitFileTime(uint64_t fileTime, bool toLocal, CalendarTime& fields);

}  // namespace qm::os
