#include <gtest/gtest.h>

#include <filesystem>

#include "compose/article.h"
#include "support/memory_form.h"
#include "support/temp_folder.h"

namespace lilan {
namespace {

using testing::gb;
namespace fs = std::filesystem;

TEST(FileNameSanitizing, MapsReservedCharactersAndDropsBreaks) {
    struct Case {
        const char* name;
        Text input;
        Text expected;
    };
    const Case cases[] = {
        {"reserved characters", gb("a\\b/c:d*e?f|g<h>i"), gb("a＼b／c：d＊e？f｜g＜h＞i")},
        {"double quotes", gb("\"引\"号"), gb("引号")},
        {"line breaks and tabs", gb("一\r\n二\r三\n四\t五"), gb("一二三四五")},
        {"other control characters",
         Text("a\x01"
              "b\x1F"
              "c\x7F"
              "d\0e",
              9),
         "abcde"},
        {"a single dot", ".", gb("．")},
        {"two dots", "..", gb("．．")},
        {"dots among other characters stay", "..a.b", "..a.b"},
        {"empty", "", ""},
        {"spaces are kept", gb(" 天气 "), gb(" 天气 ")},
        // Trail bytes that equal "\" or "|" belong to their character and are not reserved.
        {"trail bytes", "\x95\x5C\x81\x7C", "\x95\x5C\x81\x7C"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sanitizeFileName(c.input), c.expected) << c.name;
}

TEST(DirectoryPath, CreatesEveryFolderBeforeTheLastSlash) {
    struct Case {
        const char* relative; // appended to the temporary folder and "/"
        std::vector<const char*> created;
        std::vector<const char*> absent;
    };
    const Case cases[] = {
        {"a/b/c/", {"a", "a/b", "a/b/c"}, {}},
        {"a/b/file.htm", {"a", "a/b"}, {"a/b/file.htm"}},
        {"ab/", {"ab"}, {}}, // two bytes are no drive here
        {"文章/新闻//", {"文章", "文章/新闻"}, {}},
        {"x", {}, {"x"}},
    };
    for (const Case& c : cases) {
        testing::TempFolder temp;
        EXPECT_TRUE(makeDirectoryPath(temp.path() + "/" + gb(c.relative))) << c.relative;
        for (const char* folder : c.created)
            EXPECT_TRUE(fs::is_directory(temp / folder)) << folder;
        for (const char* path : c.absent)
            EXPECT_FALSE(fs::exists(temp / path)) << path;
    }
}

TEST(DirectoryPath, FailsWhereAFileBlocksTheWay) {
    testing::TempFolder temp;
    testing::writeBytes(temp / "plain", "x");
    EXPECT_FALSE(makeDirectoryPath(temp.path() + "/plain/sub/"));
    EXPECT_FALSE(fs::exists(temp / "plain/sub"));
    EXPECT_EQ(testing::readBytes(temp / "plain"), "x");
}

} // namespace
} // namespace lilan
