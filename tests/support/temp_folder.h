// A fresh folder under the system's temporary folder for one test, removed with everything
// in it afterwards, and the small file helpers the tests share.
#pragma once

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <string_view>

#include "support/memory_form.h"

namespace lilan::testing {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lilan-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder; its path is ASCII, so its bytes also serve as the program's local text.
    const std::string& path() const { return path_; }
    std::filesystem::path operator/(const std::string& utf8Name) const {
        return std::filesystem::path(path_) / utf8Name;
    }
    // A path inside the folder; `utf8Name` is a UTF-8 file name.
    std::string file(std::string_view utf8Name) const { return (*this / std::string(utf8Name)).string(); }
    // The same path as local text, as the program hands paths around.
    Text localFile(std::string_view utf8Name) const { return gb(file(utf8Name)); }

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

inline void writeBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Lines given in UTF-8, joined by CR LF with none after the last, as local text.
inline Text crlfLines(std::initializer_list<std::string_view> utf8Lines) {
    Text out;
    bool first = true;
    for (std::string_view line : utf8Lines) {
        if (!first) out += "\r\n";
        out += gb(line);
        first = false;
    }
    return out;
}

} // namespace lilan::testing
