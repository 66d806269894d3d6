#include <cstddef>
#include <cstdint>
#include <string_view>

#include "checks.h"
#include "report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lilan::fuzzing::requireHeld(
        lilan::fuzzing::checkCommentPage({reinterpret_cast<const char*>(data), size}));
    return 0;
}
