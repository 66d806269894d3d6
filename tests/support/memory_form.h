// An in-memory window for driving core procedures without a display.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "text/encoding.h"
#include "text/form.h"
#include "text/platform.h"

namespace lilan::testing {

// Local text from a UTF-8 literal: the tests write Chinese texts in UTF-8.
inline Text gb(std::string_view utf8) {
    return fromUtf8(utf8);
}
inline std::string u8(std::string_view local) {
    return toUtf8(local);
}

class MemoryForm : public Form {
public:
    Text text(const char* control) const override {
        auto it = texts.find(control);
        return it == texts.end() ? Text() : it->second;
    }
    void setText(const char* control, const Text& value) override { texts[control] = value; }
    bool isChecked(const char* control) const override {
        auto it = checked.find(control);
        return it != checked.end() && it->second;
    }
    void setChecked(const char* control, bool value) override { checked[control] = value; }
    void setCaption(const Text& value) override { captions.push_back(value); }
    void setStatus(const Text& value) override { statuses.push_back(value); }

    // Sets a control's text from a UTF-8 literal.
    void set(const char* control, std::string_view utf8) { texts[control] = gb(utf8); }

    std::map<std::string, Text> texts;
    std::map<std::string, bool> checked;
    std::vector<Text> captions;
    std::vector<Text> statuses;
};

// Records message boxes and counts event-handling points; runs a hook at each point.
class RecordingPlatform : public Platform {
public:
    struct Message {
        Text text;
        Text title;
        MessageKind kind;
    };
    RecordingPlatform() { previous_ = installPlatform(this); }
    ~RecordingPlatform() override { installPlatform(previous_); }

    void processEvents() override {
        ++eventCalls;
        if (onEvents) onEvents();
    }
    void showMessage(const Text& text, const Text& title, MessageKind kind) override {
        messages.push_back({text, title, kind});
    }

    int eventCalls = 0;
    std::function<void()> onEvents;
    std::vector<Message> messages;

private:
    Platform* previous_ = nullptr;
};

} // namespace lilan::testing
