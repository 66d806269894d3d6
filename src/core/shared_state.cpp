#include "core/shared_state.h"

#include <algorithm>

namespace lilan {

int DrawPool::drawWithoutRepeat(int low, int high) {
    seedRandom();
    if (low == 0 && high == 0) {
        drawn_.clear();
        return 0;
    }
    // With nothing left to hand out (the pool full for this range), start a new cycle
    // instead of drawing forever.
    const long long available = static_cast<long long>(high) - std::max(low, 1) + 1;
    if (available <= 0) return low;
    if (static_cast<long long>(drawn_.size()) >= available) drawn_.clear();
    int r = 0;
    do {
        r = static_cast<int>(randomBetween(low, high));
    } while (r == 0 || std::find(drawn_.begin(), drawn_.end(), r) != drawn_.end());
    drawn_.push_back(r);
    if (static_cast<long long>(drawn_.size()) == high) drawn_.clear();
    return r;
}

} // namespace lilan
