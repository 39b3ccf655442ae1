// Hash list files: the hash document as text.
//
// Two layouts. Hash lines, for every algorithm but 115网盘:
//
//     ; Hash: SHA1            (left out in .md5 and .sha1 files)
//                             (an empty line)
//     <hash text>\t\t<path>   (one line per file that has a digest)
//
// and links, for 115网盘 documents: "115://" name "|" size "|" SHA-1 "|"
// SHA-1 of the first 128 KiB, then "|" and each directory below the list's
// directory. Files are written as UTF-8 with a byte-order mark and CR LF line
// ends, and read in whatever encoding they come (byte-order mark, else UTF-8
// when well-formed, else the ANSI code page). The reader also takes the lines
// of the common checksum tools ("hash *path", "hash  path").
//
// Paths in a list are relative to the directory that holds it. Reading, '\'
// and '/' both separate components (lists written on Windows open here) and
// "." and ".." resolve. Writing, each path is taken relative to the directory
// of the file being written, with '/': a file outside that directory gets its
// full path in a hash line, and ".." directories in a link, so that the list
// names the same files wherever it is saved.
//
// CQmQuorviaDoc::LoadHashList and SaveHashList are defined with these.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace qm {

class CQmQuorviaDoc;
class CQmQuorviaItem;

inline constexpr std::u16string_view kUnknownFormatText = u"未知的文件格式。";
inline constexpr std::u16string_view kInvalidHashText = u"无效的哈希值。";
inline constexpr std::u16string_view kUnsupportedAlgorithmText = u"不支持的算法类型。";

// Lists whose lines are all empty or begin with "115://" are link lists; an
// empty list is one too.
bool IsLinkList(std::span<const std::u16string> lines);

// Appends one entry to `target` per hash line, resolving paths against the
// target's root directory and converting each hash text with the algorithm
// known when its line is read (a "; Hash: name" comment sets it). Fails at
// the first line with no separator after the hash ("未知的文件格式。") or
// whose hash field is not an even number of hexadecimal digits
// ("无效的哈希值。"). `lines` are trimmed; empty lines are skipped.
bool ParseHashLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target);

// Appends one entry per "115://" line with at least four fields (other lines
// are skipped) and sets the target's algorithm to 115网盘. A listed file that
// does not exist carries no error text.
bool ParseLinkLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target);

// IsLinkList decides between the two parsers.
bool ParseListLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target);

// False for ".md5" and ".sha1" names (compared ignoring case): those lists
// carry no "; Hash:" header, the reader takes the algorithm from the name.
bool ListHasHeader(std::u16string_view listPath);

// The text of a list written into the directory `baseDir` (absolute), without
// the byte-order mark.
std::u16string ComposeHashLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir, bool withHeader);
std::u16string ComposeLinkLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir);
// One entry's link as a list in `baseDir` writes it; empty without a digest.
std::u16string ComposeLink115(const CQmQuorviaDoc& doc, const CQmQuorviaItem& item, std::u16string_view baseDir);

// Write the list file `path` (UTF-8 with byte-order mark). The old file is
// replaced only once the new one is completely written.
bool WriteHashLines(const CQmQuorviaDoc& doc, std::u16string_view path, bool withHeader);
bool WriteLinkLines(const CQmQuorviaDoc& doc, std::u16string_view path);

// How a path of a list is shown to the user: relative to `baseDir` when the
// file lies below it, else in full.
std::u16string ListDisplayPath(std::u16string_view path, std::u16string_view baseDir);

}  // namespace qm
