// Readable failure messages for the program's own value types: gtest finds these through
// argument-dependent lookup instead of dumping the raw bytes of a struct.
#pragma once

#include <ostream>

#include "compose/comment_record.h"
#include "text/encoding.h"

namespace lilan {

inline void PrintTo(const CommentRecord& record, std::ostream* os) {
    *os << "{nickname \"" << toUtf8(record.nickname) << "\", region \"" << toUtf8(record.region)
        << "\", content \"" << toUtf8(record.content) << "\"}";
}

} // namespace lilan
