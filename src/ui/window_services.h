// The long-lived objects the windows work with, handed to them at start-up.
#pragma once

#include "collector/address_collector.h"
#include "config/settings_file.h"
#include "core/collection_run.h"

namespace lilan {

struct WindowServices {
    SettingsFile& settings;
    CollectionServices collection;
    CollectorServices collector;
};

} // namespace lilan
