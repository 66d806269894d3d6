#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include "compose/article.h"
#include "support/memory_form.h"
#include "support/temp_folder.h"
#include "text/platform.h"

namespace lilan {
namespace {

using testing::gb;
using testing::MemoryForm;
using testing::RecordingPlatform;
using testing::TempFolder;
namespace fs = std::filesystem;

const char* const kDefaultHead =
    "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />\r\n"
    "<title>网友对《#标题#》的评论</title>\r\n</head>\r\n<body>\r\n";
const char* const kDefaultTail = "</body>\r\n</html>";

// A window as the user leaves it before a run: output into `folder`, named by the title.
MemoryForm articleForm(const std::string& folder) {
    MemoryForm form;
    form.setText("编辑框保存文件夹", folder);
    form.set("编辑框文件扩展名", "htm");
    form.set("编辑框头", "<h>#标题#</h>\r\n");
    form.set("编辑框尾", "\r\n<t>www.tail.cn</t>");
    form.set("编辑框匹配式", "字符1|字符2|字符3");
    form.set("编辑框替换式", "新字符1|新字符2|新字符3");
    form.setChecked("单选框新闻标题", true);
    return form;
}

struct Written {
    ArticleResult result;
    Text article;
};

Written write(const MemoryForm& form, const Text& body, ArticleContext& context) {
    Written written{{}, body};
    written.result = writeArticle(form, written.article, context);
    return written;
}

TEST(ArticleWriting, DefaultSettingsGiveTheExactPage) {
    RecordingPlatform platform;
    TempFolder temp;
    MemoryForm form = articleForm(temp.path());
    form.set("编辑框头", kDefaultHead);
    form.set("编辑框尾", kDefaultTail);
    ArticleContext context{gb("天气"), false, false};

    const Written written = write(form, gb("北京网友<b>abc</b>说：好<br>\r\n"), context);

    const Text expected = gb("<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
                             "charset=gb2312\" />\r\n<title>网友对《天气》的评论</title>\r\n</head>\r\n"
                             "<body>\r\n北京网友<b>abc</b>说：好<br>\r\n</body>\r\n</html>");
    EXPECT_TRUE(written.result.made);
    EXPECT_EQ(written.result.name, gb("天气"));
    EXPECT_EQ(written.article, expected);
    EXPECT_EQ(testing::readBytes(temp / "天气.htm"), expected);
    // Stored in the local code page as it stands: "好" is BA C3, no byte-order mark.
    EXPECT_NE(expected.find("\xBA\xC3"), Text::npos);
    EXPECT_EQ(expected.substr(0, 6), "<html>");
    EXPECT_TRUE(platform.messages.empty());
}

TEST(ArticleWriting, CleansTheBodyAsTheWindowSays) {
    enum Flag { Addresses = 1, Tags = 2, Replace = 4, Regex = 8, IgnoreCase = 16 };
    struct Case {
        const char* name;
        int flags;
        const char* find;        // nullptr: the window's default
        const char* replacement; // nullptr: the window's default
        const char* body;
        const char* expected;
    };
    const Case cases[] = {
        {"nothing checked", 0, nullptr, nullptr, "a<b>x</b> http://q.cn/1", "a<b>x</b> http://q.cn/1"},
        {"template tags removed", Tags, nullptr, nullptr, "北京网友<b>abc</b>说：好<br>\r\n",
         "北京网友abc说：好\r\n"},
        {"empty angle pair without a later > stays", Tags, nullptr, nullptr, "a<>b", "a<>b"},
        {"tag across a line break", Tags, nullptr, nullptr, "x<y\r\nz>w", "xw"},
        {"address with scheme up to a blank", Addresses, nullptr, nullptr, "a http://x.cn/?q=1\tb", "a \tb"},
        {"www without scheme", Addresses, nullptr, nullptr, "去www.abc.com看", "去看"},
        {"address in capitals", Addresses, nullptr, nullptr, "WWW.ABC.COM 好", " 好"},
        {"address takes a full-width comma", Addresses, nullptr, nullptr, "见http://a.cn，好", "见好"},
        {"address takes a full stop", Addresses, nullptr, nullptr, "见https://a.cn/x。好", "见好"},
        {"address ends before an ideograph", Addresses, nullptr, nullptr, "http://a.cn/x中国", "中国"},
        {"word beginning with www", Addresses, nullptr, nullptr, "wwwxyz的 b", "的 b"},
        {"address tried before tag", Addresses | Tags, nullptr, nullptr, "http://x.cn/<b>粗</b>", "粗"},
        {"tag holding an address", Addresses | Tags, nullptr, nullptr, "<a href=\"http://x.cn\">链</a>",
         "链"},
        {"plain default lists", Replace, nullptr, nullptr, "字符1字符2字符3", "新字符1新字符2新字符3"},
        {"plain fewer replacements delete", Replace, "a|b|c", "x", "abcabc", "xx"},
        {"plain pairs chain", Replace, "a|b", "b|c", "ab", "cc"},
        {"plain empty item", Replace, "a||b", "1|2|3", "ab||", "13||"},
        {"plain case sensitive", Replace, "abc", "x", "abc ABC", "x ABC"},
        {"plain ignoring case", Replace | IgnoreCase, "abc", "x", "abc ABC", "x x"},
        {"regex group reference", Replace | Regex, "(\\d+)元", "$1块", "共5元和12元", "共5块和12块"},
        {"regex case sensitive", Replace | Regex, "abc", "x", "abc ABC", "x ABC"},
        {"regex ignoring case", Replace | Regex | IgnoreCase, "abc", "x", "abc ABC", "x x"},
        {"regex rejected empties the body", Replace | Regex, "(", "x", "正文", ""},
        {"regex empty pattern reuses the removal", Addresses | Tags | Replace | Regex, "", "[X]",
         "ww<i>w.x.cn 好", "[X] 好"},
        {"regex empty pattern without removal", Replace | Regex, "", "[X]", "a<b>c", "a<b>c"},
        {"replacement unchecked", Regex, "a", "x", "abc", "abc"},
        {"comma entity always", 0, nullptr, nullptr, "1&#44;2", "1，2"},
        {"comma entity after the user's replacement", Replace, "x", "&#44;", "axb", "a，b"},
        {"title placeholder in the body", Tags, nullptr, nullptr, "<i>#标题#</i>", "新闻"},
    };
    RecordingPlatform platform;
    for (const Case& c : cases) {
        TempFolder temp;
        MemoryForm form = articleForm(temp.path());
        form.setChecked("选择框自动去除网址", c.flags & Addresses);
        form.setChecked("选择框自动去除标签", c.flags & Tags);
        form.setChecked("选择框替换", c.flags & Replace);
        form.setChecked("选择框正则", c.flags & Regex);
        form.setChecked("选择框忽略大小写", c.flags & IgnoreCase);
        if (c.find) form.set("编辑框匹配式", c.find);
        if (c.replacement) form.set("编辑框替换式", c.replacement);
        ArticleContext context{gb("新闻"), false, false};

        const Written written = write(form, gb(c.body), context);

        // Head and tail are never cleaned, but their title placeholder is filled.
        const Text expected = gb(std::string("<h>新闻</h>\r\n") + c.expected + "\r\n<t>www.tail.cn</t>");
        EXPECT_TRUE(written.result.made) << c.name;
        EXPECT_EQ(written.article, expected) << c.name;
        EXPECT_EQ(testing::readBytes(temp / "新闻.htm"), expected) << c.name;
    }
    EXPECT_TRUE(platform.messages.empty());
}

TEST(ArticleWriting, ReadsTheWindowAgainForEveryArticle) {
    RecordingPlatform platform;
    TempFolder temp;
    MemoryForm form = articleForm(temp.path());
    form.set("编辑框头", "");
    form.set("编辑框尾", "");
    ArticleContext context{"t", false, false};

    EXPECT_EQ(write(form, "<b>x</b>", context).article, "<b>x</b>");
    form.setChecked("选择框自动去除标签", true);
    form.set("编辑框文件扩展名", "txt");
    EXPECT_EQ(write(form, "<b>x</b>", context).article, "x");
    EXPECT_EQ(temp.names(), (std::set<std::string>{"t.htm", "t.txt"}));
}

// The window handles its events between two tried names, so a folder changed there is the
// folder of the next try.
TEST(ArticleWriting, ReadsTheFolderAgainForEveryNameTried) {
    TempFolder temp;
    MemoryForm form = articleForm(temp.path() + "/a");
    std::filesystem::create_directories(temp / "a");
    std::filesystem::create_directories(temp / "b");
    testing::writeBytes(temp / "a/t.htm", "old");
    RecordingPlatform platform;
    platform.onEvents = [&] { form.set("编辑框保存文件夹", temp.path() + "/b"); };
    ArticleContext context{"t", false, false};
    EXPECT_TRUE(write(form, "x", context).result.made);
    EXPECT_EQ(temp.names("a"), (std::set<std::string>{"t.htm"}));
    EXPECT_EQ(temp.names("b"), (std::set<std::string>{"t1.htm"}));
}

TEST(ArticleNaming, NamesByTitleOrByARandomSentence) {
    struct Case {
        const char* name;
        bool byTitle;
        const char* title;
        const char* body;
        const char* expectedName;
        const char* expectedFile;
    };
    const Case cases[] = {
        {"title", true, "天气预报", "正文", "天气预报", "天气预报.htm"},
        {"title with reserved characters", true, "真的?是:否", "正文", "真的?是:否", "真的？是：否.htm"},
        {"title with a slash stays in the folder", true, "../上/级", "正文", "../上/级", "..／上／级.htm"},
        {"empty title", true, "", "正文", "", ".htm"},
        {"random sentence", false, "标题", "短句，这是一个足够长的句子啊啊啊。好",
         "这是一个足够长的句子啊啊啊", "这是一个足够长的句子啊啊啊.htm"},
    };
    RecordingPlatform platform;
    for (const Case& c : cases) {
        TempFolder temp;
        MemoryForm form = articleForm(temp.path());
        form.set("编辑框头", "");
        form.set("编辑框尾", "");
        form.setChecked("单选框新闻标题", c.byTitle);
        ArticleContext context{gb(c.title), false, false};

        const Written written = write(form, gb(c.body), context);

        EXPECT_TRUE(written.result.made) << c.name;
        EXPECT_EQ(written.result.name, gb(c.expectedName)) << c.name;
        EXPECT_EQ(temp.names(), (std::set<std::string>{c.expectedFile})) << c.name;
        EXPECT_EQ(testing::readBytes(temp / c.expectedFile), gb(c.body)) << c.name;
    }
}

TEST(ArticleNaming, NumbersPastExistingFilesAndFolders) {
    RecordingPlatform platform;
    TempFolder temp;
    const MemoryForm form = articleForm(temp.path());
    testing::writeBytes(temp / "标题.htm", "old");
    fs::create_directory(temp / "标题1.htm");
    // A link to nowhere occupies its name too: writing through it would create a file elsewhere.
    fs::create_symlink(temp / "elsewhere.htm", temp / "标题2.htm");
    ArticleContext context{gb("标题"), false, false};

    write(form, "a", context);
    write(form, "b", context);

    EXPECT_EQ(testing::readBytes(temp / "标题.htm"), "old");
    EXPECT_TRUE(fs::is_directory(temp / "标题1.htm"));
    EXPECT_TRUE(fs::is_symlink(temp / "标题2.htm"));
    EXPECT_FALSE(fs::exists(temp / "elsewhere.htm"));
    EXPECT_EQ(testing::readBytes(temp / "标题3.htm"), gb("<h>标题</h>\r\na\r\n<t>www.tail.cn</t>"));
    EXPECT_EQ(testing::readBytes(temp / "标题4.htm"), gb("<h>标题</h>\r\nb\r\n<t>www.tail.cn</t>"));
    // Every occupied candidate lets the window breathe.
    EXPECT_EQ(platform.eventCalls, 3 + 4);
}

TEST(ArticleNaming, CreatesTheFolderAndNumbersEmptyNames) {
    RecordingPlatform platform;
    TempFolder temp;
    const MemoryForm form = articleForm(temp.path() + "/" + gb("新/子"));
    ArticleContext context{"", false, false};

    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(write(form, "x", context).result.made);

    EXPECT_EQ(temp.names("新/子"), (std::set<std::string>{".htm", "1.htm", "2.htm"}));
}

TEST(ArticleNaming, ShortensNamesTheFileSystemWouldRefuseAtACharacterBoundary) {
    struct Case {
        const char* name;
        std::string unit; // UTF-8
        int repeat;
        int kept; // units kept: 255 bytes less the suffix, in whole characters after the leading "a"
    };
    const Case cases[] = {
        {"three-byte characters", "长", 100, 83}, // 1 + 83 * 3 = 250 <= 255 - 5
        {"four-byte characters", "😀", 100, 62},   // 1 + 62 * 4 = 249 <= 255 - 5
    };
    RecordingPlatform platform;
    for (const Case& c : cases) {
        TempFolder temp;
        const MemoryForm form = articleForm(temp.path());
        std::string title = "a", stem = "a";
        for (int i = 0; i < c.repeat; ++i)
            title += c.unit;
        for (int i = 0; i < c.kept; ++i)
            stem += c.unit;
        ArticleContext context{gb(title), false, false};

        EXPECT_TRUE(write(form, "one", context).result.made) << c.name;
        const Written second = write(form, "two", context);

        EXPECT_TRUE(second.result.made) << c.name;
        EXPECT_EQ(second.result.name, gb(title)) << c.name;
        EXPECT_EQ(temp.names(), (std::set<std::string>{stem + ".htm", stem + "1.htm"})) << c.name;
        EXPECT_NE(testing::readBytes(temp / (stem + "1.htm")).find("two"), std::string::npos) << c.name;
    }
    EXPECT_TRUE(platform.messages.empty());
}

TEST(ArticlePreview, ShowsTheArticleUnderItsNameAndWritesNothing) {
    RecordingPlatform platform;
    TempFolder temp;
    const MemoryForm form = articleForm(temp.path() + "/out");
    ArticleContext context{gb("天气?"), true, false};

    const Written written = write(form, "body", context);

    EXPECT_TRUE(written.result.made);
    EXPECT_EQ(written.result.name, gb("天气?"));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, gb("<h>天气?</h>\r\nbody\r\n<t>www.tail.cn</t>"));
    EXPECT_EQ(platform.messages[0].title, gb("天气?"));
    EXPECT_EQ(platform.messages[0].kind, MessageKind::Information);
    EXPECT_TRUE(fs::is_directory(temp / "out"));
    EXPECT_TRUE(temp.names("out").empty());
}

// Lowers the file size limit for one test; a write past it fails with EFBIG, even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST(ArticleFailure, ReportsOncePerRunAndDoesNotCountTheArticle) {
    struct Case {
        const char* name;
        int error;
        std::function<void(TempFolder&, MemoryForm&)> prepare;
        bool limitFileSize;
    };
    const Case cases[] = {
        {"output folder is a file", ENOTDIR,
         [](TempFolder& temp, MemoryForm& form) {
             testing::writeBytes(temp / "plain", "keep");
             form.setText("编辑框保存文件夹", temp.path() + "/plain");
         },
         false},
        {"extension too long for any name", ENAMETOOLONG,
         [](TempFolder&, MemoryForm& form) { form.setText("编辑框文件扩展名", std::string(300, 'x')); },
         false},
        {"file system refuses the bytes", EFBIG, [](TempFolder&, MemoryForm&) {}, true},
    };
    for (const Case& c : cases) {
        RecordingPlatform platform;
        TempFolder temp;
        MemoryForm form = articleForm(temp.path());
        c.prepare(temp, form);
        ArticleContext context{"t", false, false};
        std::optional<FileSizeLimit> limit;
        if (c.limitFileSize) limit.emplace(8);

        const Written first = write(form, "a body longer than the limit", context);
        const Written second = write(form, "again", context);
        limit.reset();

        EXPECT_FALSE(first.result.made) << c.name;
        EXPECT_FALSE(second.result.made) << c.name;
        EXPECT_EQ(first.result.name, "t") << c.name;
        EXPECT_TRUE(context.failureReported) << c.name;
        ASSERT_EQ(platform.messages.size(), 1u) << c.name;
        const auto& message = platform.messages[0];
        EXPECT_EQ(message.title, programTitle()) << c.name;
        EXPECT_EQ(message.kind, MessageKind::Warning) << c.name;
        const Text path = form.text("编辑框保存文件夹") + "/t." + form.text("编辑框文件扩展名");
        EXPECT_NE(message.text.find(path), Text::npos) << c.name << ": " << message.text;
        EXPECT_NE(message.text.find(std::strerror(c.error)), Text::npos) << c.name << ": " << message.text;
        // Nothing half-written stays behind, and what was there is untouched.
        EXPECT_FALSE(fs::exists(temp / "t.htm")) << c.name;
        if (fs::is_regular_file(temp / "plain")) {
            EXPECT_EQ(testing::readBytes(temp / "plain"), "keep");
        }
    }
}

TEST(ArticleFailure, AnEarlierReportSilencesLaterFailures) {
    RecordingPlatform platform;
    TempFolder temp;
    MemoryForm form = articleForm(temp.path());
    form.setText("编辑框文件扩展名", std::string(300, 'x'));
    ArticleContext context{"t", false, true};

    EXPECT_FALSE(write(form, "x", context).result.made);
    EXPECT_TRUE(platform.messages.empty());
}

} // namespace
} // namespace lilan
