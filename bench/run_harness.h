// A collection run driven without a window, for the whole-run measurements: the program's
// own driver, its web client and article writer, with an in-memory form standing in for
// the main window.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "support/memory_form.h"
#include "web/web_client.h"

namespace lilan::bench {

// The main window's form that keeps only the last status text, so that a long run does not
// grow the harness's own memory, and that reports each address as the run starts on it.
class HarnessForm : public testing::MemoryForm {
public:
    void setStatus(const Text& value) override;

    // Called with the 1-based number of the address the run has just started.
    std::function<void(long long)> onAddress;
    long long addressesStarted = 0;
    Text lastStatus;
};

// The form as a user leaves it by default, with the cleaning options all on, no wait, and
// the given address list and article folder.
void prepareRun(HarnessForm& form, const std::filesystem::path& addressList,
                const std::filesystem::path& articleFolder);

struct RunOutcome {
    std::string summary;     // the closing message, UTF-8; empty when none was shown
    long long articles = -1; // the count the summary gives, -1 when it gives none
    int messages = 0;        // message boxes shown during the run
};

// One click on the start button, returning when the run is over.
RunOutcome runCollection(HarnessForm& form, WebClient& web);

// Regular files directly inside `folder`.
long long countFiles(const std::filesystem::path& folder);

// Milliseconds since `start` on the monotonic clock.
double millisecondsSince(std::chrono::steady_clock::time_point start);

} // namespace lilan::bench
