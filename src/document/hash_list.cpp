// Hash list files: reading and writing (see hash_list.h).
#include "document/hash_list.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "common/error_record.h"
#include "common/os/path_rules.h"
#include "common/path_util.h"
#include "common/string_util.h"
#include "document/quorvia_doc.h"
#include "document/quorvia_item.h"
#include "document/text_file.h"
#include "engines/hash_catalog.h"
#include "engines/hash_object.h"
#include "engines/hash_text.h"

namespace qm {

namespace {

constexpr std::u16string_view kLinkPrefix = u"115://";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimBlanks(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char16_t LowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }
char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// A path field of a list with both separators ('\\' of lists written on
// Windows, '/' of the others) in the system's own form.
std::u16string WithSlashes(std::u16string_view field) {
    std::u16string path(field);
    for (char16_t& c : path) {
        if (c == u'\\' || c == u'/') c = os::kPathSeparator;
    }
    return path;
}

// A text as the C library's wcstoull reads a count: leading digits, stopping
// at the first other character; a value too large saturates.
uint64_t ParseDecimal(std::u16string_view text) {
    text = TrimBlanks(text);
    uint64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') break;
        const uint64_t digit = static_cast<uint64_t>(c - u'0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return std::numeric_limits<uint64_t>::max();
        value = value * 10 + digit;
    }
    return value;
}

// A "; Hash: name" comment sets the algorithm; any other comment is ignored.
void HandleComment(std::u16string_view comment, CQmQuorviaDoc& target) {
    comment = TrimBlanks(comment);
    const size_t colon = comment.find(u':');
    if (colon == std::u16string_view::npos) return;
    const std::u16string_view key = TrimBlanks(comment.substr(0, colon));
    std::u16string_view value = comment.substr(colon + 1);
    const size_t nextColon = value.find(u':');
    if (nextColon != std::u16string_view::npos) value = value.substr(0, nextColon);
    value = TrimBlanks(value);
    if (!EqualsIgnoringCase(key, u"hash")) return;
    std::u16string name;
    for (char16_t c : value) {
        if (c != u'-') name.push_back(c);
    }
    const int32_t classId = GetHashCatalog().FindByName(name);
    if (classId != 0) target.SetAlgorithm(classId);
}

// The directory of an absolute or relative list path.
std::u16string ListDirectory(std::u16string_view listPath) { return PathRemoveFileSpec(MakeAbsolute(listPath)); }

thread_local size_t g_listErrorLine = 0;

bool FailAtLine(size_t index, std::u16string_view text) {
    SetErrorText(0, text);
    g_listErrorLine = index + 1;
    return false;
}

std::u16string_view SkipBlanks(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

// A line as the reader sees it: up to the first NUL, as that ends every text
// the OS is given.
std::u16string_view LineText(const std::u16string& line) {
    const std::u16string_view text(line);
    return text.substr(0, text.find(u'\0'));
}

// The text of an escaped line after its leading '\'. False for a '\' not
// followed by '\', 'n' or 'r': such a line was not written by an escaping
// tool, and guessing would name another file.
bool DecodeEscapes(std::u16string_view text, std::u16string& decoded) {
    decoded.clear();
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\\') {
            if (++i == text.size()) return false;
            switch (text[i]) {
            case u'\\': c = u'\\'; break;
            case u'n': c = u'\n'; break;
            case u'r': c = u'\r'; break;
            default: return false;
            }
        }
        decoded.push_back(c);
    }
    return true;
}

// Where '\\' may be part of a name (Linux), a name holding one is escaped, or
// it would read back as a separator. Where it is the separator (Windows), only
// a name that begins with it (a share, "\\\\srv\\x") is, or the line would read
// as an escaped one.
bool NeedsEscapes(std::u16string_view name) {
    if (name.find_first_of(u"\n\r") != std::u16string_view::npos) return true;
    if (!os::IsPathSeparator(u'\\')) return name.find(u'\\') != std::u16string_view::npos;
    return !name.empty() && name.front() == u'\\';
}

void AppendEscaped(std::u16string& out, std::u16string_view name) {
    for (char16_t c : name) {
        switch (c) {
        case u'\\': out += u"\\\\"; break;
        case u'\n': out += u"\\n"; break;
        case u'\r': out += u"\\r"; break;
        default: out.push_back(c);
        }
    }
}

bool IsHexField(std::u16string_view field) {
    return !field.empty() && IsHexText(field.data(), static_cast<std::ptrdiff_t>(field.size()), true);
}

// The hash text length of a registered algorithm (twice its digest size;
// CRC32 is eight digits too), 0 for any other id.
size_t HashTextLength(int32_t algorithm) {
    if (!GetHashCatalog().Contains(algorithm)) return 0;
    const std::unique_ptr<CQmHashObject> engine = GetHashCatalog().CreateObject(algorithm);
    return engine ? 2 * static_cast<size_t>(engine->GetHashSize()) : 0;
}

// The fields of one entry line. The views point into the line.
struct EntryFields {
    std::u16string_view hash;
    std::u16string_view path;
    int32_t tagAlgorithm = QM_HASH_NONE;  // set by a BSD tag
};

// After a single blank (a form no common tool writes) a second digest may
// follow the first, as in lines of several digests. Such a line is refused:
// reading the second digest as the start of the name would check no file
// and call the list read.
bool StartsWithDigest(std::u16string_view field) {
    size_t digits = 0;
    while (digits < field.size() && IsHexText(&field[digits], 1, false)) ++digits;
    return digits >= 32 && digits % 2 == 0 && digits < field.size() && IsBlank(field[digits]);
}

// "ALG (name) = hash": the tag before the first " (" (blanks after it are
// padding some tools add), the name up to the last ") = ".
std::u16string_view SplitTagLine(std::u16string_view line, EntryFields& fields) {
    const size_t open = line.find(u" (");
    const size_t close = line.rfind(u") = ");
    if (open == std::u16string_view::npos || close == std::u16string_view::npos || close < open + 2) {
        return kInvalidHashText;
    }
    std::u16string_view tag = line.substr(0, open);
    while (!tag.empty() && IsBlank(tag.back())) tag.remove_suffix(1);
    std::u16string name;
    for (char16_t c : tag) {
        const bool alnum = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
        if (!alnum && c != u'-') return kInvalidHashText;
        if (c != u'-') name.push_back(c);
    }
    if (name.empty()) return kInvalidHashText;
    fields.path = line.substr(open + 2, close - open - 2);
    fields.hash = line.substr(close + 4);
    if (fields.path.empty()) return kUnknownFormatText;
    if (!IsHexField(fields.hash)) return kInvalidHashText;
    fields.tagAlgorithm = GetHashCatalog().FindByName(name);
    if (fields.tagAlgorithm == QM_HASH_NONE) return kUnsupportedAlgorithmText;
    return {};
}

// A hash-first line, or else a tag line. Returns the failure text, empty
// when the line is an entry.
std::u16string_view SplitHashLine(std::u16string_view line, EntryFields& fields) {
    const size_t end = line.find_first_of(u" \t*");
    if (end == std::u16string_view::npos) return kUnknownFormatText;
    const std::u16string_view hash = line.substr(0, end);
    if (!IsHexField(hash)) return SplitTagLine(line, fields);
    fields.hash = hash;
    std::u16string_view rest = line.substr(end);
    const std::u16string_view separator = rest.substr(0, 2);
    if (separator == u"\t\t" || separator == u"  " || separator == u" *") {
        // Our own lines, and the common tools' text and binary modes: the
        // name is all that follows, whatever it begins or ends with.
        fields.path = rest.substr(2);
    } else {
        while (!rest.empty() && (IsBlank(rest.front()) || rest.front() == u'*')) rest.remove_prefix(1);
        if (StartsWithDigest(rest)) return kUnknownFormatText;
        fields.path = rest;
    }
    if (fields.path.empty()) return kUnknownFormatText;
    return {};
}

// A line in the program's own layout: the hash, two tabs, the name.
bool IsOwnListLine(std::u16string_view line) {
    const size_t tabs = line.find(u"\t\t");
    return tabs != std::u16string_view::npos && tabs > 0 && IsHexField(line.substr(0, tabs));
}

// "name CRC32": the name is everything before the last space.
std::u16string_view SplitSfvLine(std::u16string_view line, EntryFields& fields) {
    const size_t space = line.rfind(u' ');
    if (space == std::u16string_view::npos || space == 0) return kUnknownFormatText;
    fields.path = line.substr(0, space);
    fields.hash = line.substr(space + 1);
    if (!IsHexField(fields.hash)) return kInvalidHashText;
    return {};
}

}  // namespace

bool IsLinkList(std::span<const std::u16string> lines) {
    return std::all_of(lines.begin(), lines.end(), [](const std::u16string& line) {
        std::u16string_view text = SkipBlanks(line);
        if (!text.empty() && text.front() == u'\\') text.remove_prefix(1);
        return text.empty() || text.substr(0, kLinkPrefix.size()) == kLinkPrefix;
    });
}

bool ParseHashLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target, ListLineForm form) {
    const std::u16string root = target.GetRootDir();
    // Each entry's line and hash length, to check them against the
    // algorithm the whole list ends with: a comment or tag may come late.
    struct ReadEntry {
        size_t index;
        size_t hashLength;
    };
    std::vector<ReadEntry> entries;
    int32_t lengthAlgorithm = -1;
    size_t expectedLength = 0;
    std::u16string decoded;
    for (size_t index = 0; index < lines.size(); ++index) {
        std::u16string_view line = LineText(lines[index]);
        const std::u16string_view start = SkipBlanks(line);
        if (start.empty()) continue;
        if (start.front() == u';') {
            HandleComment(start.substr(1), target);
            continue;
        }
        bool escaped = false;
        if (start.front() == u'\\') {
            if (!DecodeEscapes(start.substr(1), decoded)) return FailAtLine(index, kUnknownFormatText);
            line = decoded;
            escaped = true;
        } else if (form == ListLineForm::Hash) {
            line = start;
        }
        // An SFV line keeps its leading blanks: they begin the name. A list
        // the program saved under an .sfv name holds its own lines, which
        // must read back as they were written.
        EntryFields fields;
        const std::u16string_view failure = form == ListLineForm::Sfv && !IsOwnListLine(line)
                                                 ? SplitSfvLine(line, fields)
                                                 : SplitHashLine(line, fields);
        if (!failure.empty()) return FailAtLine(index, failure);
        if (fields.tagAlgorithm != QM_HASH_NONE && fields.tagAlgorithm != target.GetAlgorithm()) {
            // The document holds one algorithm: a tag sets it only before
            // any entry was read with another one.
            if (!entries.empty()) return FailAtLine(index, kUnsupportedAlgorithmText);
            target.SetAlgorithm(fields.tagAlgorithm);
        }
        const int32_t algorithm = target.GetAlgorithm();
        if (algorithm != lengthAlgorithm) {
            lengthAlgorithm = algorithm;
            expectedLength = HashTextLength(algorithm);
        }
        if (expectedLength != 0 && fields.hash.size() != expectedLength) return FailAtLine(index, kInvalidHashText);
        const std::u16string path = PathCombine(root, escaped ? std::u16string(fields.path) : WithSlashes(fields.path));
        const uint64_t size = PathFileExists(path) ? kUnknownFileSize : 0;
        std::unique_ptr<CQmQuorviaItem> item = CQmQuorviaItem::CreateItem(path, size, 0);
        if (!item) continue;
        item->SetHashText(fields.hash, algorithm);
        target.AppendItem(std::move(item));
        entries.push_back({index, fields.hash.size()});
    }
    const size_t finalLength = HashTextLength(target.GetAlgorithm());
    if (finalLength != 0) {
        for (const ReadEntry& entry : entries) {
            if (entry.hashLength != finalLength) return FailAtLine(entry.index, kInvalidHashText);
        }
    }
    return true;
}

bool ParseLinkLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target) {
    const std::u16string root = target.GetRootDir();
    std::vector<std::u16string_view> fields;
    std::u16string decoded;
    for (size_t index = 0; index < lines.size(); ++index) {
        std::u16string_view line = SkipBlanks(LineText(lines[index]));
        const bool escaped = !line.empty() && line.front() == u'\\';
        if (escaped) {
            if (!DecodeEscapes(line.substr(1), decoded)) return FailAtLine(index, kUnknownFormatText);
            line = decoded;
        }
        if (line.substr(0, kLinkPrefix.size()) != kLinkPrefix) continue;
        line.remove_prefix(kLinkPrefix.size());
        fields.clear();
        // Fields as SplitText makes them: a trailing empty field is dropped.
        size_t start = 0;
        for (;;) {
            const size_t bar = line.find(u'|', start);
            if (bar == std::u16string_view::npos) {
                if (start < line.size()) fields.push_back(line.substr(start));
                break;
            }
            fields.push_back(line.substr(start, bar - start));
            start = bar + 1;
        }
        if (fields.size() < 4) continue;
        auto component = [escaped](std::u16string_view field) {
            return escaped ? std::u16string(field) : WithSlashes(field);
        };
        // The directory fields and the name are joined first and normalised
        // once: normalising after each field would make a line of many
        // fields take time quadratic in its length. Each field is a
        // component below what comes before, even with a leading '/'.
        std::u16string joined = root;
        auto append = [&joined](std::u16string_view part) {
            while (!part.empty() && os::IsPathSeparator(part.front())) part.remove_prefix(1);
            if (part.empty()) return;
            if (!joined.empty()) joined += os::kPathSeparator;
            joined += part;
        };
        for (size_t i = 4; i < fields.size(); ++i) append(component(fields[i]));
        append(component(fields[0]));
        const std::u16string path = NormalizePath(joined);
        std::unique_ptr<CQmQuorviaItem> item = CQmQuorviaItem::CreateItem(path, ParseDecimal(fields[1]), 0);
        if (!item) continue;
        item->SetError({});
        std::u16string hash(fields[2]);
        hash.append(fields[3]);
        item->SetHashText(hash, QM_HASH_115);
        target.AppendItem(std::move(item));
    }
    target.SetAlgorithm(QM_HASH_115);
    return true;
}

bool ParseListLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target, ListLineForm form) {
    g_listErrorLine = 0;
    if (form == ListLineForm::Sfv) return ParseHashLines(lines, target, form);
    return IsLinkList(lines) ? ParseLinkLines(lines, target) : ParseHashLines(lines, target);
}

size_t GetListErrorLine() { return g_listErrorLine; }

int32_t AlgorithmFromListName(std::u16string_view listPath) {
    struct NameAlgorithm {
        std::u16string_view name;
        int32_t algorithm;
    };
    static constexpr NameAlgorithm kExtensions[] = {
        {u".md4", QM_HASH_MD4},       {u".md5", QM_HASH_MD5},       {u".sha1", QM_HASH_SHA1},
        {u".sha256", QM_HASH_SHA256}, {u".sha384", QM_HASH_SHA384}, {u".sha512", QM_HASH_SHA512},
        {u".sfv", QM_HASH_CRC32},
    };
    static constexpr NameAlgorithm kNames[] = {
        {u"MD5SUMS", QM_HASH_MD5},       {u"SHA1SUMS", QM_HASH_SHA1},     {u"SHA256SUMS", QM_HASH_SHA256},
        {u"SHA384SUMS", QM_HASH_SHA384}, {u"SHA512SUMS", QM_HASH_SHA512},
    };
    const std::u16string_view ext = PathFindExtension(listPath);
    for (const NameAlgorithm& entry : kExtensions) {
        if (EqualsIgnoringCase(ext, entry.name)) return entry.algorithm;
    }
    const std::u16string_view name = PathFindFileName(listPath);
    for (const NameAlgorithm& entry : kNames) {
        if (EqualsIgnoringCase(name, entry.name)) return entry.algorithm;
    }
    return QM_HASH_NONE;
}

bool IsSfvListName(std::u16string_view listPath) { return EqualsIgnoringCase(PathFindExtension(listPath), u".sfv"); }

bool ListHasHeader(std::u16string_view listPath, int32_t algorithm) {
    const std::u16string_view ext = PathFindExtension(listPath);
    const bool bareName = EqualsIgnoringCase(ext, u".md5") || EqualsIgnoringCase(ext, u".sha1");
    return !bareName || AlgorithmFromListName(listPath) != algorithm;
}

std::u16string ListDisplayPath(std::u16string_view path, std::u16string_view baseDir) {
    const std::optional<std::u16string_view> relative = GetRelativePath(path, baseDir);
    if (!relative || relative->empty()) return std::u16string(path);
    return std::u16string(*relative);
}

namespace {

enum class LineStyle { List, Sum, Bsd, Sfv };

char16_t LowerHex(char16_t c) { return LowerAscii(c); }

// One line per entry with a digest, in document order; a name that cannot
// stand as it is makes the line an escaped one.
std::u16string ComposeEntryLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir, LineStyle style) {
    const int32_t algorithm = doc.GetAlgorithm();
    std::u16string tag;
    if (style == LineStyle::Bsd) {
        const int index = GetHashCatalog().Contains(algorithm) ? GetHashCatalog().IndexOf(algorithm) : -1;
        if (const HashClassEntry* entry = GetHashCatalog().GetAt(index)) tag = entry->name;
        for (char16_t& c : tag) c = UpperAscii(c);
    }
    const std::u16string_view lineEnd = style == LineStyle::List ? u"\r\n" : u"\n";
    const uint32_t digestSize = static_cast<uint32_t>(std::clamp<int32_t>(doc.GetDigestSize(), 0, QM_MAX_DIGEST_SIZE));
    std::u16string text;
    std::u16string hashText;
    const size_t count = doc.GetItemCount();
    for (size_t i = 0; i < count; ++i) {
        const CQmQuorviaItem* item = doc.GetItemAt(i);
        if (!item || !item->HasHash()) continue;
        if (!GetHashValueText(algorithm, item->GetHash(), digestSize, hashText)) hashText.clear();
        if (style == LineStyle::Sum || style == LineStyle::Bsd) {
            std::transform(hashText.begin(), hashText.end(), hashText.begin(), LowerHex);
        }
        const std::u16string name = ListDisplayPath(item->GetPath(), baseDir);
        bool escape = NeedsEscapes(name);
        // An SFV name first on its line must not look like a comment.
        if (style == LineStyle::Sfv) escape |= !SkipBlanks(name).empty() && SkipBlanks(name).front() == u';';
        if (escape) text += u'\\';
        auto appendName = [&] {
            if (escape) {
                AppendEscaped(text, name);
            } else {
                text += name;
            }
        };
        switch (style) {
        case LineStyle::List:
            text += hashText;
            text += u"\t\t";
            appendName();
            break;
        case LineStyle::Sum:
            text += hashText;
            text += u"  ";
            appendName();
            break;
        case LineStyle::Bsd:
            text += tag;
            text += u" (";
            appendName();
            text += u") = ";
            text += hashText;
            break;
        case LineStyle::Sfv:
            appendName();
            text += u' ';
            text += hashText;
            break;
        }
        text += lineEnd;
    }
    return text;
}

}  // namespace

std::u16string ComposeHashLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir, bool withHeader) {
    std::u16string text;
    if (withHeader) {
        std::u16string name;
        const int index = GetHashCatalog().Contains(doc.GetAlgorithm()) ? GetHashCatalog().IndexOf(doc.GetAlgorithm()) : -1;
        if (const HashClassEntry* entry = GetHashCatalog().GetAt(index)) name = entry->name;
        for (char16_t& c : name) c = UpperAscii(c);
        text += u"; Hash: ";
        text += name;
        text += u"\r\n\r\n";
    }
    text += ComposeEntryLines(doc, baseDir, LineStyle::List);
    return text;
}

std::u16string ComposeSumLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir) {
    return ComposeEntryLines(doc, baseDir, LineStyle::Sum);
}

std::u16string ComposeBsdLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir) {
    return ComposeEntryLines(doc, baseDir, LineStyle::Bsd);
}

std::u16string ComposeSfvLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir) {
    return ComposeEntryLines(doc, baseDir, LineStyle::Sfv);
}

namespace {

std::vector<std::u16string_view> Components(std::u16string_view path) {
    std::vector<std::u16string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = start;
        while (slash < path.size() && !os::IsPathSeparator(path[slash])) ++slash;
        if (slash >= path.size()) slash = std::u16string_view::npos;
        const size_t end = slash == std::u16string_view::npos ? path.size() : slash;
        if (end > start) parts.push_back(path.substr(start, end - start));
        if (slash == std::u16string_view::npos) break;
        start = slash + 1;
    }
    return parts;
}

// The directories leading from `baseDir` to `dir` (both absolute and
// normalised): the names below `baseDir`, or ".." up to the deepest common
// directory and the names down from there.
std::vector<std::u16string> DirectoryRoute(std::u16string_view dir, std::u16string_view baseDir) {
    const std::vector<std::u16string_view> to = Components(dir);
    const std::vector<std::u16string_view> from = Components(baseDir);
    size_t common = 0;
    while (common < to.size() && common < from.size() && os::PathTextEqual(to[common], from[common])) ++common;
    std::vector<std::u16string> route;
    for (size_t i = common; i < from.size(); ++i) route.emplace_back(u"..");
    for (size_t i = common; i < to.size(); ++i) route.emplace_back(to[i]);
    return route;
}

}  // namespace

std::u16string ComposeLink115(const CQmQuorviaDoc& doc, const CQmQuorviaItem& item, std::u16string_view baseDir) {
    if (!item.HasHash()) return {};
    const uint32_t digestSize = static_cast<uint32_t>(std::clamp<int32_t>(doc.GetDigestSize(), 0, QM_MAX_DIGEST_SIZE));
    std::u16string hashText;
    if (!GetHashValueText(doc.GetAlgorithm(), item.GetHash(), digestSize, hashText)) hashText.clear();
    const std::u16string& path = item.GetPath();
    std::u16string link = FormatText(u"115://%s|%llu|%s", PathFindFileName(path), item.GetLength(), hashText);
    for (const std::u16string& dir : DirectoryRoute(PathRemoveFileSpec(path), baseDir)) {
        link += u'|';
        link += dir;
    }
    return link;
}

std::u16string ComposeLinkLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir) {
    std::u16string text;
    const size_t count = doc.GetItemCount();
    for (size_t i = 0; i < count; ++i) {
        if (const CQmQuorviaItem* item = doc.GetItemAt(i)) {
            const std::u16string link = ComposeLink115(doc, *item, baseDir);
            if (NeedsEscapes(link)) {
                text += u'\\';
                AppendEscaped(text, link);
            } else {
                text += link;
            }
        }
        text += u"\r\n";
    }
    return text;
}

bool WriteHashLines(const CQmQuorviaDoc& doc, std::u16string_view path, bool withHeader) {
    const std::u16string text = ComposeHashLines(doc, ListDirectory(path), withHeader);
    return WriteTextFile(path, QM_ENC_UTF8, true, text);
}

bool WriteLinkLines(const CQmQuorviaDoc& doc, std::u16string_view path) {
    const std::u16string text = ComposeLinkLines(doc, ListDirectory(path));
    return WriteTextFile(path, QM_ENC_UTF8, true, text);
}

bool WriteListFile(const CQmQuorviaDoc& doc, std::u16string_view path, ListFormat format) {
    const std::u16string baseDir = ListDirectory(path);
    switch (format) {
    case ListFormat::List:
        return doc.GetAlgorithm() == QM_HASH_115 ? WriteLinkLines(doc, path)
                                                 : WriteHashLines(doc, path, ListHasHeader(path, doc.GetAlgorithm()));
    case ListFormat::Sum:
        return WriteTextFile(path, QM_ENC_UTF8, false, ComposeSumLines(doc, baseDir));
    case ListFormat::Bsd:
        return WriteTextFile(path, QM_ENC_UTF8, false, ComposeBsdLines(doc, baseDir));
    case ListFormat::Sfv:
        return WriteTextFile(path, QM_ENC_UTF8, false, ComposeSfvLines(doc, baseDir));
    }
    return false;
}

bool CQmQuorviaDoc::SaveHashList(const std::u16string* path) {
    if (path) SetListPath(MakeAbsolute(*path));
    const std::u16string listPath = GetListPath();
    if (!WriteListFile(*this, listPath, ListFormat::List)) return false;
    SetModified(false);
    return true;
}

bool CQmQuorviaDoc::LoadHashList(std::u16string_view path) {
    const std::u16string listPath = MakeAbsolute(path);
    // The loader's own document; like every document it stores its
    // algorithm as the saved default when it is destroyed.
    auto loaded = std::make_unique<CQmQuorviaDoc>();
    const int32_t savedAlgorithm = loaded->GetAlgorithm();
    loaded->SetAlgorithm(QM_HASH_NONE);
    loaded->SetRootDir(PathRemoveFileSpec(listPath));
    loaded->SetAlgorithm(AlgorithmFromListName(listPath));
    g_listErrorLine = 0;

    auto fail = [&] {
        Clear();
        // A file that is not a list must not change the user's default
        // algorithm: the loader's document puts back what it read.
        // (Destroying it keeps the recorded reason the load failed.)
        loaded->SetAlgorithm(savedAlgorithm);
        loaded.reset();
        return false;
    };

    std::vector<std::u16string> lines;
    if (!ReadTextLines(listPath, QM_ENC_AUTO, false, lines)) return fail();
    // Lines stay as read: blanks at either end may belong to a name.
    if (!ParseListLines(lines, *loaded, IsSfvListName(listPath) ? ListLineForm::Sfv : ListLineForm::Hash)) {
        return fail();
    }

    Clear();
    const int32_t algorithm = loaded->GetAlgorithm();
    if (!GetHashCatalog().Contains(algorithm)) {
        SetErrorText(0, kUnsupportedAlgorithmText);
        return fail();
    }
    const std::unique_ptr<CQmHashObject> engine = GetHashCatalog().CreateObject(algorithm);
    if (!engine) return fail();

    std::vector<QuorviaItemPtr> items = loaded->TakeItems();
    uint64_t totalBytes = 0;
    for (const QuorviaItemPtr& item : items) {
        totalBytes += item->GetLength();
        item->SetProcessed(true);
    }
    const uint64_t count = items.size();
    AppendItems(items);
    SetFileCount(count);
    SetTotalBytes(totalBytes);
    SetDigestSize(static_cast<int32_t>(engine->GetHashSize()));
    SetRootDir(loaded->GetRootDir());
    SetAlgorithm(algorithm);
    SetListPath(listPath);
    SetModified(false);
    return true;
}

}  // namespace qm
