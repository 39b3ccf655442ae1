#include "document/task_texts.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(CompletionSummary, SecondsBelowAMinuteAndAverageFrom200Ms) {
    // A run within the same millisecond counts as 10 ms and has no average.
    EXPECT_EQ(FormatCompletionSummary(0, 5000), u"耗时：0.01 秒");
    EXPECT_EQ(FormatCompletionSummary(199, 5000), u"耗时：0.199 秒");
    // 2000 bytes in 200 ms: 10000 bytes per second.
    EXPECT_EQ(FormatCompletionSummary(200, 2000), u"耗时：0.2 秒，平均速度：9.76 KB/秒");
    EXPECT_EQ(FormatCompletionSummary(1234, 0), u"耗时：1.23 秒，平均速度：0 字节/秒");
    EXPECT_EQ(FormatCompletionSummary(59999, 0).substr(0, 8), u"耗时：60 秒，");
    EXPECT_EQ(FormatCompletionSummary(60000, 0), u"耗时：1 分 0 秒，平均速度：0 字节/秒");
    EXPECT_EQ(FormatCompletionSummary(3723000, 3723ull << 30), u"耗时：1 小时 2 分 3 秒，平均速度：1.00 GB/秒");
}

TEST(ProgressText, SpeedOnlyWhileHashingAfterHalfASecond) {
    EXPECT_EQ(FormatProgressText(false, 0, 0), u"正在枚举文件，已用时：0 秒");
    EXPECT_EQ(FormatProgressText(false, 5000, 99), u"正在枚举文件，已用时：5 秒");
    EXPECT_EQ(FormatProgressText(true, 500, 1536), u"正在计算文件哈希，已用时：0 秒");
    EXPECT_EQ(FormatProgressText(true, 501, 1536), u"正在计算文件哈希，已用时：0 秒，当前速度：1.50 KB/秒");
    EXPECT_EQ(FormatProgressText(true, 61000, 10 << 20), u"正在计算文件哈希，已用时：1 分 1 秒，当前速度：10.0 MB/秒");
}

TEST(TotalsText, GroupsDigitsAndShowsTheSizeAbove1024) {
    EXPECT_EQ(FormatTotalsText(1, 1024), u"文件总数: 1 个 , 总大小: 1,024 字节");
    EXPECT_EQ(FormatTotalsText(1000, 1025), u"文件总数: 1,000 个 , 总大小: 1,025 字节(1.00 KB)");
    EXPECT_EQ(FormatTotalsText(0, 0), u"文件总数: 0 个 , 总大小: 0 字节");
}

}  // namespace
}  // namespace qm
