// Temporary folders and whole-file reads and writes for the tests that run real jobs.
#pragma once
#include <cstdint>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A fresh folder removed again when the test ends.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        static std::mt19937 seed(std::random_device{}());
        path = std::filesystem::temp_directory_path() / ("tarn-unit-" + std::to_string(seed()));
        std::filesystem::create_directories(path);
        path.make_preferred();
    }
    ~TempFolder() {
        std::error_code ignored;
        for (auto& entry : std::filesystem::recursive_directory_iterator(path, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    std::string operator/(const std::string& name) const { return (path / name).make_preferred().string(); }
};

inline Bytes randomBytes(size_t count, uint32_t seed = 1) {
    std::mt19937 gen(seed);
    Bytes out(count);
    for (auto& b : out) b = static_cast<uint8_t>(gen());
    return out;
}

inline void writeBytes(const std::string& path, const Bytes& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes readBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The names in a folder, sorted (hidden ones included: a job's leftovers would show here).
inline std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
