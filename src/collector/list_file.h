// The address list file the collector writes: created or emptied when a collection starts,
// written as the bytes the program holds (local text), closed when it ends.
#pragma once

#include <cstdio>

#include "text/text.h"

namespace lilan {

class ListFile {
public:
    // Opens `path` (local text) for writing, creating the file or emptying it.
    explicit ListFile(const Text& path);
    ~ListFile();
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    // False once any write has failed (a full disk, a removed medium); later writes are
    // skipped so that a failure is never followed by a partial, misleading list.
    bool write(const Text& bytes);
    // Flushes and closes; false when this or any earlier write failed.
    bool close();

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

} // namespace lilan
