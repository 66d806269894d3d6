// A fresh folder under the system's temporary folder for one test, removed afterwards, and
// the small file helpers the settings tests share.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

#include "support/memory_form.h"

namespace lilan::testing {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lilan-config-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // A path inside the folder; `utf8Name` is a UTF-8 file name.
    std::string file(std::string_view utf8Name) const { return (path_ / std::string(utf8Name)).string(); }
    // The same path as local text, as the program hands paths to the settings store.
    Text localFile(std::string_view utf8Name) const { return gb(file(utf8Name)); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string readBytes(const std::string& fsPath) {
    std::ifstream in(fsPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& fsPath, std::string_view bytes) {
    std::ofstream out(fsPath, std::ios::binary | std::ios::trunc);
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
