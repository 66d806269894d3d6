#include "collector/list_file.h"

#include "text/encoding.h"

namespace lilan {

ListFile::ListFile(const Text& path) {
    // Linux names are UTF-8; the window holds local text.
    file_ = std::fopen(toUtf8(path).c_str(), "wb");
}

ListFile::~ListFile() {
    close();
}

bool ListFile::write(const Text& bytes) {
    if (!file_ || failed_) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
    return !failed_;
}

bool ListFile::close() {
    if (!file_) return !failed_;
    // Buffered bytes reach the disk only here, so a full disk may show itself only now.
    if (std::fflush(file_) != 0 || std::ferror(file_)) failed_ = true;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

} // namespace lilan
