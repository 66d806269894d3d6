// Every stored fuzzer input, found fault or seed, replayed through the property checks of
// its fuzz target; the faults fuzzing found also have a case of their own below.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "checks.h"
#include "support/memory_form.h"
#include "support/temp_folder.h"
#include "text/encoding.h"
#include "text/regex.h"
#include "text/text.h"
#include "web/charset.h"

namespace lilan {
namespace {

namespace fs = std::filesystem;
using fuzzing::checkCommentPage;
using fuzzing::checkDecodeResponse;
using fuzzing::checkRandomSentence;
using fuzzing::checkRegexObject;
using fuzzing::checkSettingsFile;
using fuzzing::checkTextPrimitives;
using testing::readBytes;

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

// A separator that is a lone lead byte matches the first byte of a double-byte character;
// the search must go on at the next whole character, not at that character's trail byte.
TEST(FuzzRegressions, ALoneLeadByteSeparatorNeverMatchesATrailByte) {
    struct Case {
        const char* name;
        std::string text;
        std::string needle;
        TextList pieces;
        Text replaced;
    };
    const Case cases[] = {
        {"double lead byte", "\xA1\xA1", "\xA1", {"", "\xA1"}, "|\xA1"},
        {"then a lone one",
         "a\xA1\xA1\xA1\x01"
         "b",
         "\xA1",
         {"a", "\xA1",
          "\x01"
          "b"},
         "a|\xA1|\x01"
         "b"},
        {"two-byte needle", "\xB0\xA1\xA1\xA1", "\xB0\xA1", {"", "\xA1\xA1"}, "|\xA1\xA1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitList(c.text, c.needle), c.pieces) << c.name;
        EXPECT_EQ(replaceText(c.text, c.needle, "|"), c.replaced) << c.name;
    }
}

// "\\C" matches a single byte of the engine's UTF-8 subject: it would hand out pieces of
// characters and start the next search inside one. Such a pattern is refused like any other
// the engine cannot take, and the object stays usable.
TEST(FuzzRegressions, ASingleByteEscapeIsRefused) {
    const Text subject = testing::gb("a中a文");
    RegexObject regex;
    regex.setPattern("a\\C");
    EXPECT_EQ(regex.execute(subject), 0);
    EXPECT_EQ(regex.replace(subject, "x"), "");
    regex.setPattern("a.");
    EXPECT_EQ(regex.execute(subject), 2);
    EXPECT_EQ(regex.subMatchText(2, 0), testing::gb("a文"));
}

std::string repeated(const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += piece;
    return out;
}

// Characters of two bytes in UTF-8 that take four in GB18030 (most of Latin-1, Hebrew,
// Arabic), and the few two-byte GB18030 characters that stand for characters outside the
// BMP, double the size of a text on its way across; a page full of them must convert whole,
// neither overrunning the conversion's buffer nor losing its end.
TEST(FuzzRegressions, TextsThatDoubleInSizeConvertWhole) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string local;
    };
    const Case cases[] = {
        {"Latin capital A with grave", "\xC3\x80", "\x81\x30\x86\x38"},
        {"Hebrew alef", "\xD7\x90", "\x81\x30\xF9\x32"},
        {"Arabic letter", "\xDB\xBF", "\x81\x31\x99\x35"},
    };
    for (const Case& c : cases) {
        for (const int count : {1, 5, 1000}) {
            const std::string page = repeated(c.utf8, count), local = repeated(c.local, count);
            EXPECT_EQ(fromUtf8(page), local) << c.name << " x" << count;
            EXPECT_EQ(toUtf8(local), page) << c.name << " x" << count;
            const DecodedText decoded = decodeResponse(page);
            EXPECT_EQ(decoded.code, kCharsetUtf8) << c.name << " x" << count;
            EXPECT_EQ(decoded.text, local) << c.name << " x" << count;
        }
    }

    // A GBK page is kept as it came, so such characters reach the pattern engine as they are.
    const Text rare = repeated("\xFE\x51", 1000);
    const std::string rareUtf8 = repeated("\xF0\xA0\x82\x87", 1000); // U+20087
    EXPECT_EQ(toUtf8(rare), rareUtf8);
    RegexObject regex;
    regex.setPattern("x");
    EXPECT_EQ(regex.execute(rare), 0);
    EXPECT_EQ(toUtf8(regex.replace(rare)), rareUtf8);
}

} // namespace
} // namespace lilan
