// A temporary folder for the article writer's files, removed with everything in it.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <stdlib.h>

namespace lilan::testing {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lilan-compose-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder as the program's text: the path is ASCII, so its bytes serve as they are.
    const std::string& path() const { return path_; }
    std::filesystem::path operator/(const std::string& utf8Name) const {
        return std::filesystem::path(path_) / utf8Name;
    }

    // Names (UTF-8) of everything directly inside `sub` (relative to the folder).
    std::set<std::string> names(const std::string& sub = {}) const {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path_) / sub))
            found.insert(entry.path().filename().string());
        return found;
    }

private:
    std::string path_;
};

inline std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

} // namespace lilan::testing
