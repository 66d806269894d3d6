// State that the collection run shares with the article writer and the window.
#pragma once

#include <cstddef>
#include <vector>

#include "text/text.h"

namespace lilan {

struct SharedState {
    bool stopRequested = false; // set by a click on the running start button
    bool previewOnly = false;   // this run only shows its first article
    Text currentTitle;          // the title of the news page being collected
};

// Hands out the numbers of a range in random order, none twice until all have been used.
// One pool serves the whole program run.
class DrawPool {
public:
    // low = high = 0 empties the pool and returns 0.
    int drawWithoutRepeat(int low, int high);

private:
    void clear();

    // Which values the current cycle has handed out, by value: a draw is checked in constant
    // time however large the list of comments.
    std::vector<bool> taken_;
    size_t count_ = 0;
};

} // namespace lilan
