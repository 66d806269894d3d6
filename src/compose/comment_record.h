#pragma once

#include <vector>

#include "text/text.h"

namespace lilan {

// One reader comment as the comment service gave it.
struct CommentRecord {
    Text nickname;
    Text region;
    Text content;
    bool operator==(const CommentRecord&) const = default;
};

using CommentList = std::vector<CommentRecord>;

} // namespace lilan
