#include "collector/address_collector.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fixture_site.h"
#include "support/memory_form.h"
#include "support/temp_folder.h"
#include "web/hosts.h"

namespace lilan::testing {
namespace {

using ::testing::AnyOf;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace fs = std::filesystem;

constexpr const char* kButton = "按钮开始采集";

// The news-site links the fixture site puts in the link block of a column's list page (the
// block also holds a link to another site, which must be dropped), each with "\r\n".
std::string columnLinks(int column, int page) {
    std::string lines;
    char address[64];
    for (int k = 1; k <= 9; ++k) {
        const char* host = k == 9 ? "NEWS.QQ.COM" : "news.qq.com";
        std::snprintf(address, sizeof address, "http://%s/a/20130829/%06d.htm", host,
                      column * 10000 + page * 100 + k);
        lines += std::string(address) + "\r\n";
    }
    return lines;
}

std::string expectedPages(int column, int lastPage) {
    std::string lines;
    for (int page = 1; page <= lastPage; ++page)
        lines += columnLinks(column, page);
    return lines;
}

std::vector<Text> pageCaptions(int lastPage) {
    std::vector<Text> captions;
    for (int page = 1; page <= lastPage; ++page)
        captions.push_back(gb("正在采集第 " + std::to_string(page) + " 页.."));
    captions.push_back(gb("新闻地址采集器"));
    return captions;
}

class CollectorTest : public ::testing::Test {
protected:
    CollectorTest() : proxy(site) {
        form.set(kButton, "开始采集");
        form.texts["编辑框保存文件"] = output().string();
        form.set("编辑框采集页数", "80");
        form.set("组合框地址模板", "http://coral.qq.com/#递增#");
        form.set("编辑框最小", "1");
        form.set("编辑框最大", "300");
        form.checked["单选框按栏目"] = true;
        form.checked["单选框时政"] = true;
        // Left over from an earlier collection: a new one must clear it.
        stopRequested = true;
    }

    fs::path output() const { return folder / "addresses.txt"; }

    void byIncrement(std::string_view utf8Template, const char* lowest, const char* highest) {
        form.checked["单选框按栏目"] = false;
        form.checked["单选框按递增"] = true;
        form.set("组合框地址模板", utf8Template);
        form.set("编辑框最小", lowest);
        form.set("编辑框最大", highest);
    }

    void byColumn(const char* control, const char* maxPages) {
        for (const CollectorColumn& column : collectorColumns())
            form.checked[column.control] = false;
        if (control) form.checked[control] = true;
        form.set("编辑框采集页数", maxPages);
    }

    void click() { collectorButtonClicked(form, services); }

    // The request targets as they reached the site through the proxy.
    std::vector<std::string> requestedTargets() {
        std::vector<std::string> targets;
        for (const RecordedRequest& request : site.requests())
            targets.push_back(request.target);
        return targets;
    }

    void expectFinished(const char* utf8Message = "采集完成") {
        EXPECT_EQ(form.text(kButton), gb("开始采集"));
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, gb(utf8Message));
        EXPECT_EQ(platform.messages[0].title, infoTitle());
        EXPECT_EQ(platform.messages[0].kind, MessageKind::Information);
    }

    FixtureSite site;
    ScopedProxy proxy;
    TempFolder folder;
    MemoryForm form;
    RecordingPlatform platform;
    InetClient inet{std::chrono::seconds(20)};
    bool stopRequested = false;
    CollectorServices services{inet, stopRequested};
};

TEST_F(CollectorTest, IncrementWritesOneLinePerNumber) {
    struct Case {
        const char* name;
        const char* templateText;
        const char* lowest;
        const char* highest;
        std::string expected;
    };
    const Case cases[] = {
        {"default template", "http://coral.qq.com/#递增#", "1", "3",
         "http://coral.qq.com/1\r\nhttp://coral.qq.com/2\r\nhttp://coral.qq.com/3\r\n"},
        {"marker several times", "a#递增#b/#递增#.htm", "9", "10", "a9b/9.htm\r\na10b/10.htm\r\n"},
        {"no marker", "x", "1", "2", "x\r\nx\r\n"},
        {"lowest above highest", "#递增#", "5", "4", ""},
        {"texts that are no numbers read 0", "#递增#", "全部", "1", "0\r\n1\r\n"},
        {"negative numbers", "#递增#", "-1", "1", "-1\r\n0\r\n1\r\n"},
        {"highest at the top of the range", "#递增#", "9223372036854775806", "99999999999999999999",
         "9223372036854775806\r\n9223372036854775807\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.messages.clear();
        form.captions.clear();
        stopRequested = true;
        // An existing list is emptied, not appended to.
        std::ofstream(output(), std::ios::binary) << "old line\r\n";
        byIncrement(c.templateText, c.lowest, c.highest);

        click();

        EXPECT_EQ(readBytes(output()), gb(c.expected));
        EXPECT_THAT(form.captions, ElementsAre(gb("新闻地址采集器")));
        expectFinished();
    }
    EXPECT_THAT(site.requests(), IsEmpty());
}

TEST_F(CollectorTest, IncrementStopsAtTheNextLineWhenAskedWhileHandlingEvents) {
    byIncrement("#递增#", "1", "1000000000");
    std::vector<Text> buttonSeen;
    platform.onEvents = [&] {
        buttonSeen.push_back(form.text(kButton));
        if (platform.eventCalls == 5) click();
    };

    click();

    EXPECT_EQ(readBytes(output()), "1\r\n2\r\n3\r\n4\r\n5\r\n");
    EXPECT_EQ(platform.eventCalls, 5);
    EXPECT_EQ(buttonSeen.front(), gb("停止采集"));
    EXPECT_TRUE(stopRequested);
    expectFinished();
}

TEST_F(CollectorTest, EveryColumnReadsItsFirstListPageWithItsParser) {
    const char* paths[] = {
        "/newsgn/zhxw/shizhengxinwen.htm",       "/newsgn/gdxw/gedixinwen.htm",
        "/l/newsgj/rdzh/guojishishi.htm",        "/l/newsgj/chouwe/guojihuabian.htm",
        "/newssh/shwx/shehuiwanxiang.htm",       "/l/newssh/qwqs/qiwenqushi.htm",
        "/l/milite/milgn/list2010122872223.htm", "/l/milite/zhoubiansaomiao/list2012095132256.htm",
    };
    ASSERT_EQ(collectorColumns().size(), 8u);
    for (int i = 0; i < 8; ++i) {
        const CollectorColumn& column = collectorColumns()[i];
        SCOPED_TRACE(column.control);
        site.reset();
        platform.messages.clear();
        form.captions.clear();
        byColumn(column.control, "1");

        click();

        EXPECT_THAT(requestedTargets(), ElementsAre(std::string(NewsSiteBase) + paths[i]));
        EXPECT_EQ(readBytes(output()), columnLinks(i + 1, 1));
        EXPECT_THAT(form.captions, ElementsAreArray(pageCaptions(1)));
        expectFinished();
    }
}

TEST_F(CollectorTest, ColumnPagesFollowTheLimitOrRunUntilAPageHasNoLink) {
    struct Case {
        const char* control;
        int column;
        const char* maxPages;
        int lastPage;     // the last page asked for
        int writtenPages; // the fixture's pages after the third are error pages
    };
    const Case cases[] = {
        {"单选框时政", 1, "2", 2, 2},
        {"单选框时政", 1, "0", 4, 3},
        {"单选框周边", 8, "-3", 4, 3},
        {"单选框军情", 7, "不限", 4, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.control) + " " + c.maxPages);
        site.reset();
        platform.messages.clear();
        form.captions.clear();
        byColumn(c.control, c.maxPages);

        click();

        const std::string pattern = std::string(NewsSiteBase) + collectorColumns()[c.column - 1].pathPattern;
        std::vector<std::string> expectedTargets;
        for (int page = 1; page <= c.lastPage; ++page) {
            const std::string suffix = page == 1 ? "" : "_" + std::to_string(page);
            std::string target = pattern;
            target.replace(target.find('*'), 1, suffix);
            expectedTargets.push_back(target);
        }
        EXPECT_THAT(requestedTargets(), ElementsAreArray(expectedTargets));
        EXPECT_EQ(readBytes(output()), expectedPages(c.column, c.writtenPages));
        EXPECT_THAT(form.captions, ElementsAreArray(pageCaptions(c.lastPage)));
        expectFinished();
    }
}

TEST_F(CollectorTest, ColumnStopsAfterThePageInProgress) {
    // Served for every page number, so only a stop request ends the collection.
    const std::string page = "<div class=\"mod newslist\"><a href=\"http://news.qq.com/a/1.htm\">x</a></div>";
    for (int n = 1; n <= 12; ++n) {
        site.setPage(std::string("/newsgn/zhxw/shizhengxinwen") + (n == 1 ? "" : "_" + std::to_string(n)) +
                         ".htm",
                     page);
    }
    byColumn("单选框时政", "0");
    bool clicked = false;
    platform.onEvents = [&] {
        if (!clicked && form.captions.back() == gb("正在采集第 2 页..")) {
            clicked = true;
            click();
            EXPECT_EQ(form.text(kButton), gb("停止中.."));
        }
    };

    click();

    // The request arrives either while page 2 is being fetched (which is finished and written
    // first) or just after it, before page 3 is asked for.
    const size_t pages = requestedTargets().size();
    EXPECT_THAT(pages, AnyOf(2u, 3u));
    std::string expected;
    for (size_t n = 0; n < pages; ++n)
        expected += "http://news.qq.com/a/1.htm\r\n";
    EXPECT_EQ(readBytes(output()), expected);
    EXPECT_THAT(form.captions, ElementsAreArray(pageCaptions(static_cast<int>(pages))));
    expectFinished();
}

TEST_F(CollectorTest, LinkBlocksKeepOnlyLinksToTheNewsSite) {
    struct Case {
        const char* name;
        const char* control;
        std::string path;
        std::string page;
        std::string expected;
    };
    const std::string outside = "<a href=\"http://news.qq.com/outside.htm\">o</a>";
    const Case cases[] = {
        {"parser B", "单选框社会", "/newssh/shwx/shehuiwanxiang.htm",
         outside +
             "<DIV class=\"mod newslist\"><ul>"
             "<li><a href=\"http://news.qq.com/a/1.htm\">1</a></li>"
             "<li><a href=\"http://sports.qq.com/a/2.htm\">2</a></li>"
             "<li><a href=\"http://News.QQ.com/a/3.htm\">3</a></li>"
             "<li><a href=\"http://news.qq.com:8080/a/4.htm\">4</a></li>"
             "<li><a href=\"/a/5.htm\">5</a></li>"
             "<li><a href=\"http://news.qq.com.evil.example/a/6.htm\">6</a></li>"
             "<li><a href=\"http://news.qq.com/a/1.htm\">1 again</a></li>"
             "</ul></div>" +
             outside,
         "http://news.qq.com/a/1.htm\r\nhttp://News.QQ.com/a/3.htm\r\nhttp://news.qq.com:8080/a/4.htm\r\n"
         "http://news.qq.com/a/1.htm\r\n"},
        {"parser A", "单选框军情", "/l/milite/milgn/list2010122872223.htm",
         outside +
             "<div class=\"box_hr16\"></div><a href=\"http://news.qq.com/a/7.htm\">7</a>"
             "<div>nested</div><a href=\"http://NEWS.QQ.COM/a/8.htm\">8</a>"
             "<div class=\"box_hr16\"></div>" +
             outside,
         "http://news.qq.com/a/7.htm\r\nhttp://NEWS.QQ.COM/a/8.htm\r\n"},
        {"an empty href ends the page", "单选框时政", "/newsgn/zhxw/shizhengxinwen.htm",
         "<div class=\"mod newslist\"><a href=\"http://news.qq.com/a/9.htm\">9</a>"
         "<a href=\"\">empty</a><a href=\"http://news.qq.com/a/10.htm\">10</a></div>",
         "http://news.qq.com/a/9.htm\r\n"},
        {"no link block", "单选框时政", "/newsgn/zhxw/shizhengxinwen.htm", outside, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        site.reset();
        platform.messages.clear();
        site.setPage(c.path, c.page, "text/html", 200, NewsSiteHost);
        byColumn(c.control, "1");

        click();

        EXPECT_EQ(readBytes(output()), c.expected);
        expectFinished();
    }
}

TEST_F(CollectorTest, WithoutACheckedColumnNothingIsFetched) {
    byColumn(nullptr, "0");

    click();

    EXPECT_THAT(site.requests(), IsEmpty());
    EXPECT_TRUE(fs::exists(output()));
    EXPECT_EQ(readBytes(output()), "");
    EXPECT_THAT(form.captions, ElementsAreArray(pageCaptions(1)));
    expectFinished();
}

TEST_F(CollectorTest, MissingFoldersOfTheOutputFileAreCreated) {
    const fs::path file = folder / "新闻" / "地址列表" / "地址.txt";
    form.texts["编辑框保存文件"] = gb(file.string());
    byIncrement("#递增#", "7", "7");

    click();

    EXPECT_EQ(readBytes(file), "7\r\n");
    expectFinished();
}

TEST_F(CollectorTest, AnOutputThatCannotBeOpenedIsReportedAndNothingRuns) {
    const fs::path directory = folder / "目录";
    fs::create_directory(directory);
    form.texts["编辑框保存文件"] = gb(directory.string());

    click();

    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, gb("写出文件失败：" + directory.string()));
    EXPECT_EQ(platform.messages[0].title, infoTitle());
    EXPECT_EQ(form.text(kButton), gb("开始采集"));
    EXPECT_THAT(form.captions, IsEmpty());
    EXPECT_THAT(site.requests(), IsEmpty());
}

TEST_F(CollectorTest, AListThatCouldNotBeWrittenIsNotReportedAsComplete) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fill";
    form.texts["编辑框保存文件"] = "/dev/full";
    byIncrement("#递增#", "1", "3");

    click();

    EXPECT_THAT(form.captions, ElementsAre(gb("新闻地址采集器")));
    expectFinished("写出文件失败：/dev/full");
}

TEST_F(CollectorTest, AClickWhileCollectingOnlyAsksForAStop) {
    for (const char* caption : {"停止采集", "停止中.."}) {
        SCOPED_TRACE(caption);
        form.set(kButton, caption);
        stopRequested = false;

        click();

        EXPECT_EQ(form.text(kButton), gb("停止中.."));
        EXPECT_TRUE(stopRequested);
        EXPECT_FALSE(fs::exists(output()));
        EXPECT_THAT(platform.messages, IsEmpty());
    }
}

} // namespace
} // namespace lilan::testing
