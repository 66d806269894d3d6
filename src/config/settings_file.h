// The program's INI-style settings store.
//
// The whole file lives in memory and, at the same time, stays open for reading and writing:
// every read is answered from the memory copy, every write changes the copy and the file
// together, so the file on disk is always current and there is no separate save step.
//
// File format: local text, lines joined by CR LF with none after the last line. A header
// "[name]" counts only at the first byte of the file or directly after a CR LF; a value line
// is key + "=" + value, matched byte for byte. New sections go to the end of the file, new
// keys directly under their section's header; line breaks inside a value are kept as the
// token "┊*┊", truth values as "真" / "假".
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "text/form.h"
#include "text/text.h"

namespace lilan {

class SettingsFile {
public:
    SettingsFile() = default;
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // Drops the file held before, loads `path` (local text) into memory (a missing or
    // unreadable file loads as empty) and keeps it open for writing, creating it when
    // missing and never truncating it. False when the file cannot be opened for writing;
    // reads still work from what could be loaded, and writes then stay in memory.
    bool open(const Text& path);

    void setSection(const Text& name) { section_ = name; }
    const Text& section() const { return section_; }

    // Stores `value` under `key` in the current section. True when the file holds the new
    // value; false when the file could not be written (see lastError) or when the section
    // could not be placed in the file at all.
    bool writeText(const Text& key, const Text& value);
    // The stored value with its line breaks restored; `defaultValue` when the section or the
    // key is missing or the stored value is empty.
    Text readText(const Text& key, const Text& defaultValue);

    bool writeBool(const Text& key, bool flag);
    // True only for a stored "真"; any other stored text is false; nothing stored gives the
    // default.
    bool readBool(const Text& key, bool defaultValue);

    // The checked state of a check box or radio button, keyed by its caption at the time of
    // the call.
    bool saveCheckedState(Form& form, const char* control);
    // Sets the control from the stored state (its current state as the default) and returns
    // the state the control shows afterwards.
    bool loadCheckedState(Form& form, const char* control);

    const Text& path() const { return path_; }
    const Text& content() const { return content_; }

    // True while the file is open and holds exactly the memory copy.
    bool writable() const;
    // Why the settings could not be written, naming the file and the system's reason; empty
    // while the file is writable. The windows show it instead of confirming a save.
    Text lastError() const;

private:
    struct ValueSpan {
        long start; // first byte of the value (1-based)
        long end;   // last byte of the value; start - 1 for an empty value
    };

    // Finds the header of `section` from `pos` on (0 for a fresh search) and returns the
    // position of its "]", or 0 when the section is missing. Handles pending window events
    // once per pass.
    long locateSection(const Text& section, long& pos);
    // Finds `key` under the header whose "]" stands at `headerEnd`.
    std::optional<ValueSpan> locateKey(long headerEnd, const Text& key) const;

    Text readStored(const Text& key, const Text& defaultValue);
    bool writeStored(const Text& key, const Text& value);

    // Brings the file up to date from byte index `from` on (plus anything a failed earlier
    // attempt left behind); returns whether the file now equals the memory copy.
    bool syncFrom(std::size_t from);
    void closeFile();

    Text content_;
    Text path_;
    Text section_;
    int fd_ = -1;
    // Index from which the file may differ from content_ after a failed write.
    std::optional<std::size_t> staleFrom_;
    int lastErrno_ = 0;
};

} // namespace lilan
