// A temporary directory for one test, removed with everything in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace qm::test {

// Tests spell names in UTF-8. On Windows a path made from a char string
// takes it in the ANSI code page, which cannot hold every name; there the
// name goes through char8_t, as UTF-8. Linux takes the bytes as they are.
inline std::filesystem::path PathFromUtf8(std::string_view name) {
#if defined(_WIN32)
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
#else
    return std::filesystem::path(name);
#endif
}

// A path as UTF-8 text, for arguments and expected output.
inline std::string Utf8Path(const std::filesystem::path& path) {
#if defined(_WIN32)
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

class TempDir {
public:
    TempDir() {
#if defined(_WIN32)
        // No mkdtemp there: a random name, created only if it is new.
        std::random_device random;
        for (int attempt = 0;; ++attempt) {
            if (attempt == 100) std::abort();
            const std::filesystem::path candidate =
                std::filesystem::temp_directory_path() / ("quorvia-test-" + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec)) {
                path_ = candidate;
                break;
            }
        }
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvia-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
#endif
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / PathFromUtf8(name); }

    // Writes `bytes` to a file under the directory (creating parent folders).
    std::filesystem::path Write(std::string_view name, std::string_view bytes) const {
        const std::filesystem::path file = path_ / PathFromUtf8(name);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace qm::test
