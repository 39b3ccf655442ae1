// The results of a verification (see verify_summary.h).
#include "document/verify_summary.h"

#include <algorithm>

#include "common/string_util.h"
#include "common/text_format.h"

namespace qm {

namespace {

// How many unreadable lines the box names one by one; a list broken
// throughout would otherwise make a box taller than the screen.
constexpr size_t kNamedLines = 10;

size_t DigestSizeOf(const CQmQuorviaDoc& doc) { return static_cast<size_t>(std::max(doc.GetDigestSize(), 0)); }

}  // namespace

QmVerifyCounts CountVerifyResults(const CQmQuorviaDoc& doc) {
    QmVerifyCounts counts;
    const size_t digestSize = DigestSizeOf(doc);
    CQmQuorviaItem* batch[100];
    for (size_t start = 0;;) {
        const size_t n = doc.GetItems(start, batch);
        for (size_t i = 0; i < n; ++i) {
            const CQmQuorviaItem& item = *batch[i];
            if (!item.IsSelected() || !item.HasHash()) continue;
            if (!item.IsProcessed() || !item.GetError().empty()) {
                ++counts.failed;
            } else if (item.VerifyMatches(digestSize)) {
                ++counts.correct;
            } else {
                ++counts.mismatched;
            }
        }
        if (n < std::size(batch)) break;
        start += n;
    }
    counts.failed += doc.GetUnreadableLines().size();
    return counts;
}

std::u16string FormatVerifyCounts(const QmVerifyCounts& counts) {
    return FormatText(u"检查结果：正确 %s 个，不一致 %s 个，失败 %s 个", FormatThousands(counts.correct),
                      FormatThousands(counts.mismatched), FormatThousands(counts.failed));
}

bool IsProblemItem(const CQmQuorviaDoc& doc, const CQmQuorviaItem& item) {
    // The error text and the hashes are final once processed is seen.
    if (!item.IsProcessed()) return false;
    if (!item.GetError().empty()) return true;
    return doc.IsVerifyMode() && item.HasHash() && !item.VerifyMatches(DigestSizeOf(doc));
}

std::u16string FormatUnreadableLinesText(std::span<const QmUnreadableLine> lines) {
    if (lines.empty()) return {};
    std::u16string text = FormatText(u"校验列表中有 %s 行无法读取，其中的文件没有载入：",
                                     FormatThousands(lines.size()));
    const size_t named = std::min(lines.size(), kNamedLines);
    for (size_t i = 0; i < named; ++i) {
        text += FormatText(u"\n第 %s 行：%s", FormatThousands(lines[i].line), lines[i].reason);
    }
    if (lines.size() > named) text += FormatText(u"\n还有 %s 行未列出。", FormatThousands(lines.size() - named));
    return text;
}

}  // namespace qm
