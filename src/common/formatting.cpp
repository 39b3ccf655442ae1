#include "common/formatting.h"

#include <iterator>

#include "common/os/calendar_time.h"
#include "common/text_format.h"

namespace qm {

uint64_t FileTimeFromTimespec(const struct timespec& ts) {
    constexpr int64_t kEpochSeconds = static_cast<int64_t>(kFileTimeUnixEpoch / kFileTimeUnitsPerSecond);
    const int64_t seconds = static_cast<int64_t>(ts.tv_sec);
    if (seconds < -kEpochSeconds) return 0;
    const uint64_t since1601 = static_cast<uint64_t>(seconds + kEpochSeconds);
    if (since1601 > (UINT64_MAX - 9999999) / kFileTimeUnitsPerSecond) return UINT64_MAX;
    return since1601 * kFileTimeUnitsPerSecond + static_cast<uint64_t>(ts.tv_nsec) / 100;
}

struct timespec TimespecFromFileTime(uint64_t fileTime) {
    struct timespec ts {};
    const int64_t since1601 = static_cast<int64_t>(fileTime / kFileTimeUnitsPerSecond);
    ts.tv_sec = static_cast<time_t>(since1601 - static_cast<int64_t>(kFileTimeUnixEpoch / kFileTimeUnitsPerSecond));
    ts.tv_nsec = static_cast<long>(fileTime % kFileTimeUnitsPerSecond) * 100;
    return ts;
}

std::u16string FormatFileTime(uint64_t fileTime, bool toLocal) {
    os::CalendarTime fields;
    if (!os::SplitFileTime(fileTime, toLocal, fields)) return {};
    return FormatText(u"%s%u-%02u-%02u %02u:%02u:%02u%s", u"", fields.year, fields.month, fields.day, fields.hour,
                      fields.minute, fields.second, u"");
}

std::u16string FormatDuration(uint64_t seconds) {
    const uint64_t days = seconds / 86400;
    uint64_t rest = seconds - days * 86400;
    const uint64_t hours = rest / 3600;
    rest -= hours * 3600;
    const uint64_t minutes = rest / 60;
    const uint64_t secs = rest - minutes * 60;

    std::u16string text;
    if (days != 0) text += FormatText(u"%u 天 ", days);
    if (!text.empty() || hours != 0) text += FormatText(u"%u 小时 ", hours);
    if (!text.empty() || minutes != 0) text += FormatText(u"%u 分 ", minutes);
    text += FormatText(u"%u 秒", secs);
    return text;
}

std::u16string StrFormatByteSize(uint64_t bytes) {
    if (bytes < 1024) return FormatText(u"%u 字节", bytes);
    static constexpr const char16_t* kUnits[] = {u"KB", u"MB", u"GB", u"TB", u"PB", u"EB"};
    // Pick the unit that leaves a value below 1000, so three significant
    // digits always suffice ("0.97 MB" rather than "1000 KB").
    size_t unit = 0;
    unsigned __int128 divisor = 1024;
    while (unit + 1 < std::size(kUnits) && bytes >= divisor * 1000) {
        divisor *= 1024;
        ++unit;
    }
    const unsigned __int128 value = bytes;
    const uint64_t whole = static_cast<uint64_t>(value / divisor);
    int decimals = whole >= 100 ? 0 : whole >= 10 ? 1 : 2;
    unsigned __int128 scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    // Truncated, not rounded: a size is never shown larger than it is.
    const uint64_t scaled = static_cast<uint64_t>(value * scale / divisor);
    if (decimals == 0) return FormatText(u"%u %s", scaled, kUnits[unit]);
    const uint64_t fraction = scaled % static_cast<uint64_t>(scale);
    return FormatText(decimals == 1 ? u"%u.%01u %s" : u"%u.%02u %s", scaled / static_cast<uint64_t>(scale), fraction,
                      kUnits[unit]);
}

}  // namespace qm
