// Every stored fuzzer input, found fault or seed, replayed through the property checks of
// its fuzz target; the faults fuzzing found also have a case of their own below.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "checks.h"
#include "support/memory_form.h"
#include "support/temp_folder.h"

namespace lilan {
namespace {

namespace fs = std::filesystem;
using fuzzing::checkCommentPage;
using fuzzing::checkDecodeResponse;
using fuzzing::checkRandomSentence;
using fuzzing::checkRegexObject;
using fuzzing::checkSettingsFile;
using fuzzing::checkTextPrimitives;

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The stored inputs of one target: its seeds and the inputs that once found a fault.
std::vector<fs::path> storedInputs(const std::string& target) {
    std::vector<fs::path> files;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path folder = fs::path(LILAN_FUZZ_FOLDER) / kind / target;
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
    }
    return files;
}

TEST(FuzzRegressions, EveryStoredInputKeepsItsTargetsProperties) {
    testing::RecordingPlatform platform; // no message box may reach a real window
    testing::TempFolder folder;
    struct Target {
        const char* name;
        std::function<std::string(std::string_view)> check;
    };
    const Target targets[] = {
        {"decode_response", checkDecodeResponse},
        {"comment_page", checkCommentPage},
        {"settings_file", [&](std::string_view data) { return checkSettingsFile(data, folder.path()); }},
        {"text_primitives", checkTextPrimitives},
        {"random_sentence", checkRandomSentence},
        {"regex_object", checkRegexObject},
    };
    for (const Target& target : targets) {
        const std::vector<fs::path> files = storedInputs(target.name);
        EXPECT_FALSE(files.empty()) << "no stored inputs for " << target.name;
        for (const fs::path& file : files)
            EXPECT_EQ(target.check(readBytes(file)), "") << file;
    }
}

} // namespace
} // namespace lilan
