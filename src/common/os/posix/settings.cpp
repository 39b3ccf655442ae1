#include "common/os/settings.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

#include "common/error_record.h"
#include "common/path_util.h"
#include "common/text_format.h"
#include "common/utf.h"
#include "common/whole_file.h"

namespace qm::os {
namespace {

// A settings file is a few lines; anything this large is not ours.
constexpr uint64_t kMaxSettingsFileSize = 1u << 20;
constexpr size_t kNone = static_cast<size_t>(-1);

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t' || s.front() == u'\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t' || s.back() == u'\r')) s.remove_suffix(1);
    return s;
}

bool IsComment(std::u16string_view trimmed) {
    return !trimmed.empty() && (trimmed.front() == u';' || trimmed.front() == u'#');
}

bool IsSectionHeader(std::u16string_view trimmed) {
    return trimmed.size() >= 2 && trimmed.front() == u'[' && trimmed.back() == u']';
}

// Loads the file as lines. On failure `code` is the reason (an errno value).
bool LoadLines(const std::u16string& path, std::vector<std::u16string>& lines, uint32_t& code,
               std::string* raw = nullptr) {
    lines.clear();
    // A missing file is the common case (a first run) and no error: it must
    // not disturb the thread's error record, since a successful write can
    // run this as late as the process-wide document's destruction at exit.
    struct stat st;
    if (::stat(PathToOs(path).c_str(), &st) != 0) {
        code = static_cast<uint32_t>(errno);
        return false;
    }
    std::vector<uint8_t> data;
    size_t size = 0;
    if (!ReadWholeFile(path, data, size, kMaxSettingsFileSize)) {
        code = GetLastErrorCode();
        if (code == 0) code = EINVAL;  // too large to be a settings file
        return false;
    }
    std::string_view bytes(reinterpret_cast<const char*>(data.data()), size);
    if (raw) raw->assign(bytes);
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const std::u16string text = Utf8ToUtf16Lossy(bytes);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(u'\n', pos);
        if (end == std::u16string::npos) end = text.size();
        std::u16string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    return true;
}

size_t FindSection(const std::vector<std::u16string>& lines, std::u16string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::u16string_view t = Trim(lines[i]);
        if (IsSectionHeader(t) && Trim(t.substr(1, t.size() - 2)) == section) return i;
    }
    return kNone;
}

// The end of the section whose header is at `header`: the next header or the end.
size_t SectionEnd(const std::vector<std::u16string>& lines, size_t header) {
    size_t i = header + 1;
    while (i < lines.size() && !IsSectionHeader(Trim(lines[i]))) ++i;
    return i;
}

// The line of `name` inside the section, and its value text.
size_t FindValue(const std::vector<std::u16string>& lines, size_t header, std::u16string_view name,
                 std::u16string_view* value) {
    const size_t end = SectionEnd(lines, header);
    for (size_t i = header + 1; i < end; ++i) {
        const std::u16string_view t = Trim(lines[i]);
        if (t.empty() || IsComment(t)) continue;
        const size_t eq = t.find(u'=');
        if (eq == std::u16string_view::npos || Trim(t.substr(0, eq)) != name) continue;
        if (value) *value = Trim(t.substr(eq + 1));
        return i;
    }
    return kNone;
}

// Decimal, or hexadecimal with "0x"; a negative number is kept as its 32-bit
// two's complement (the store holds signed ids as well).
bool ParseNumber(std::u16string_view text, uint32_t& out) {
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    uint64_t v = 0;
    for (const char16_t c : text) {
        unsigned digit;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        else return false;
        if (digit >= base) return false;
        v = v * base + digit;
        if (v > 0xFFFFFFFFull) return false;
    }
    if (negative) {
        if (v > 0x80000000ull) return false;
        out = static_cast<uint32_t>(-static_cast<int64_t>(v));
    } else {
        out = static_cast<uint32_t>(v);
    }
    return true;
}

bool IsValidName(std::u16string_view name) {
    if (Trim(name).empty() || Trim(name) != name) return false;
    if (IsComment(name) || name.front() == u'[') return false;
    return name.find_first_of(u"=\r\n") == std::u16string_view::npos;
}

// Rewrites the file with the section present and, when `value` is given,
// `name` set to it. Lines of other sections, comments and unknown lines are
// kept. A file that cannot be read is replaced by a fresh one.
bool StoreValue(const SettingsKey& key, std::u16string_view name, std::optional<uint32_t> value) {
    std::vector<std::u16string> lines;
    uint32_t ignored = 0;
    std::string before;
    bool loaded = LoadLines(key.FilePath(), lines, ignored, &before);
    if (!loaded) lines.clear();
    if (!lines.empty() && lines.back().empty()) lines.pop_back();  // the final line break

    size_t header = FindSection(lines, key.Section());
    if (header == kNone) {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
        header = lines.size();
        lines.push_back(u"[" + key.Section() + u"]");
    }
    if (value) {
        std::u16string line(name);
        line += u'=';
        line += FormatText(u"%u", *value);
        const size_t at = FindValue(lines, header, name, nullptr);
        if (at != kNone) {
            lines[at] = std::move(line);
        } else {
            size_t insert = SectionEnd(lines, header);
            while (insert > header + 1 && Trim(lines[insert - 1]).empty()) --insert;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert), std::move(line));
        }
    }

    std::u16string text;
    for (const std::u16string& line : lines) {
        text += line;
        text += u'\n';
    }
    const std::string bytes = Utf16ToUtf8(text);
    // The value is stored at every exit: a file that already says it all is
    // left alone, which spares the flush to the disk a rewrite makes.
    if (loaded && bytes == before) return true;
    return WriteWholeFile(key.FilePath(), bytes.data(), bytes.size(), nullptr, 0);
}

// mkdir -p with private permissions for what is created.
bool MakeDirectories(const std::string& path) {
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        const std::string part = path.substr(0, pos);
        if (part.empty() || ::mkdir(part.c_str(), 0700) == 0 || errno == EEXIST) continue;
        return false;
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

}  // namespace

std::u16string GetConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return PathFromOs(xdg);
    const char* home = std::getenv("HOME");
    std::string dir;
    if (home && home[0] == '/') {
        dir = home;
    } else {
        struct passwd pw;
        struct passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) != 0 || !found || !pw.pw_dir ||
            pw.pw_dir[0] != '/')
            return {};
        dir = pw.pw_dir;
    }
    return PathCombine(PathFromOs(dir), u".config");
}

std::u16string GetSettingsLocation(std::u16string_view company, std::u16string_view product) {
    const std::u16string home = GetConfigHome();
    if (home.empty()) return {};
    std::u16string path = PathCombine(home, company);
    PathAppend(path, std::u16string(product) + u".conf");
    return path;
}

std::unique_ptr<SettingsKey> OpenSettingsKey(std::u16string_view company, std::u16string_view product,
                                             std::u16string_view keyPath, uint32_t access, uint32_t& code) {
    const std::u16string filePath = GetSettingsLocation(company, product);
    code = 0;
    if (filePath.empty()) {
        code = ENOENT;
        return nullptr;
    }
    if (keyPath.empty() || keyPath.find_first_of(u"\r\n") != std::u16string_view::npos) {
        code = EINVAL;
        return nullptr;
    }

    const bool writable = access != kSettingsRead;
    auto key = std::make_unique<SettingsKey>(filePath, std::u16string(keyPath), writable);
    std::vector<std::u16string> lines;
    if (!writable) {
        // Reading needs an existing key.
        if (!LoadLines(key->FilePath(), lines, code)) return nullptr;
        if (FindSection(lines, keyPath) == kNone) {
            code = ENOENT;
            return nullptr;
        }
        return key;
    }

    if (!MakeDirectories(PathToOs(PathRemoveFileSpec(filePath)))) {
        code = static_cast<uint32_t>(errno);
        return nullptr;
    }
    if (LoadLines(key->FilePath(), lines, code) && FindSection(lines, keyPath) != kNone) return key;
    if (!StoreValue(*key, {}, std::nullopt)) {
        code = GetLastErrorCode();
        return nullptr;
    }
    code = 0;
    return key;
}

bool QuerySettingsValue(const SettingsKey& key, std::u16string_view name, uint32_t& value, uint32_t& code) {
    std::vector<std::u16string> lines;
    code = 0;
    if (!LoadLines(key.FilePath(), lines, code)) return false;
    const size_t header = FindSection(lines, key.Section());
    std::u16string_view text;
    code = ENOENT;
    if (header != kNone && FindValue(lines, header, name, &text) != kNone) {
        uint32_t parsed = 0;
        if (ParseNumber(text, parsed)) {
            value = parsed;
            code = 0;
            return true;
        }
        code = EINVAL;
    }
    return false;
}

bool SetSettingsValue(const SettingsKey& key, std::u16string_view name, uint32_t value, uint32_t& code) {
    code = 0;
    if (!key.Writable()) code = EACCES;
    else if (!IsValidName(name)) code = EINVAL;
    else if (StoreValue(key, name, value)) return true;
    else code = GetLastErrorCode();
    return false;
}

}  // namespace qm::os
