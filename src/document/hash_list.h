// Hash list files: the hash document as text.
//
// Two layouts. Hash lines, for every algorithm but 115网盘:
//
//     ; Hash: SHA1            (left out when the name says the algorithm)
//                             (an empty line)
//     <hash text>\t\t<path>   (one line per file that has a digest)
//
// and links, for 115网盘 documents: "115://" name "|" size "|" SHA-1 "|"
// SHA-1 of the first 128 KiB, then "|" and each directory below the list's
// directory. Files are written as UTF-8 with a byte-order mark and CR LF line
// ends, and read in whatever encoding they come (byte-order mark, else UTF-8
// when well-formed, else the ANSI code page).
//
// The reader also takes what the everyday checksum tools write, each line by
// its own shape whatever the list is called: "hash  name" and "hash *name",
// "hash name" (one blank, as BSD md5 -r writes), BSD tag lines
// "ALG (name) = hash", OpenSSL's "ALG(name)= hash", SFV lines "name CRC32",
// and 115 links; digests in hexadecimal or, except for CRC32, in base64. The
// path field after two tabs, two spaces or " *" is taken exactly as it
// stands, so that a list never names another file than the one it was
// written for; only CR and LF end a line, and ';' starts a comment only at
// the start of a line. A name holding a backslash, a line feed or a carriage
// return cannot stand in a line as it is: such a line begins with '\' and the
// name holds "\\", "\n" and "\r" instead, as the common tools write it. Only
// there is '\' part of a name; in every other line it separates directories,
// as in lists written on Windows.
//
// A list holds one algorithm. A "; Hash:" comment names it; else the user's
// choice (quorvia-cli verify -a); else the first entry line when it is a tag
// line or a link; else the list's name (.md5, SHA256SUMS, .sfv ...); else,
// when no comment names any algorithm (one the program lacks included), the
// length of the first hash that some algorithm has, when only one has it. A
// list of blank lines is an empty link list. A line that no reading fits, or
// that fits only with another algorithm, is one unreadable line: it is
// reported with its place and reason and the other lines are read. A list
// with unreadable lines and no entry at all fails at its first unreadable
// line.
//
// Paths in a list are relative to the directory that holds it. Reading, '/'
// (and '\' outside escaped lines) separate components and "." and ".."
// resolve. Writing, each path is taken relative to the directory of the file
// being written, with '/': a file outside that directory gets its full path
// in a hash line, and ".." directories in a link, so that the list names the
// same files wherever it is saved.
//
// CQmQuorviaDoc::LoadHashList and SaveHashList are defined with these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/quorvia_doc.h"
#include "engines/hash_object.h"

namespace qm {

inline constexpr std::u16string_view kUnknownFormatText = u"未知的文件格式。";
inline constexpr std::u16string_view kInvalidHashText = u"无效的哈希值。";
inline constexpr std::u16string_view kUnsupportedAlgorithmText = u"不支持的算法类型。";
// A file whose name has no UTF-8 form (bytes that are not UTF-8 on Linux,
// an unpaired surrogate on Windows): a list could only name it wrongly.
inline constexpr std::u16string_view kUnwritableNameText = u"文件名含有无效的字符编码，无法写入校验列表。";

// What decides a list's algorithm besides its lines.
struct ListReadHints {
    // The user's word (quorvia-cli verify -a): below a "; Hash:" comment,
    // above everything else.
    int32_t givenAlgorithm = QM_HASH_NONE;
    // What the list's name says (AlgorithmFromListName).
    int32_t nameAlgorithm = QM_HASH_NONE;
    // An .sfv name: a line that reads both as SFV and as hash first (a name
    // that looks like a hash) is SFV; elsewhere it is hash first.
    bool sfvName = false;
};
ListReadHints ListReadHintsFor(std::u16string_view listPath, int32_t givenAlgorithm = QM_HASH_NONE);

// Appends one entry to `target` per line that reads with the list's
// algorithm, resolving paths against the target's root directory, and sets
// the target's algorithm. Each line that does not read goes to `unreadable`
// (in line order) with "未知的文件格式。", "无效的哈希值。" or
// "不支持的算法类型。". Fails (nothing appended, the reason recorded) when
// lines are unreadable and none reads: with the first unreadable line's
// reason and place (GetListErrorLine); or when entries are there but their
// algorithm cannot be settled: "不支持的算法类型。" without a place. A list
// without any entry line is empty and succeeds. Link lines with fewer than
// four fields are passed over in silence, as links always were. `lines` are
// as read: blank lines are skipped, and nothing but a NUL cuts a line short.
bool ParseListLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target, const ListReadHints& hints,
                    std::vector<QmUnreadableLine>& unreadable);

// The 1-based line at which the last load or parse of this thread failed; 0
// when it succeeded or failed elsewhere (the file could not be read, no
// usable algorithm). The recorded reason stays the text alone, as the window
// shows it; the command line puts the place before it.
size_t GetListErrorLine();

// When the last load or parse of this thread failed because no comment, name
// or choice gave the algorithm and the hash length that would have fits
// several (32 digits: MD2, MD4, MD5): that length; else 0.
size_t GetListUndecidedLength();
// The registered algorithms whose hash text has `length` hexadecimal digits,
// in catalogue order (115网盘 has none).
std::vector<int32_t> AlgorithmsWithHashTextLength(size_t length);

// The algorithm a list's name gives when no "; Hash:" comment sets one
// (ignoring case): the extensions .md4, .md5, .sha1, .sha256, .sha384,
// .sha512, .sfv and .crc32 (CRC32), and the names MD5SUMS, SHA1SUMS, SHA256SUMS,
// SHA384SUMS and SHA512SUMS. QM_HASH_NONE for every other name.
int32_t AlgorithmFromListName(std::u16string_view listPath);
// True for ".sfv" names (ignoring case): their lines are read as SFV.
bool IsSfvListName(std::u16string_view listPath);

// False when the list's name is ".md5" or ".sha1" and says `algorithm`: the
// reader takes the algorithm from the name then. Every other list carries the
// "; Hash:" header.
bool ListHasHeader(std::u16string_view listPath, int32_t algorithm);

// The text of a list written into the directory `baseDir` (absolute), without
// the byte-order mark.
std::u16string ComposeHashLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir, bool withHeader);
std::u16string ComposeLinkLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir);
// One entry's link as a list in `baseDir` writes it, unescaped (as the window
// copies it); empty without a digest.
std::u16string ComposeLink115(const CQmQuorviaDoc& doc, const CQmQuorviaItem& item, std::u16string_view baseDir);

// The layouts other tools read, LF line ends, no header:
//   Sum  "hash  name" with a lower-case hash, as md5sum, sha1sum, sha256sum,
//        sha384sum and sha512sum write and check them;
//   Bsd  "ALG (name) = hash" (the algorithm's name in upper case, the hash in
//        lower case), for every algorithm but 115网盘;
//   Sfv  "name HASH" with the upper-case CRC32.
// Names are escaped as in every list. The algorithm is the caller's choice.
enum class ListFormat { List, Sum, Bsd, Sfv };
std::u16string ComposeSumLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir);
std::u16string ComposeBsdLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir);
std::u16string ComposeSfvLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir);

// False, with "NAME: 文件名含有无效的字符编码，无法写入校验列表。"
// recorded, when an entry with a digest has a name, as a list in `baseDir`
// writes it, that has no UTF-8 form; the writers below refuse such a list
// rather than write a name that names another file or none.
bool CheckListNames(const CQmQuorviaDoc& doc, std::u16string_view baseDir);

// Write the list file `path` (UTF-8 with byte-order mark). The old file is
// replaced only once the new one is completely written.
bool WriteHashLines(const CQmQuorviaDoc& doc, std::u16string_view path, bool withHeader);
bool WriteLinkLines(const CQmQuorviaDoc& doc, std::u16string_view path);
// Writes `path` in one of the other tools' formats (UTF-8 without byte-order
// mark), paths relative to its directory; ListFormat::List is WriteHashLines
// or WriteLinkLines as the document's algorithm asks, header as
// ListHasHeader says.
bool WriteListFile(const CQmQuorviaDoc& doc, std::u16string_view path, ListFormat format);

// How a path of a list is shown to the user: relative to `baseDir` when the
// file lies below it, else in full.
std::u16string ListDisplayPath(std::u16string_view path, std::u16string_view baseDir);

}  // namespace qm
