// The saved settings of the two windows: which control goes under which key, in which
// order, and the texts and states each window's form starts with.
//
// Each window mirrors its controls into one section of the settings file. Restoring reads
// every key with the control's current content as the default; saving writes every control
// under its key. Both walk the window's table in the same order, so a section written for
// the first time lists its keys in reverse table order (new keys go under the header).
#pragma once

#include <span>

#include "config/settings_file.h"
#include "text/form.h"
#include "text/text.h"

namespace lilan {

enum class SettingKind {
    Text,         // edit text of an edit box or combo box, under a fixed key
    Flag,         // checked state under a fixed key (the shuffle box)
    CheckedState, // checked state under the control's caption
};

struct SettingRow {
    const char* control; // control name, UTF-8
    const char* key;     // UTF-8; for CheckedState rows the form's caption, which is the key
    SettingKind kind;
    // The form's text: the initial text of an edit box, the caption of a check box or radio
    // button; nullptr where the text is only known at run time (see the apply functions).
    const char* formText;
    bool formChecked;
};

// Section names, UTF-8.
inline constexpr const char* kMainSection = "基本配置";
inline constexpr const char* kCollectorSection = "新闻地址采集器";

std::span<const SettingRow> mainSettingRows();
std::span<const SettingRow> collectorSettingRows();

// Gives every control of the table its form text and checked state.
void applyMainFormDefaults(Form& form);
// As above; the output file defaults to "新闻地址.txt" in the user's home folder and the
// address template to the comment service followed by "#递增#".
void applyCollectorFormDefaults(Form& form);

// The collector's default output file: "新闻地址.txt" in $HOME (local text).
Text collectorOutputFileDefault();
// The collector's default address template (local text).
Text collectorAddressTemplateDefault();

void loadMainSettings(SettingsFile& file, Form& form);
void loadCollectorSettings(SettingsFile& file, Form& form);
// True when every value reached the file; otherwise file.lastError() says why.
bool saveMainSettings(SettingsFile& file, Form& form);
bool saveCollectorSettings(SettingsFile& file, Form& form);

} // namespace lilan
