#include "core/shared_state.h"

#include <algorithm>

namespace lilan {

void DrawPool::clear() {
    std::fill(taken_.begin(), taken_.end(), false);
    count_ = 0;
}

int DrawPool::drawWithoutRepeat(int low, int high) {
    seedRandom();
    if (low == 0 && high == 0) {
        clear();
        return 0;
    }
    // With nothing left to hand out (the pool full for this range), start a new cycle
    // instead of drawing forever.
    const long long available = static_cast<long long>(high) - std::max(low, 1) + 1;
    if (available <= 0) return low;
    if (static_cast<long long>(count_) >= available) clear();
    if (taken_.size() <= static_cast<size_t>(high)) taken_.resize(static_cast<size_t>(high) + 1, false);
    int r = 0;
    do {
        r = static_cast<int>(randomBetween(low, high));
    } while (r == 0 || taken_[static_cast<size_t>(r)]);
    taken_[static_cast<size_t>(r)] = true;
    if (static_cast<long long>(++count_) == high) clear();
    return r;
}

} // namespace lilan
