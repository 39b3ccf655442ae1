#include "common/formatting.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace qm {
namespace {

// 2022-01-05 09:03:07 UTC.
constexpr int64_t kSample = 1641373387;

uint64_t FileTimeOf(int64_t unixSeconds, long nanoseconds = 0) {
    struct timespec ts {};
    ts.tv_sec = unixSeconds;
    ts.tv_nsec = nanoseconds;
    return FileTimeFromTimespec(ts);
}

// Sets TZ for one test and restores it afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (saved_) setenv("TZ", saved_->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST(FileTime, ConvertsFromAndToTimespec) {
    EXPECT_EQ(FileTimeOf(0), kFileTimeUnixEpoch);
    EXPECT_EQ(FileTimeOf(1, 123456789), kFileTimeUnixEpoch + 11234567);  // below 100 ns truncated
    EXPECT_EQ(FileTimeOf(-11644473600), 0u);                             // 1601-01-01 itself
    EXPECT_EQ(FileTimeOf(-11644473601), 0u);                             // before 1601: clamped

    const struct timespec back = TimespecFromFileTime(FileTimeOf(kSample, 987654300));
    EXPECT_EQ(back.tv_sec, kSample);
    EXPECT_EQ(back.tv_nsec, 987654300);
    const struct timespec before1970 = TimespecFromFileTime(FileTimeOf(-86400 * 365));
    EXPECT_EQ(before1970.tv_sec, -86400 * 365);
}

TEST(FormatFileTime, UtcAndLocalWithTheDaylightRuleOfThatDate) {
    EXPECT_EQ(FormatFileTime(FileTimeOf(kSample), false), u"2022-01-05 09:03:07");
    EXPECT_EQ(FormatFileTime(0, false), u"1601-01-01 00:00:00");
    EXPECT_EQ(FormatFileTime(FileTimeOf(253402300800), false), u"10000-01-01 00:00:00");  // five-digit year

#if defined(_WIN32)
    // Local time there follows the system's time zone setting, which TZ does
    // not change and a test may not; the UTC forms above hold everywhere.
#else
    {
        ScopedTimeZone tz("CST-8");
        EXPECT_EQ(FormatFileTime(FileTimeOf(kSample), true), u"2022-01-05 17:03:07");
    }
    {
        ScopedTimeZone tz("EST5EDT,M3.2.0,M11.1.0");
        EXPECT_EQ(FormatFileTime(FileTimeOf(kSample), true), u"2022-01-05 04:03:07");
        // 2022-07-05 09:03:07 UTC falls in summer time: UTC-4.
        EXPECT_EQ(FormatFileTime(FileTimeOf(kSample + 181 * 86400), true), u"2022-07-05 05:03:07");
    }
#endif
}

TEST(FormatDuration, LeadingZeroUnitsAreLeftOutLaterOnesKept) {
    EXPECT_EQ(FormatDuration(0), u"0 秒");
    EXPECT_EQ(FormatDuration(59), u"59 秒");
    EXPECT_EQ(FormatDuration(60), u"1 分 0 秒");
    EXPECT_EQ(FormatDuration(3600), u"1 小时 0 分 0 秒");
    EXPECT_EQ(FormatDuration(86400), u"1 天 0 小时 0 分 0 秒");
    EXPECT_EQ(FormatDuration(86400 + 3600 + 60 + 1), u"1 天 1 小时 1 分 1 秒");
    EXPECT_EQ(FormatDuration(UINT64_MAX), u"213503982334601 天 7 小时 0 分 15 秒");
}

TEST(StrFormatByteSize, ThreeTruncatedSignificantDigits) {
    const struct {
        uint64_t bytes;
        const char16_t* text;
    } cases[] = {
        {0, u"0 字节"},
        {1023, u"1023 字节"},
        {1024, u"1.00 KB"},
        {1536, u"1.50 KB"},
        {10239, u"9.99 KB"},  // 9.999 truncated, not rounded up
        {10240, u"10.0 KB"},
        {102399, u"99.9 KB"},
        {102400, u"100 KB"},
        {1023999, u"999 KB"},
        {1024000, u"0.97 MB"},  // 1000 KB switches to the next unit
        {10 * 1024 * 1024, u"10.0 MB"},
        {1024ull * 1024 * 1024, u"1.00 GB"},
        {5ull << 40, u"5.00 TB"},
        {3ull << 50, u"3.00 PB"},
        {1ull << 60, u"1.00 EB"},
        {UINT64_MAX, u"15.9 EB"},
    };
    for (const auto& c : cases) EXPECT_EQ(StrFormatByteSize(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace qm
