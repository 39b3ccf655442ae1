// Helpers shared by the pipeline tests.
#pragma once

#if defined(_WIN32)
#include "support/cng_digest.h"
#else
#include <openssl/evp.h>
#endif

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/notify_target.h"

namespace qm::test {

struct PostedMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Collects posted messages; the test thread waits for them as a front end's
// own thread would.
class RecordingTarget : public NotifyTarget {
public:
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        {
            std::lock_guard lock(mutex_);
            messages_.push_back({message, wParam, lParam});
        }
        cv_.notify_all();
    }

    // The next message, or nothing when none came within the limit (a
    // generous guard against a hang, not a timing check).
    std::optional<PostedMessage> Next(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, limit, [this] { return !messages_.empty(); })) return std::nullopt;
        PostedMessage m = messages_.front();
        messages_.pop_front();
        return m;
    }

    size_t Pending() {
        std::lock_guard lock(mutex_);
        return messages_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<PostedMessage> messages_;
};

// Deterministic bytes that differ from position to position and from seed
// to seed, so a block read twice or out of order changes the digest.
inline std::string PatternBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x);
    }
    return bytes;
}

inline void WriteFile(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The digest by OpenSSL ("MD5", "SHA1"; on Windows by the system's CNG),
// to compare the pipeline's with.
inline std::vector<uint8_t> ReferenceDigest(const char* algorithm, std::string_view data) {
#if defined(_WIN32)
    return CngDigest(algorithm, data);
#else
    std::vector<uint8_t> digest(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), digest.data(), &size, EVP_get_digestbyname(algorithm), nullptr);
    digest.resize(size);
    return digest;
#endif
}

}  // namespace qm::test
