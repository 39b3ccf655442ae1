// Whole-file input and output.
//
// The text-file layer reads hash lists and the settings store reads its file
// through ReadWholeFile; both write through WriteWholeFile. Failures are
// recorded in the calling thread's error record with the path the caller
// gave, and false is returned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qm {

// Reads the whole file. On success `buffer` holds the `bytesRead` bytes read
// (the file's size when it was opened; fewer only if it shrank meanwhile).
// On failure `buffer` is empty and the text is one of "打开文件 %s 失败",
// "获取文件 %s 大小失败", "文件 %s 超过最大限制" (a file larger than
// `sizeLimit`), "读取文件 %s 时分配内存失败" or "读取文件 %s 失败" (also for a
// directory).
bool ReadWholeFile(std::u16string_view path, std::vector<uint8_t>& buffer, size_t& bytesRead, uint64_t sizeLimit);

// Writes block 1 and then block 2 (a null or empty block is skipped) as the
// new content of `path`.
//
// A regular file is never truncated in place: the data goes to a new file in
// the same directory, which is flushed to disk and then renamed over the
// target, so a failed write (a full disk, an I/O error) leaves the previous
// content intact. A replaced file keeps its permission bits; a new one gets
// 0666 less the umask. A file the user may not write to is not replaced. A
// symbolic link is followed and the file it names is replaced, so the link
// survives. A target that is not a regular file (a device such as
// /dev/null) is written directly, and so is a writable file in a directory
// that refuses new entries; such a file first gets the whole new size
// reserved, so a full disk fails the write with its old content intact.
// On Windows the permission bits are the file's attribute flags (hidden,
// system, archive), which the replacement keeps; a read-only file is not
// replaced, and a device path (\\.\...) is written directly.
//
// Failure texts: "创建文件 %s 失败" when the file cannot be created (no such
// directory, a directory as target), "写入文件 %s 失败" when writing,
// flushing, closing or the final rename fails.
bool WriteWholeFile(std::u16string_view path, const void* data1, size_t size1, const void* data2, size_t size2);

}  // namespace qm
