// The collection run: from the address list to the last article, inside the click handler
// of the start button.
#pragma once

#include <chrono>
#include <cstdint>

#include "core/shared_state.h"
#include "text/form.h"
#include "web/web_client.h"

namespace lilan {

struct CollectionServices {
    WebClient& web;
    DrawPool& drawPool;
    SharedState& state;
};

// Click of "按钮开始采集": starts a run when the caption reads "开始采集", otherwise asks the
// running one to stop. A run lets the window handle events at fixed points, so the stop
// click arrives as a nested call of this handler.
void startButtonClicked(Form& form, CollectionServices& services);

// Sleeps `milliseconds` in 10 ms steps, handling window events after each.
void waitWithEvents(long long milliseconds);

// "999 毫秒", "1.03 分", "1.5 月" ...
Text elapsedText(int64_t milliseconds);

} // namespace lilan
