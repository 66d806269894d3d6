// The few services that core procedures need from the window system, reached without
// including it: handling pending window events and showing a message box. The program
// installs its window-system implementation at start-up; tests install recording ones.
#pragma once

#include "text/text.h"

namespace lilan {

enum class MessageKind { Information, Warning };

class Platform {
public:
    virtual ~Platform() = default;
    // Lets the window handle the events that are waiting, then returns.
    virtual void processEvents() {}
    // A modal message box with an OK button. `title` and `text` are local text.
    virtual void showMessage(const Text& text, const Text& title, MessageKind kind) = 0;
};

// The installed platform; a silent one until something is installed.
Platform& platform();
// Installs `p` (not owned) and returns the one it replaced; nullptr restores the silent one.
Platform* installPlatform(Platform* p);

inline void processEvents() {
    platform().processEvents();
}

// The title of message boxes that have none of their own.
const Text& infoTitle();
// The title of the program's own warnings and of its help dialog.
const Text& programTitle();

} // namespace lilan
