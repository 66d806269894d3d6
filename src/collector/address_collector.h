// The address collector run: the click handler of the collector window's start button.
#pragma once

#include <span>

#include "text/form.h"
#include "text/text.h"
#include "web/inet_client.h"

namespace lilan {

// One column of the news site whose list pages the collector can walk.
struct CollectorColumn {
    const char* control;     // radio button name, UTF-8
    const char* caption;     // its caption, UTF-8
    const char* pathPattern; // after NewsSiteBase; "*" marks the page suffix
    char parser;             // 'A' or 'B'
};

// The eight columns in the order they are tested.
std::span<const CollectorColumn> collectorColumns();

struct CollectorServices {
    InetClient& inet;
    bool& stopRequested; // the collector's own stop flag
};

// Click of the collector window's "按钮开始采集": collects when the caption reads "开始采集",
// otherwise asks the running collection to stop.
void collectorButtonClicked(Form& form, CollectorServices& services);

} // namespace lilan
