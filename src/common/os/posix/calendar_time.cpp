#include "common/os/calendar_time.h"

#include <ctime>

#include "common/formatting.h"

namespace qm::os {

bool SplitFileTime(uint64_t fileTime, bool toLocal, CalendarTime& fields) {
    const time_t seconds = TimespecFromFileTime(fileTime).tv_sec;
    struct tm split {};
    if ((toLocal ? localtime_r(&seconds, &split) : gmtime_r(&seconds, &split)) == nullptr) return false;
    fields.year = static_cast<int64_t>(split.tm_year) + 1900;
    fields.month = static_cast<unsigned>(split.tm_mon + 1);
    fields.day = static_cast<unsigned>(split.tm_mday);
    fields.hour = static_cast<unsigned>(split.tm_hour);
    fields.minute = static_cast<unsigned>(split.tm_min);
    fields.second = static_cast<unsigned>(split.tm_sec);
    return true;
}

}  // namespace qm::os
