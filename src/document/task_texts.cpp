// Status texts of a task (see task_texts.h).
#include "document/task_texts.h"

#include <charconv>
#include <string_view>

#include "common/formatting.h"
#include "common/string_util.h"
#include "common/text_format.h"
#include "common/utf.h"

namespace qm {

std::u16string FormatProgressText(bool hashing, uint64_t elapsedMs, uint64_t intervalBytes) {
    if (elapsedMs == 0) elapsedMs = 10;
    std::u16string text = hashing ? u"正在计算文件哈希" : u"正在枚举文件";
    text += u"，已用时：";
    text += FormatDuration(elapsedMs / 1000);
    if (hashing && elapsedMs > 500) text += FormatText(u"，当前速度：%s/秒", StrFormatByteSize(intervalBytes));
    return text;
}

std::u16string FormatCompletionSummary(uint64_t elapsedMs, uint64_t processedBytes) {
    if (elapsedMs == 0) elapsedMs = 10;
    std::u16string text = u"耗时：";
    if (elapsedMs < 60000) {
        // Three significant digits with a '.', whatever the locale's
        // decimal point ("%.3g" of the C locale).
        char seconds[32];
        const auto result = std::to_chars(seconds, seconds + sizeof seconds, static_cast<double>(elapsedMs) / 1000.0,
                                          std::chars_format::general, 3);
        text += Utf8ToUtf16Lossy(std::string_view(seconds, static_cast<size_t>(result.ptr - seconds)));
        text += u" 秒";
    } else {
        text += FormatDuration(elapsedMs / 1000);
    }
    if (elapsedMs >= 200) {
        const auto average = static_cast<uint64_t>(static_cast<double>(processedBytes) * 1000.0 /
                                                   static_cast<double>(elapsedMs));
        text += FormatText(u"，平均速度：%s/秒", StrFormatByteSize(average));
    }
    return text;
}

std::u16string FormatTotalsText(uint64_t fileCount, uint64_t totalBytes) {
    std::u16string text = FormatText(u"文件总数: %s 个 , 总大小: %s 字节", FormatThousands(fileCount),
                                     FormatThousands(totalBytes));
    if (totalBytes > 1024) text += FormatText(u"(%s)", StrFormatByteSize(totalBytes));
    return text;
}

}  // namespace qm
