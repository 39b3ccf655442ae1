// Hash list files: reading and writing (see hash_list.h).
#include "document/hash_list.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <vector>

#include "common/error_record.h"
#include "common/os/path_rules.h"
#include "common/path_util.h"
#include "common/string_util.h"
#include "common/utf.h"
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

// An algorithm's name as lists write it, ignoring case: the catalogue's
// names, with '-' anywhere ("SHA-256"), and the "SHA2-" names of the SHA-2
// family ("SHA2-256", as OpenSSL 3 and newer coreutils tag their lines). 0
// for a name the catalogue lacks.
int32_t AlgorithmFromName(std::u16string_view value) {
    std::u16string name;
    if (value.size() > 5 && EqualsIgnoringCase(value.substr(0, 5), u"SHA2-")) {
        name = u"SHA";
        value.remove_prefix(5);
    }
    for (char16_t c : value) {
        if (c != u'-') name.push_back(c);
    }
    return name.empty() ? QM_HASH_NONE : GetHashCatalog().FindByName(name);
}

// What the comments of a list said of its algorithm.
struct CommentState {
    bool any = false;                     // a comment line of any kind
    bool namedAny = false;                // a "; Hash:" comment, registered or not
    int32_t algorithm = QM_HASH_NONE;     // the last one the catalogue holds
};

// A "; Hash: name" comment names the algorithm; any other comment is ignored.
void HandleComment(std::u16string_view comment, CommentState& state) {
    state.any = true;
    comment = TrimBlanks(comment);
    const size_t colon = comment.find(u':');
    if (colon == std::u16string_view::npos) return;
    const std::u16string_view key = TrimBlanks(comment.substr(0, colon));
    std::u16string_view value = comment.substr(colon + 1);
    const size_t nextColon = value.find(u':');
    if (nextColon != std::u16string_view::npos) value = value.substr(0, nextColon);
    value = TrimBlanks(value);
    if (!EqualsIgnoringCase(key, u"hash")) return;
    state.namedAny = true;
    if (const int32_t classId = AlgorithmFromName(value); classId != QM_HASH_NONE) state.algorithm = classId;
}

// The directory of an absolute or relative list path.
std::u16string ListDirectory(std::u16string_view listPath) { return PathRemoveFileSpec(MakeAbsolute(listPath)); }

thread_local size_t g_listErrorLine = 0;
thread_local size_t g_listUndecidedLength = 0;

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
    // Every line of a list asks. Blocks of sixteen units, with no way out
    // inside and the tests as bits, are what the compiler turns into vector
    // compares at -O2; a plain loop, or one with short-circuit tests, stays
    // one unit at a time.
    const char16_t backslash = os::IsPathSeparator(u'\\') ? u'\n' : u'\\';
    const auto hit = [backslash](char16_t c) {
        return static_cast<unsigned>(c == u'\n') | static_cast<unsigned>(c == u'\r') |
               static_cast<unsigned>(c == backslash);
    };
    constexpr size_t kBlock = 16;
    const char16_t* p = name.data();
    size_t i = 0;
    for (; name.size() - i >= kBlock; i += kBlock) {
        unsigned hits = 0;
        for (size_t k = 0; k < kBlock; ++k) hits |= hit(p[i + k]);
        if (hits != 0) return true;
    }
    unsigned hits = 0;
    for (; i < name.size(); ++i) hits |= hit(p[i]);
    return hits != 0 || (!name.empty() && name.front() == u'\\');
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

int Base64Value(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c - u'A';
    if (c >= u'a' && c <= u'z') return c - u'a' + 26;
    if (c >= u'0' && c <= u'9') return c - u'0' + 52;
    if (c == u'+') return 62;
    if (c == u'/') return 63;
    return -1;
}

// A digest in base64 as coreutils writes it with --base64: groups of four
// characters, the last one padded with '='. The number of bytes it holds,
// 0 when the field is not such a text. A field of hexadecimal digits alone
// is never taken for base64: read as hexadecimal it is what every other tool
// means by it.
size_t Base64Size(std::u16string_view field) {
    if (field.empty() || field.size() % 4 != 0 || IsHexField(field)) return 0;
    size_t padding = 0;
    while (padding < 2 && field[field.size() - 1 - padding] == u'=') ++padding;
    for (size_t i = 0; i + padding < field.size(); ++i) {
        if (Base64Value(field[i]) < 0) return 0;
    }
    return field.size() / 4 * 3 - padding;
}

// The hexadecimal text of a base64 digest of `size` bytes; empty when the
// field holds another number of bytes or bits beyond them.
std::u16string Base64ToHex(std::u16string_view field, size_t size) {
    if (Base64Size(field) != size) return {};
    std::vector<uint8_t> bytes;
    bytes.reserve(size);
    uint32_t bits = 0;
    int count = 0;
    for (char16_t c : field) {
        if (c == u'=') break;
        bits = (bits << 6) | static_cast<uint32_t>(Base64Value(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<uint8_t>(bits >> count));
        }
    }
    // Bits left over past the last byte must be zero, as every encoder
    // writes them; anything else is not the digest the text claims.
    if ((bits & ((1u << count) - 1)) != 0) return {};
    return BytesToHexText(bytes.data(), bytes.size());
}

// The digest size of a registered algorithm, 0 for any other id.
size_t DigestSizeOf(int32_t algorithm) {
    if (!GetHashCatalog().Contains(algorithm)) return 0;
    const std::unique_ptr<CQmHashObject> engine = GetHashCatalog().CreateObject(algorithm);
    return engine ? static_cast<size_t>(engine->GetHashSize()) : 0;
}

// The hash text length of a registered algorithm (twice its digest size;
// CRC32 is eight digits too), 0 for any other id.
size_t HashTextLength(int32_t algorithm) { return 2 * DigestSizeOf(algorithm); }

// After a single blank (a form no common tool writes) a second digest may
// follow the first, as in lines of several digests. Such a line is refused:
// reading the second digest as the start of the name would check no file
// and call the list read.
bool StartsWithDigest(std::u16string_view field) {
    size_t digits = 0;
    while (digits < field.size() && IsHexText(&field[digits], 1, false)) ++digits;
    return digits >= 32 && digits % 2 == 0 && digits < field.size() && IsBlank(field[digits]);
}

// What one line of a list may be, found from its shape alone; which reading
// holds is settled once the list's algorithm is known. The views point into
// the line or into the decoded text of an escaped line.
struct LineReading {
    size_t index = 0;
    bool escaped = false;
    bool link = false;          // a "115://" link; `text` is the line
    bool tagged = false;        // a tag line: `hash` and `path` are its fields
    int32_t tagAlgorithm = QM_HASH_NONE;
    bool ownSeparator = false;  // hash first with two tabs: the program's own line
    std::u16string_view hash;   // hash first or tag; empty when no such reading
    std::u16string_view path;
    std::u16string_view sfvPath;  // "name CRC32"; empty when no such reading
    std::u16string_view sfvHash;
    std::u16string_view text;     // the link, or why no reading fits
    bool HasEntry() const { return link || !hash.empty() || !sfvHash.empty(); }
};

// "ALG (name) = hash" (BSD) or "ALG(name)= hash" (OpenSSL): the tag before
// the first '(' (blanks before it are padding some tools add and make it a
// BSD line), the name up to the last ") = " or ")= ". Returns false when the
// line does not have that shape (`failure` then says why, in the text the
// reader always gave); true for a tag line, whose own fault, if any, is in
// `failure`.
bool SplitTagLine(std::u16string_view line, LineReading& reading, std::u16string_view& failure) {
    failure = kInvalidHashText;
    const size_t open = line.find(u'(');
    if (open == std::u16string_view::npos || open == 0) return false;
    std::u16string_view tag = line.substr(0, open);
    const bool bsd = IsBlank(tag.back());
    while (!tag.empty() && IsBlank(tag.back())) tag.remove_suffix(1);
    const std::u16string_view close = bsd ? u") = " : u")= ";
    const size_t end = line.rfind(close);
    if (tag.empty() || end == std::u16string_view::npos || end < open) return false;
    for (char16_t c : tag) {
        const bool alnum = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
        if (!alnum && c != u'-') return false;
    }
    const std::u16string_view path = line.substr(open + 1, end - open - 1);
    const std::u16string_view hash = line.substr(end + close.size());
    if (path.empty()) {
        failure = kUnknownFormatText;
    } else if (!IsHexField(hash) && Base64Size(hash) == 0) {
        failure = kInvalidHashText;
    } else if (const int32_t algorithm = AlgorithmFromName(tag); algorithm == QM_HASH_NONE) {
        failure = kUnsupportedAlgorithmText;
    } else {
        failure = {};
        reading.tagged = true;
        reading.tagAlgorithm = algorithm;
        reading.hash = hash;
        reading.path = path;
    }
    return true;
}

// The readings of one line that is neither blank nor a comment. `line` has
// its leading blanks skipped (or is the decoded escaped line); `sfvLine`
// keeps them, as they begin an SFV name.
void ReadLine(std::u16string_view line, std::u16string_view sfvLine, LineReading& reading) {
    if (line.substr(0, kLinkPrefix.size()) == kLinkPrefix) {
        reading.link = true;
        reading.text = line;
        return;
    }
    // "name CRC32": the name is everything before the last space.
    if (const size_t space = sfvLine.rfind(u' '); space != std::u16string_view::npos && space > 0) {
        const std::u16string_view crc = sfvLine.substr(space + 1);
        if (crc.size() == 8 && IsHexField(crc)) {
            reading.sfvPath = sfvLine.substr(0, space);
            reading.sfvHash = crc;
        }
    }

    const size_t end = line.find_first_of(u" \t*");
    if (end == std::u16string_view::npos) {
        reading.text = kUnknownFormatText;
        return;
    }
    const std::u16string_view field = line.substr(0, end);
    if (!IsHexField(field)) {
        std::u16string_view failure;
        if (SplitTagLine(line, reading, failure)) {
            // A tag line is nothing else, even when it ends in eight
            // hexadecimal digits.
            reading.sfvPath = {};
            reading.sfvHash = {};
            reading.text = failure;
            return;
        }
        reading.text = failure;
        // Untagged base64 digests come as coreutils writes them, with two
        // blanks or " *": after a single blank, a word of prose would read
        // as one.
        const std::u16string_view after = line.substr(end, 2);
        if (Base64Size(field) == 0 || (after != u"  " && after != u" *")) return;
    }
    std::u16string_view rest = line.substr(end);
    const std::u16string_view separator = rest.substr(0, 2);
    std::u16string_view path;
    if (separator == u"\t\t" || separator == u"  " || separator == u" *") {
        // Our own lines, and the common tools' text and binary modes: the
        // name is all that follows, whatever it begins or ends with.
        path = rest.substr(2);
        reading.ownSeparator = separator == u"\t\t";
    } else {
        while (!rest.empty() && (IsBlank(rest.front()) || rest.front() == u'*')) rest.remove_prefix(1);
        if (StartsWithDigest(rest)) {
            reading.text = kUnknownFormatText;
            return;
        }
        path = rest;
    }
    if (path.empty()) {
        reading.text = kUnknownFormatText;
        return;
    }
    reading.hash = field;
    reading.path = path;
}

// The list's algorithm when nothing but its entries can say: the one
// algorithm whose digest has the length of the first hash that some
// algorithm has, or CRC32 for an SFV line. QM_HASH_NONE when that length
// fits several (the length is then kept for GetListUndecidedLength) or no
// entry fits any.
int32_t AlgorithmFromShape(std::span<const LineReading> readings) {
    struct Candidate {
        int32_t id;
        size_t digestSize;
    };
    std::vector<Candidate> candidates;
    const CQmHashCatalog& catalog = GetHashCatalog();
    for (int i = 0; i < catalog.GetCount(); ++i) {
        const int32_t id = catalog.GetAt(i)->classId;
        if (id != QM_HASH_115) candidates.push_back({id, DigestSizeOf(id)});
    }
    for (const LineReading& reading : readings) {
        if (reading.tagged || reading.link) continue;
        if (!reading.hash.empty()) {
            const bool hex = IsHexField(reading.hash);
            const size_t base64 = hex ? 0 : Base64Size(reading.hash);
            std::vector<int32_t> fitting;
            for (const Candidate& c : candidates) {
                const bool fits = hex ? 2 * c.digestSize == reading.hash.size()
                                      : c.id != QM_HASH_CRC32 && c.digestSize == base64;
                if (fits) fitting.push_back(c.id);
            }
            if (fitting.size() == 1) return fitting.front();
            if (fitting.size() > 1) {
                g_listUndecidedLength = hex ? reading.hash.size() : 0;
                return QM_HASH_NONE;
            }
        }
        if (!reading.sfvHash.empty()) return QM_HASH_CRC32;
    }
    return QM_HASH_NONE;
}

// The entry of one "115://" link (`line` after the prefix); null for a link
// with fewer than four fields, which is passed over.
std::unique_ptr<CQmQuorviaItem> LinkItem(std::u16string_view line, bool escaped, const std::u16string& root) {
    std::vector<std::u16string_view> fields;
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
    if (fields.size() < 4) return nullptr;
    auto component = [escaped](std::u16string_view field) {
        return escaped ? std::u16string(field) : WithSlashes(field);
    };
    // The directory fields and the name are joined first and normalised
    // once: normalising after each field would make a line of many fields
    // take time quadratic in its length. Each field is a component below
    // what comes before, even with a leading '/'.
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
    if (!item) return nullptr;
    item->SetError({});
    std::u16string hash(fields[2]);
    hash.append(fields[3]);
    item->SetHashText(hash, QM_HASH_115);
    return item;
}

}  // namespace

ListReadHints ListReadHintsFor(std::u16string_view listPath, int32_t givenAlgorithm) {
    return {givenAlgorithm, AlgorithmFromListName(listPath), IsSfvListName(listPath)};
}

std::vector<int32_t> AlgorithmsWithHashTextLength(size_t length) {
    std::vector<int32_t> ids;
    const CQmHashCatalog& catalog = GetHashCatalog();
    for (int i = 0; i < catalog.GetCount(); ++i) {
        const int32_t id = catalog.GetAt(i)->classId;
        if (id != QM_HASH_115 && HashTextLength(id) == length) ids.push_back(id);
    }
    return ids;
}

bool ParseListLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target, const ListReadHints& hints,
                    std::vector<QmUnreadableLine>& unreadable) {
    g_listErrorLine = 0;
    g_listUndecidedLength = 0;
    unreadable.clear();

    // First every line's possible readings, so that the algorithm can be
    // settled from the whole list (a comment may come late) before any hash
    // text is converted with it.
    CommentState comments;
    std::vector<LineReading> readings;
    std::deque<std::u16string> decodedLines;  // stable: readings point into them
    std::u16string decoded;
    for (size_t index = 0; index < lines.size(); ++index) {
        const std::u16string_view raw = LineText(lines[index]);
        const std::u16string_view start = SkipBlanks(raw);
        if (start.empty()) continue;
        if (start.front() == u';') {
            HandleComment(start.substr(1), comments);
            continue;
        }
        LineReading& reading = readings.emplace_back();
        reading.index = index;
        if (start.front() == u'\\') {
            reading.escaped = true;
            if (!DecodeEscapes(start.substr(1), decoded)) {
                reading.text = kUnknownFormatText;
                continue;
            }
            const std::u16string_view line = decodedLines.emplace_back(std::move(decoded));
            ReadLine(line, line, reading);
        } else {
            ReadLine(start, raw, reading);
        }
    }

    const auto first =
        std::find_if(readings.begin(), readings.end(), [](const LineReading& r) { return r.HasEntry(); });
    int32_t algorithm = comments.algorithm;
    if (algorithm == QM_HASH_NONE) algorithm = hints.givenAlgorithm;
    // A list of blank lines only is an empty link list, as it always was.
    if (algorithm == QM_HASH_NONE && readings.empty() && !comments.any) algorithm = QM_HASH_115;
    if (algorithm == QM_HASH_NONE && first != readings.end()) {
        if (first->link) algorithm = QM_HASH_115;
        if (first->tagged) algorithm = first->tagAlgorithm;
    }
    if (algorithm == QM_HASH_NONE) algorithm = hints.nameAlgorithm;
    if (algorithm == QM_HASH_NONE && !comments.namedAny) algorithm = AlgorithmFromShape(readings);

    if (algorithm == QM_HASH_NONE && first != readings.end()) {
        // Entries whose hash texts nothing can convert: the list fails as a
        // whole, as it names no algorithm.
        SetErrorText(0, kUnsupportedAlgorithmText);
        return false;
    }

    // Then each line with that algorithm.
    const std::u16string root = target.GetRootDir();
    const size_t digestSize = DigestSizeOf(algorithm);
    const size_t textLength = HashTextLength(algorithm);
    // The hexadecimal text of a digest field, empty when it does not fit the
    // list's algorithm.
    auto digestText = [&](std::u16string_view field) -> std::u16string {
        if (IsHexField(field)) return field.size() == textLength ? std::u16string(field) : std::u16string();
        if (algorithm == QM_HASH_CRC32 || algorithm == QM_HASH_115 || digestSize == 0) return {};
        return Base64ToHex(field, digestSize);
    };
    std::vector<std::unique_ptr<CQmQuorviaItem>> items;
    items.reserve(readings.size());
    bool anyRead = false;
    for (const LineReading& reading : readings) {
        std::u16string_view failure = reading.text;
        std::u16string hash;
        std::u16string_view path;
        if (reading.link) {
            if (algorithm == QM_HASH_115) {
                anyRead = true;
                if (auto item = LinkItem(reading.text.substr(kLinkPrefix.size()), reading.escaped, root)) {
                    items.push_back(std::move(item));
                }
                continue;
            }
            failure = kUnsupportedAlgorithmText;
        } else if (reading.tagged) {
            if (reading.tagAlgorithm != algorithm) {
                failure = kUnsupportedAlgorithmText;
            } else if (hash = digestText(reading.hash); !hash.empty()) {
                path = reading.path;
            } else {
                failure = kInvalidHashText;
            }
        } else if (reading.HasEntry()) {
            std::u16string sfvHash;
            if (!reading.sfvHash.empty() && algorithm == QM_HASH_CRC32) sfvHash = std::u16string(reading.sfvHash);
            if (!reading.hash.empty()) hash = digestText(reading.hash);
            // Both readings fit when the name looks like a hash: the list's
            // name breaks the tie, and the program's own lines never are SFV.
            if (!sfvHash.empty() && (hash.empty() || (hints.sfvName && !reading.ownSeparator))) {
                hash = std::move(sfvHash);
                path = reading.sfvPath;
            } else if (!hash.empty()) {
                path = reading.path;
            } else {
                failure = kInvalidHashText;
            }
        }
        if (path.empty()) {
            unreadable.push_back({reading.index + 1, std::u16string(failure)});
            continue;
        }
        anyRead = true;
        const std::u16string full = PathCombine(root, reading.escaped ? std::u16string(path) : WithSlashes(path));
        const uint64_t size = PathFileExists(full) ? kUnknownFileSize : 0;
        std::unique_ptr<CQmQuorviaItem> item = CQmQuorviaItem::CreateItem(full, size, 0);
        if (!item) continue;
        item->SetHashText(hash, algorithm);
        items.push_back(std::move(item));
    }

    if (!anyRead && !unreadable.empty()) {
        const QmUnreadableLine firstBad = unreadable.front();
        unreadable.clear();
        return FailAtLine(firstBad.line - 1, firstBad.reason);
    }
    target.SetAlgorithm(algorithm);
    for (std::unique_ptr<CQmQuorviaItem>& item : items) target.AppendItem(std::move(item));
    return true;
}

size_t GetListErrorLine() { return g_listErrorLine; }
size_t GetListUndecidedLength() { return g_listUndecidedLength; }

int32_t AlgorithmFromListName(std::u16string_view listPath) {
    struct NameAlgorithm {
        std::u16string_view name;
        int32_t algorithm;
    };
    static constexpr NameAlgorithm kExtensions[] = {
        {u".md4", QM_HASH_MD4},       {u".md5", QM_HASH_MD5},       {u".sha1", QM_HASH_SHA1},
        {u".sha256", QM_HASH_SHA256}, {u".sha384", QM_HASH_SHA384}, {u".sha512", QM_HASH_SHA512},
        {u".sfv", QM_HASH_CRC32},     {u".crc32", QM_HASH_CRC32},
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

namespace {

std::u16string_view DisplayPathView(std::u16string_view path, std::u16string_view baseDir) {
    const std::optional<std::u16string_view> relative = GetRelativePath(path, baseDir);
    if (!relative || relative->empty()) return path;
    return *relative;
}

}  // namespace

std::u16string ListDisplayPath(std::u16string_view path, std::u16string_view baseDir) {
    return std::u16string(DisplayPathView(path, baseDir));
}

namespace {

enum class LineStyle { List, Sum, Bsd, Sfv };

char16_t LowerHex(char16_t c) { return LowerAscii(c); }

// Appends one line per entry with a digest, in document order; a name that
// cannot stand as it is makes the line an escaped one.
void ComposeEntryLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir, LineStyle style, std::u16string& text) {
    const int32_t algorithm = doc.GetAlgorithm();
    std::u16string tag;
    if (style == LineStyle::Bsd) {
        const int index = GetHashCatalog().Contains(algorithm) ? GetHashCatalog().IndexOf(algorithm) : -1;
        if (const HashClassEntry* entry = GetHashCatalog().GetAt(index)) tag = entry->name;
        for (char16_t& c : tag) c = UpperAscii(c);
    }
    const std::u16string_view lineEnd = style == LineStyle::List ? u"\r\n" : u"\n";
    const uint32_t digestSize = static_cast<uint32_t>(std::clamp<int32_t>(doc.GetDigestSize(), 0, QM_MAX_DIGEST_SIZE));
    std::u16string hashText;
    const std::vector<CQmQuorviaItem*> items = doc.GetItems();
    // Room for every line at once: a list of many files is megabytes, and
    // growing it step by step copies it over and over.
    size_t room = text.size();
    for (const CQmQuorviaItem* item : items) {
        if (item->HasHash()) room += item->GetPath().size() + tag.size() + 2 * digestSize + 8;
    }
    text.reserve(room);
    for (const CQmQuorviaItem* item : items) {
        if (!item->HasHash()) continue;
        if (!GetHashValueText(algorithm, item->GetHash(), digestSize, hashText)) hashText.clear();
        if (style == LineStyle::Sum || style == LineStyle::Bsd) {
            std::transform(hashText.begin(), hashText.end(), hashText.begin(), LowerHex);
        }
        const std::u16string_view name = DisplayPathView(item->GetPath(), baseDir);
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
    ComposeEntryLines(doc, baseDir, LineStyle::List, text);
    return text;
}

std::u16string ComposeSumLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir) {
    std::u16string text;
    ComposeEntryLines(doc, baseDir, LineStyle::Sum, text);
    return text;
}

std::u16string ComposeBsdLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir) {
    std::u16string text;
    ComposeEntryLines(doc, baseDir, LineStyle::Bsd, text);
    return text;
}

std::u16string ComposeSfvLines(const CQmQuorviaDoc& doc, std::u16string_view baseDir) {
    std::u16string text;
    ComposeEntryLines(doc, baseDir, LineStyle::Sfv, text);
    return text;
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

bool CheckListNames(const CQmQuorviaDoc& doc, std::u16string_view baseDir) {
    const std::vector<CQmQuorviaItem*> items = doc.GetItems();
    for (const CQmQuorviaItem* item : items) {
        if (!item->HasHash()) continue;
        // The name as a list in `baseDir` holds it: a folder above the list
        // whose own name is not UTF-8 stays out of a list written inside it.
        const std::u16string_view name = DisplayPathView(item->GetPath(), baseDir);
        if (HasUnpairedSurrogate(name)) {
            SetErrorText(0, FormatText(u"%s: %s", name, kUnwritableNameText));
            return false;
        }
    }
    return true;
}

bool WriteHashLines(const CQmQuorviaDoc& doc, std::u16string_view path, bool withHeader) {
    const std::u16string baseDir = ListDirectory(path);
    if (!CheckListNames(doc, baseDir)) return false;
    return WriteTextFile(path, QM_ENC_UTF8, true, ComposeHashLines(doc, baseDir, withHeader));
}

bool WriteLinkLines(const CQmQuorviaDoc& doc, std::u16string_view path) {
    const std::u16string baseDir = ListDirectory(path);
    if (!CheckListNames(doc, baseDir)) return false;
    return WriteTextFile(path, QM_ENC_UTF8, true, ComposeLinkLines(doc, baseDir));
}

bool WriteListFile(const CQmQuorviaDoc& doc, std::u16string_view path, ListFormat format) {
    const std::u16string baseDir = ListDirectory(path);
    switch (format) {
    case ListFormat::List:
        return doc.GetAlgorithm() == QM_HASH_115 ? WriteLinkLines(doc, path)
                                                 : WriteHashLines(doc, path, ListHasHeader(path, doc.GetAlgorithm()));
    case ListFormat::Sum:
        return CheckListNames(doc, baseDir) && WriteTextFile(path, QM_ENC_UTF8, false, ComposeSumLines(doc, baseDir));
    case ListFormat::Bsd:
        return CheckListNames(doc, baseDir) && WriteTextFile(path, QM_ENC_UTF8, false, ComposeBsdLines(doc, baseDir));
    case ListFormat::Sfv:
        return CheckListNames(doc, baseDir) && WriteTextFile(path, QM_ENC_UTF8, false, ComposeSfvLines(doc, baseDir));
    }
    return false;
}

bool CQmQuorviaDoc::SaveHashList(const std::u16string* path) {
    if (path) SetListPath(MakeAbsolute(*path));
    const std::u16string listPath = GetListPath();
    if (!WriteListFile(*this, listPath, ListFormat::List)) return false;
    SetModified(false);
    unreadableLines_.clear();
    return true;
}

bool CQmQuorviaDoc::LoadHashList(std::u16string_view path, int32_t givenAlgorithm) {
    const std::u16string listPath = MakeAbsolute(path);
    g_listErrorLine = 0;
    g_listUndecidedLength = 0;
    std::vector<std::u16string> lines;
    if (!ReadTextLines(listPath, QM_ENC_AUTO, false, lines)) {
        Clear();
        return false;
    }
    return LoadListLines(lines, PathRemoveFileSpec(listPath), listPath, givenAlgorithm);
}

bool CQmQuorviaDoc::LoadHashListData(std::string_view data, std::u16string_view baseDir, int32_t givenAlgorithm) {
    g_listErrorLine = 0;
    g_listUndecidedLength = 0;
    std::u16string text;
    if (!DecodeTextData(data, QM_ENC_AUTO, false, text)) {
        Clear();
        return false;
    }
    std::vector<std::u16string> lines;
    SplitTextLines(text, lines);
    return LoadListLines(lines, MakeAbsolute(baseDir), {}, givenAlgorithm);
}

bool CQmQuorviaDoc::LoadListLines(std::span<const std::u16string> lines, std::u16string_view rootDir,
                                  std::u16string_view listPath, int32_t givenAlgorithm) {
    // The loader's own document; like every document it stores its
    // algorithm as the saved default when it is destroyed.
    auto loaded = std::make_unique<CQmQuorviaDoc>();
    const int32_t savedAlgorithm = loaded->GetAlgorithm();
    loaded->SetAlgorithm(QM_HASH_NONE);
    loaded->SetRootDir(rootDir);

    auto fail = [&] {
        Clear();
        // A file that is not a list must not change the user's default
        // algorithm: the loader's document puts back what it read.
        // (Destroying it keeps the recorded reason the load failed.)
        loaded->SetAlgorithm(savedAlgorithm);
        loaded.reset();
        return false;
    };

    // Lines stay as read: blanks at either end may belong to a name.
    std::vector<QmUnreadableLine> unreadable;
    if (!ParseListLines(lines, *loaded, ListReadHintsFor(listPath, givenAlgorithm), unreadable)) return fail();

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
    unreadableLines_ = std::move(unreadable);
    return true;
}

}  // namespace qm
