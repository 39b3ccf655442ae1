// The status texts of a task, shared by the main window and the command-line
// program: the progress of a run, the completion summary and the totals.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

// The one-second progress text: "正在枚举文件，已用时：3 秒" while enumerating,
// "正在计算文件哈希，已用时：3 秒，当前速度：120 MB/秒" while hashing. The speed
// is shown once more than half a second has passed; it is `intervalBytes`,
// what the hasher did since the previous tick, taken as the rate per second.
// An elapsed time of 0 counts as 10 ms.
std::u16string FormatProgressText(bool hashing, uint64_t elapsedMs, uint64_t intervalBytes);

// "耗时：1.23 秒，平均速度：850 MB/秒": below a minute the seconds with three
// significant digits, else the duration in units; the average from 200 ms on.
// An elapsed time of 0 counts as 10 ms.
std::u16string FormatCompletionSummary(uint64_t elapsedMs, uint64_t processedBytes);

// "文件总数: 1,000 个 , 总大小: 2,048 字节(2.00 KB)"; the short size only
// above 1024 bytes.
std::u16string FormatTotalsText(uint64_t fileCount, uint64_t totalBytes);

}  // namespace qm
