#include "common/os/ansi_codepage.h"

#include <iconv.h>
#include <langinfo.h>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace qm::os {
namespace {

// iconv's name for char16_t in memory.
constexpr const char* kNativeUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

class IconvHandle {
public:
    IconvHandle() = default;
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    ~IconvHandle() {
        if (valid()) iconv_close(cd_);
    }
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }
    // Back to the initial shift state before a new conversion.
    void reset() const { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

// An iconv descriptor keeps conversion state, so each thread has its own
// pair; they are reopened only when the code page in force changes.
struct AnsiConverters {
    std::string codePage;
    std::unique_ptr<IconvHandle> toAnsi;
    std::unique_ptr<IconvHandle> fromAnsi;
};

bool IsUtf8OrAscii(std::string_view charset) {
    std::string key;
    for (const char c : charset) {
        if (c == '-' || c == '_' || c == '.') continue;
        key += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return key.empty() || key == "UTF8" || key == "ANSIX341968" || key == "ASCII" || key == "USASCII" ||
           key == "646";
}

std::string LocaleCodePage() {
    const char* charset = nl_langinfo(CODESET);
    if (!charset || IsUtf8OrAscii(charset)) return "CP936";
    return charset;
}

std::string OverrideCodePage() {
    const char* value = std::getenv("QUORVIA_ANSI_CODEPAGE");
    if (!value || !*value) return {};
    std::string name = value;
    if (name.find_first_not_of("0123456789") == std::string::npos) name = "CP" + name;
    return name;
}

bool Open(AnsiConverters& c, const std::string& codePage) {
    auto to = std::make_unique<IconvHandle>(codePage.c_str(), kNativeUtf16);
    auto from = std::make_unique<IconvHandle>(kNativeUtf16, codePage.c_str());
    if (!to->valid() || !from->valid()) return false;
    c.codePage = codePage;
    c.toAnsi = std::move(to);
    c.fromAnsi = std::move(from);
    return true;
}

// The calling thread's converters for the code page in force, or null when
// iconv knows neither the chosen code page nor the locale's.
AnsiConverters* Converters() {
    thread_local AnsiConverters converters;
    const std::string wanted = GetAnsiCodePageName();
    if (converters.toAnsi && converters.codePage == wanted) return &converters;
    if (Open(converters, wanted)) return &converters;
    const std::string fallback = LocaleCodePage();
    if (fallback != wanted && converters.toAnsi && converters.codePage == fallback) return &converters;
    if (fallback != wanted && Open(converters, fallback)) return &converters;
    return nullptr;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

bool WideToAnsi(std::u16string_view text, std::string& out) {
    AnsiConverters* c = Converters();
    if (!c) return false;
    const iconv_t cd = c->toAnsi->get();
    c->toAnsi->reset();
    out.assign(text.size() * 2 + 16, '\0');
    size_t used = 0;
    auto convert = [&](char** in, size_t* inLeft) {
        char* dst = out.data() + used;
        size_t outLeft = out.size() - used;
        const size_t rc = iconv(cd, in, inLeft, &dst, &outLeft);
        used = static_cast<size_t>(dst - out.data());
        return rc != static_cast<size_t>(-1);
    };

    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t inLeft = text.size() * sizeof(char16_t);
    while (inLeft > 0) {
        if (convert(&in, &inLeft)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // A character the code page lacks, or an unpaired surrogate: '?'
        // stands for it, as the platform's default character does.
        const size_t at = text.size() - inLeft / sizeof(char16_t);
        const size_t skip = (at + 1 < text.size() && IsHighSurrogate(text[at]) && IsLowSurrogate(text[at + 1])) ? 2 : 1;
        if (used == out.size()) out.resize(out.size() * 2);
        out[used++] = '?';
        in += skip * sizeof(char16_t);
        inLeft -= skip * sizeof(char16_t);
    }
    // Return a stateful code page to its initial shift state.
    while (!convert(nullptr, nullptr) && errno == E2BIG) out.resize(out.size() * 2);
    out.resize(used);
    return true;
}

bool AnsiToWide(const char* bytes, size_t size, std::u16string& out) {
    AnsiConverters* c = Converters();
    if (!c) return false;
    if (size == 0) {
        out.clear();
        return true;
    }
    if (const void* nul = std::memchr(bytes, 0, size)) size = static_cast<size_t>(static_cast<const char*>(nul) - bytes);
    c->fromAnsi->reset();
    // No code page makes more UTF-16 units than bytes, except by the U+FFFD
    // written for a bad byte; the loop grows the buffer if one ever does.
    out.assign(size + 8, u'\0');
    char* in = const_cast<char*>(bytes);
    size_t inLeft = size;
    size_t used = 0;  // in char16_t units
    while (inLeft > 0) {
        char* dst = reinterpret_cast<char*>(out.data() + used);
        size_t outLeft = (out.size() - used) * sizeof(char16_t);
        const size_t rc = iconv(c->fromAnsi->get(), &in, &inLeft, &dst, &outLeft);
        used = static_cast<size_t>(reinterpret_cast<char16_t*>(dst) - out.data());
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ: a byte that starts no character; EINVAL: the data ends
        // inside one. Either way one replacement character, and on.
        if (used == out.size()) out.resize(out.size() * 2);
        out[used++] = u'\uFFFD';
        if (errno == EINVAL) break;
        ++in;
        --inLeft;
        c->fromAnsi->reset();
    }
    out.resize(used);
    return true;
}

std::string GetAnsiCodePageName() {
    std::string name = OverrideCodePage();
    return name.empty() ? LocaleCodePage() : name;
}

}  // namespace qm::os
