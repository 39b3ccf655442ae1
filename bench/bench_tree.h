// The tree the window benchmarks run a task over: files of random sizes
// below 8 KiB, spread evenly over kTreeDirectories folders, the same on
// every run.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace qm::bench {

inline constexpr size_t kTreeDirectories = 1000;

inline void MakeTree(const std::filesystem::path& root, size_t count) {
    std::mt19937 random(20261208);
    std::vector<char> bytes(8192);
    for (char& byte : bytes) byte = static_cast<char>(random());
    const size_t perDirectory = (count + kTreeDirectories - 1) / kTreeDirectories;
    size_t made = 0;
    for (size_t dir = 0; dir < kTreeDirectories && made < count; ++dir) {
        const std::filesystem::path directory = root / ("dir " + std::to_string(dir));
        std::filesystem::create_directories(directory);
        for (size_t i = 0; i < perDirectory && made < count; ++i, ++made) {
            std::ofstream file(directory / ("file" + std::to_string(made) + ".dat"), std::ios::binary);
            file.write(bytes.data(), static_cast<std::streamsize>(random() % bytes.size()));
        }
    }
}

}  // namespace qm::bench
