// The core's window services over Qt: pending events and message boxes.
#pragma once

#include "text/platform.h"

namespace lilan {

class QtPlatform : public Platform {
public:
    void processEvents() override;
    // A modal box with an OK button; warnings carry the warning icon and stay on top, so
    // that a failure is not hidden behind the window that caused it.
    void showMessage(const Text& text, const Text& title, MessageKind kind) override;
};

} // namespace lilan
