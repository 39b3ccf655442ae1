// Hash list files: reading and writing (see hash_list.h).
#include "document/hash_list.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "common/error_record.h"
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

// A path field of a list with both separators taken as '/'.
std::u16string WithSlashes(std::u16string_view field) {
    std::u16string path(field);
    std::replace(path.begin(), path.end(), u'\\', u'/');
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

}  // namespace

bool IsLinkList(std::span<const std::u16string> lines) {
    return std::all_of(lines.begin(), lines.end(), [](const std::u16string& line) {
        return line.empty() || std::u16string_view(line).substr(0, kLinkPrefix.size()) == kLinkPrefix;
    });
}

bool ParseHashLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target) {
    const std::u16string root = target.GetRootDir();
    for (const std::u16string& fullLine : lines) {
        // A NUL ends the line, as it ends every text the OS is given.
        std::u16string_view line(fullLine);
        line = line.substr(0, line.find(u'\0'));
        while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
        const size_t semicolon = line.find(u';');
        if (semicolon != std::u16string_view::npos) {
            HandleComment(line.substr(semicolon + 1), target);
            line = line.substr(0, semicolon);
        }
        if (line.empty()) continue;
        const size_t separator = line.find_first_of(u" \t*");
        if (separator == std::u16string_view::npos) {
            SetErrorText(0, kUnknownFormatText);
            return false;
        }
        const std::u16string_view hash = line.substr(0, separator);
        // A line that starts with "*" has no hash at all, which is not an
        // even number of digits worth storing.
        if (hash.empty() || !IsHexText(hash.data(), static_cast<std::ptrdiff_t>(hash.size()), true)) {
            SetErrorText(0, kInvalidHashText);
            return false;
        }
        std::u16string_view field = line.substr(separator);
        while (!field.empty() && (IsBlank(field.front()) || field.front() == u'*')) field.remove_prefix(1);
        const std::u16string path = PathCombine(root, WithSlashes(field));
        const uint64_t size = PathFileExists(path) ? kUnknownFileSize : 0;
        std::unique_ptr<CQmQuorviaItem> item = CQmQuorviaItem::CreateItem(path, size, 0);
        if (!item) continue;
        item->SetHashText(hash, target.GetAlgorithm());
        target.AppendItem(std::move(item));
    }
    return true;
}

bool ParseLinkLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target) {
    const std::u16string root = target.GetRootDir();
    std::vector<std::u16string_view> fields;
    for (const std::u16string& fullLine : lines) {
        std::u16string_view line(fullLine);
        line = line.substr(0, line.find(u'\0'));
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
        std::u16string path = root;
        for (size_t i = 4; i < fields.size(); ++i) PathAppend(path, WithSlashes(fields[i]));
        PathAppend(path, WithSlashes(fields[0]));
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

bool ParseListLines(std::span<const std::u16string> lines, CQmQuorviaDoc& target) {
    return IsLinkList(lines) ? ParseLinkLines(lines, target) : ParseHashLines(lines, target);
}

bool ListHasHeader(std::u16string_view listPath) {
    const std::u16string_view ext = PathFindExtension(listPath);
    return !EqualsIgnoringCase(ext, u".md5") && !EqualsIgnoringCase(ext, u".sha1");
}

std::u16string ListDisplayPath(std::u16string_view path, std::u16string_view baseDir) {
    const std::optional<std::u16string_view> relative = GetRelativePath(path, baseDir);
    if (!relative || relative->empty()) return std::u16string(path);
    return std::u16string(*relative);
}

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
    const uint32_t digestSize = static_cast<uint32_t>(std::clamp<int32_t>(doc.GetDigestSize(), 0, QM_MAX_DIGEST_SIZE));
    std::u16string hashText;
    const size_t count = doc.GetItemCount();
    for (size_t i = 0; i < count; ++i) {
        const CQmQuorviaItem* item = doc.GetItemAt(i);
        if (!item || !item->HasHash()) continue;
        if (!GetHashValueText(doc.GetAlgorithm(), item->GetHash(), digestSize, hashText)) hashText.clear();
        text += hashText;
        text += u"\t\t";
        text += ListDisplayPath(item->GetPath(), baseDir);
        text += u"\r\n";
    }
    return text;
}

namespace {

std::vector<std::u16string_view> Components(std::u16string_view path) {
    std::vector<std::u16string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = path.find(u'/', start);
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
    while (common < to.size() && common < from.size() && to[common] == from[common]) ++common;
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
        if (const CQmQuorviaItem* item = doc.GetItemAt(i)) text += ComposeLink115(doc, *item, baseDir);
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

bool CQmQuorviaDoc::SaveHashList(const std::u16string* path) {
    if (path) SetListPath(MakeAbsolute(*path));
    const std::u16string listPath = GetListPath();
    const bool written = GetAlgorithm() == QM_HASH_115 ? WriteLinkLines(*this, listPath)
                                                       : WriteHashLines(*this, listPath, ListHasHeader(listPath));
    if (!written) return false;
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
    const std::u16string_view ext = PathFindExtension(listPath);
    if (EqualsIgnoringCase(ext, u".md5")) loaded->SetAlgorithm(QM_HASH_MD5);
    if (EqualsIgnoringCase(ext, u".sha1")) loaded->SetAlgorithm(QM_HASH_SHA1);

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
    TrimLines(lines);
    if (!ParseListLines(lines, *loaded)) return fail();

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
