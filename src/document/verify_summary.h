// What a verification found, as every front end tells it: the counts of
// correct, changed and failed files, which rows are problems, and the report
// of the lines a loaded list could not read. One implementation, so that the
// windows and quorvia-cli never count differently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "document/quorvia_doc.h"

namespace qm {

// A verified file's result when the new hash equals the stored one.
inline constexpr std::u16string_view kVerifiedText = u"文件检查正确";
// What "next problem" says when there is none.
inline constexpr std::u16string_view kNoProblemText = u"没有不一致或失败的文件。";

struct QmVerifyCounts {
    uint64_t correct = 0;
    uint64_t mismatched = 0;
    // Files that could not be checked, and the lines of the list that could
    // not be read (each stands for a file nobody checked).
    uint64_t failed = 0;
};

// The counts of the last verification of `doc`: every selected item with a
// stored hash took part; one finished with an error text, or not finished
// at all (a run that was stopped), failed; the others are correct or
// mismatched by their hashes. The list's unreadable lines count as failed.
// Read it after the run ended (the item fields are final then).
QmVerifyCounts CountVerifyResults(const CQmQuorviaDoc& doc);

// "检查结果：正确 N 个，不一致 M 个，失败 K 个", numbers with thousands
// separators.
std::u16string FormatVerifyCounts(const QmVerifyCounts& counts);

// True when `item` is a row "next problem" stops at: after a verification
// (verify mode) any finished item whose result is not "文件检查正确" (it
// failed or its hash changed); otherwise a finished item that failed. Items
// that are not finished (waiting, being read, not part of the run) are not
// problems: their texts are not final.
bool IsProblemItem(const CQmQuorviaDoc& doc, const CQmQuorviaItem& item);

// The text of the box that names the lines a list could not read, one line
// each ("第 11 行：未知的文件格式。"), the first ten and then how many more;
// empty when there are none.
std::u16string FormatUnreadableLinesText(std::span<const QmUnreadableLine> lines);

}  // namespace qm
