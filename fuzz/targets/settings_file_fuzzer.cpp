#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "checks.h"
#include "report.h"

namespace {

// One folder for the whole fuzzing process; every input rewrites the same file in it. The
// path is never destroyed, so that the exit handler removing the folder can still read it.
const std::string* folderPath = nullptr;

void removeFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(*folderPath, ignored);
}

const std::string& folder() {
    if (!folderPath) {
        std::string pattern = (std::filesystem::temp_directory_path() / "lilan-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        folderPath = new std::string(pattern);
        std::atexit(removeFolder);
    }
    return *folderPath;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lilan::fuzzing::requireHeld(
        lilan::fuzzing::checkSettingsFile({reinterpret_cast<const char*>(data), size}, folder()));
    return 0;
}
