// The settings store against real files in a temporary folder, checked byte for byte.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "config/settings_file.h"
#include "support/temp_folder.h"

namespace lilan {
namespace {

using testing::crlfLines;
using testing::gb;
using testing::MemoryForm;
using testing::readBytes;
using testing::RecordingPlatform;
using testing::TempFolder;
using testing::writeBytes;

constexpr const char* kToken = "\xA9\xAE*\xA9\xAE";

class SettingsFileTest : public ::testing::Test {
protected:
    // Opens the store on "settings.ini" holding `initialUtf8` (nothing: no file at all).
    void openWith(const char* initialUtf8 = nullptr) {
        if (initialUtf8) writeBytes(fsPath, gb(initialUtf8));
        ASSERT_TRUE(store.open(folder.localFile("settings.ini")));
    }
    std::string onDisk() const { return readBytes(fsPath); }

    RecordingPlatform events;
    TempFolder folder;
    std::string fsPath = folder.file("settings.ini");
    SettingsFile store;
};

TEST_F(SettingsFileTest, OpenCreatesMissingFileAndNeverTruncates) {
    openWith();
    EXPECT_TRUE(std::filesystem::exists(fsPath));
    EXPECT_EQ(onDisk(), "");
    EXPECT_TRUE(store.writable());
    EXPECT_EQ(store.lastError(), "");

    SettingsFile second;
    writeBytes(fsPath, gb("[S]\r\nk=v"));
    ASSERT_TRUE(second.open(folder.localFile("settings.ini")));
    EXPECT_EQ(onDisk(), gb("[S]\r\nk=v"));
    second.setSection("S");
    EXPECT_EQ(second.readText("k", "d"), "v");
}

TEST_F(SettingsFileTest, ReopeningDropsTheOldContentAndFollowsTheNewFile) {
    openWith("[S]\r\nk=old");
    writeBytes(folder.file("其它.ini"), "[S]\r\nk=new");
    ASSERT_TRUE(store.open(folder.localFile("其它.ini")));
    store.setSection("S");
    EXPECT_EQ(store.readText("k", "d"), "new");
    ASSERT_TRUE(store.writeText("j", "1"));
    EXPECT_EQ(readBytes(folder.file("其它.ini")), "[S]\r\nj=1\r\nk=new");
    EXPECT_EQ(onDisk(), "[S]\r\nk=old");
}

TEST_F(SettingsFileTest, NewKeysGoDirectlyUnderTheHeaderAndValuesAreReplacedInPlace) {
    openWith();
    store.setSection(gb("基本配置"));
    ASSERT_TRUE(store.writeText(gb("等待"), "500"));
    EXPECT_EQ(onDisk(), crlfLines({"[基本配置]", "等待=500"}));
    ASSERT_TRUE(store.writeText(gb("组合数"), "20"));
    EXPECT_EQ(onDisk(), crlfLines({"[基本配置]", "组合数=20", "等待=500"}));

    // In place, growing and shrinking, on the middle and on the last line.
    ASSERT_TRUE(store.writeText(gb("组合数"), "12345"));
    EXPECT_EQ(onDisk(), crlfLines({"[基本配置]", "组合数=12345", "等待=500"}));
    ASSERT_TRUE(store.writeText(gb("等待"), "7"));
    EXPECT_EQ(onDisk(), crlfLines({"[基本配置]", "组合数=12345", "等待=7"}));
    ASSERT_TRUE(store.writeText(gb("组合数"), "3"));
    const Text expected = crlfLines({"[基本配置]", "组合数=3", "等待=7"});
    EXPECT_EQ(onDisk(), expected);
    EXPECT_EQ(store.content(), expected);
    EXPECT_EQ(store.readText(gb("组合数"), "d"), "3");
}

TEST_F(SettingsFileTest, LineBreakTokenBothWays) {
    openWith();
    store.setSection("S");
    ASSERT_TRUE(store.writeText("head", "a\r\nb\r\n"));
    ASSERT_TRUE(store.writeText("lone", "x\ry\nz"));
    EXPECT_EQ(onDisk(), std::string("[S]\r\nlone=x\ry\nz\r\nhead=a") + kToken + "b" + kToken);
    EXPECT_EQ(store.readText("head", "d"), "a\r\nb\r\n");
    EXPECT_EQ(store.readText("lone", "d"), "x\ry\nz");
    EXPECT_EQ(gb("┊*┊"), kToken);

    // A token the user typed reads back as a line break too.
    ASSERT_TRUE(store.writeText("typed", gb("一┊*┊二")));
    EXPECT_EQ(store.readText("typed", "d"), gb("一\r\n二"));
    // A default takes the same way back: a missing key with a token in its default.
    EXPECT_EQ(store.readText("missing", gb("三┊*┊四")), gb("三\r\n四"));
}

TEST_F(SettingsFileTest, TruthValues) {
    openWith("[S]\r\nyes=真\r\nno=假\r\nupper=TRUE\r\none=1\r\nshi=是\r\nempty=");
    EXPECT_EQ(gb("真"), "\xD5\xE6");
    EXPECT_EQ(gb("假"), "\xBC\xD9");
    store.setSection("S");
    struct Case {
        const char* key;
        bool defaultValue;
        bool expected;
    };
    const Case cases[] = {
        {"yes", false, true},    {"no", true, false},     {"upper", true, false},
        {"one", true, false},    {"shi", true, false},    {"empty", true, true},
        {"empty", false, false}, {"missing", true, true}, {"missing", false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(store.readBool(c.key, c.defaultValue), c.expected)
            << c.key << " default " << c.defaultValue;

    ASSERT_TRUE(store.writeBool("new", false));
    ASSERT_TRUE(store.writeBool("yes", false));
    EXPECT_EQ(onDisk(), gb("[S]\r\nnew=假\r\nyes=假\r\nno=假\r\nupper=TRUE\r\none=1\r\nshi=是\r\nempty="));
}

// Reads from prepared files: what each key yields, and that no read touches the file.
TEST_F(SettingsFileTest, ReadsFindOnlyRealKeysOfTheFirstHeader) {
    struct Case {
        const char* name;
        const char* file;
        const char* section;
        const char* key;
        const char* expected; // "D" is the default passed in
    };
    const Case cases[] = {
        {"plain value", "[S]\r\nk=v", "S", "k", "v"},
        {"value holding =", "[S]\r\nk=a=b\r\nj=1", "S", "k", "a=b"},
        {"empty value", "[S]\r\nk=\r\nj=1", "S", "k", "D"},
        {"empty value at end", "[S]\r\nk=", "S", "k", "D"},
        {"missing section", "[T]\r\nk=v", "S", "k", "D"},
        {"key only begins with the key", "[S]\r\n等待时间=9", "S", "等待", "D"},
        {"blank before =", "[S]\r\n等待 =9", "S", "等待", "D"},
        {"case counts", "[S]\r\nKey=9", "S", "key", "D"},
        {"header text inside a value", "[A]\r\nv=[S]\r\nk=1", "S", "k", "D"},
        {"header after a value holding it", "[A]\r\nv=[S]\r\n[S]\r\nk=1", "S", "k", "1"},
        {"key only under a later section", "[S]\r\na=1\r\n[T]\r\nk=2", "S", "k", "D"},
        {"key of the later section", "[S]\r\na=1\r\n[T]\r\nk=2", "T", "k", "2"},
        {"two headers, key under the first", "[S]\r\nk=1\r\n[S]\r\nj=2", "S", "k", "1"},
        {"two headers, key under the second", "[S]\r\nk=1\r\n[S]\r\nj=2", "S", "j", "D"},
        {"LF only, first line header", "[S]\nk=1\n[T]\nj=2", "S", "k", "D"},
        {"LF only, later header", "[S]\nk=1\n[T]\nj=2", "T", "j", "D"},
        {"text after the ] is ignored", "[S] note\r\nk=v", "S", "k", "v"},
        {"bracketed text in a value is no header", "[S]\r\nv=[x]\r\nk=v", "S", "k", "v"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Text bytes = gb(c.file);
        writeBytes(fsPath, bytes);
        ASSERT_TRUE(store.open(folder.localFile("settings.ini")));
        store.setSection(gb(c.section));
        EXPECT_EQ(store.readText(gb(c.key), "D"), gb(c.expected));
        EXPECT_EQ(onDisk(), bytes);
        EXPECT_EQ(store.content(), bytes);
    }
}

// Writes into prepared files: the exact bytes afterwards.
TEST_F(SettingsFileTest, WritesPlaceKeysUnderTheFirstRealHeader) {
    struct Case {
        const char* name;
        const char* file;
        const char* section;
        const char* key;
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"empty value filled", "[S]\r\nk=\r\nj=1", "S", "k", "v", "[S]\r\nk=v\r\nj=1"},
        {"key only begins with the key", "[S]\r\n等待时间=9", "S", "等待", "1",
         "[S]\r\n等待=1\r\n等待时间=9"},
        {"blank before =", "[S]\r\n等待 =9", "S", "等待", "1", "[S]\r\n等待=1\r\n等待 =9"},
        {"header text inside a value", "[A]\r\nv=[S]", "S", "k", "1", "[A]\r\nv=[S]\r\n[S]\r\nk=1"},
        {"key only under a later section", "[S]\r\na=1\r\n[T]\r\nk=2", "S", "k", "3",
         "[S]\r\nk=3\r\na=1\r\n[T]\r\nk=2"},
        {"two headers, existing key under the second", "[S]\r\nk=1\r\n[S]\r\nj=2", "S", "j", "3",
         "[S]\r\nj=3\r\nk=1\r\n[S]\r\nj=2"},
        {"two headers, key under the first", "[S]\r\nk=1\r\n[S]\r\nk=2", "S", "k", "5",
         "[S]\r\nk=5\r\n[S]\r\nk=2"},
        {"LF only, first line header", "[S]\nk=1\n", "S", "k", "2", "[S]\r\nk=2\r\n\nk=1\n"},
        {"note after the header", "[S] note\r\nk=v", "S", "j", "1", "[S]\r\nj=1\r\n note\r\nk=v"},
        {"header at the very end", "[S]", "S", "k", "1", "[S]\r\nk=1"},
        {"LF only, later header", "x\n[S]\nk=1", "S", "k", "2", "x\n[S]\nk=1\r\n[S]\r\nk=2"},
        {"file ending in CR LF", "[S]\r\nk=1\r\n", "T", "j", "2", "[S]\r\nk=1\r\n\r\n[T]\r\nj=2"},
        {"new section after others", "[S]\r\nk=1", "T", "j", "2", "[S]\r\nk=1\r\n[T]\r\nj=2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(fsPath, gb(c.file));
        ASSERT_TRUE(store.open(folder.localFile("settings.ini")));
        store.setSection(gb(c.section));
        EXPECT_TRUE(store.writeText(gb(c.key), gb(c.value)));
        EXPECT_EQ(onDisk(), gb(c.expected));
        EXPECT_EQ(store.content(), gb(c.expected));
        EXPECT_EQ(store.readText(gb(c.key), "D"), gb(c.value));
    }
}

TEST_F(SettingsFileTest, CheckedStateIsKeyedByTheCaption) {
    openWith();
    store.setSection("S");
    MemoryForm form;
    form.set("box", "自动去除网址");
    form.setChecked("box", false);
    ASSERT_TRUE(store.saveCheckedState(form, "box"));
    EXPECT_EQ(onDisk(), gb("[S]\r\n自动去除网址=假"));

    form.setChecked("box", true);
    EXPECT_FALSE(store.loadCheckedState(form, "box")); // set also when the stored state is false
    EXPECT_FALSE(form.isChecked("box"));

    // A renamed caption is a different key: the control keeps its state.
    form.set("box", "去除网址");
    form.setChecked("box", true);
    EXPECT_TRUE(store.loadCheckedState(form, "box"));
    EXPECT_TRUE(form.isChecked("box"));
}

TEST_F(SettingsFileTest, PendingEventsAreHandledOncePerSectionPass) {
    openWith("[A]\r\nv=[S]\r\n[S]\r\nk=1");
    store.setSection("S");
    struct Case {
        const char* name;
        std::function<void()> action;
        int passes;
    };
    const Case cases[] = {
        {"read past a header text in a value", [&] { store.readText("k", ""); }, 2},
        {"replace an existing value", [&] { store.writeText("k", "2"); }, 2},
        {"insert a key, then set it", [&] { store.writeText("j", "3"); }, 3},
        {"append a section, insert, set",
         [&] {
             store.setSection("T");
             store.writeText("k", "4");
         },
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events.eventCalls = 0;
        c.action();
        EXPECT_EQ(events.eventCalls, c.passes);
    }
    EXPECT_EQ(onDisk(), "[A]\r\nv=[S]\r\n[S]\r\nj=3\r\nk=2\r\n[T]\r\nk=4");
}

TEST_F(SettingsFileTest, WriteKeepsItsSectionWhenAnEventSelectsAnother) {
    openWith();
    store.setSection("S");
    events.onEvents = [&] { store.setSection("T"); };
    ASSERT_TRUE(store.writeText("k", "1"));
    EXPECT_EQ(onDisk(), "[S]\r\nk=1");
}

TEST_F(SettingsFileTest, SectionThatNeverBecomesFindableGivesUpAfterElevenAppends) {
    // An event handler that reopens the store on a file that cannot be written: each pass
    // starts from empty content again, so the header appended in the pass before is gone.
    openWith();
    const Text unwritable = folder.localFile("missing-folder/settings.ini");
    events.onEvents = [&] { store.open(unwritable); };
    store.setSection("S");
    EXPECT_FALSE(store.writeText("k", "1"));
    EXPECT_EQ(events.eventCalls, 11);
    ASSERT_EQ(events.messages.size(), 2u);
    EXPECT_EQ(events.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(events.messages[0].title, gb("栎岚："));
    EXPECT_EQ(events.messages[0].text, gb("配置模块出现意外，可能导致无法正常保存！详情请咨询栎岚。"));
    EXPECT_EQ(events.messages[1].kind, MessageKind::Information);
    EXPECT_EQ(events.messages[1].title, gb("信息："));
    EXPECT_EQ(events.messages[1].text, "[S]");
}

TEST_F(SettingsFileTest, UnwritableFileReportsFailureAndKeepsValuesInMemory) {
    struct Case {
        const char* name;
        std::string fsPath;
    };
    std::filesystem::create_directory(folder.file("a-folder"));
    const Case cases[] = {
        {"folder does not exist", folder.file("no-such-folder/settings.ini")},
        {"path is a folder", folder.file("a-folder")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFile file;
        EXPECT_FALSE(file.open(gb(c.fsPath)));
        EXPECT_FALSE(file.writable());
        const Text error = file.lastError();
        EXPECT_NE(error.find(gb(c.fsPath)), Text::npos) << testing::u8(error);

        file.setSection("S");
        EXPECT_FALSE(file.writeText("k", "kept"));
        EXPECT_FALSE(file.writeBool("b", true));
        EXPECT_EQ(file.readText("k", "d"), "kept");
        EXPECT_TRUE(file.readBool("b", false));
        EXPECT_EQ(file.content(), gb("[S]\r\nb=真\r\nk=kept"));
        EXPECT_TRUE(std::filesystem::is_directory(folder.file("a-folder")));
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("no-such-folder")));
}

TEST_F(SettingsFileTest, FailedWriteIsReportedAndMendedByTheNextWrite) {
    openWith();
    store.setSection("S");
    ASSERT_TRUE(store.writeText("k", "1"));

    // Let the file grow no further than 16 bytes; the write past that fails with the
    // system's file-size error instead of a signal.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = store.writeText("long", "0123456789abcdef");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_FALSE(store.writable());
    EXPECT_NE(store.lastError().find(store.path()), Text::npos);
    EXPECT_NE(onDisk(), store.content());
    EXPECT_EQ(store.readText("long", "d"), "0123456789abcdef");

    // A later write that changes only the end of the file still brings all of it up to date.
    ASSERT_TRUE(store.writeText("k", "2"));
    EXPECT_TRUE(store.writable());
    EXPECT_EQ(store.lastError(), "");
    EXPECT_EQ(onDisk(), "[S]\r\nlong=0123456789abcdef\r\nk=2");
}

} // namespace
} // namespace lilan
