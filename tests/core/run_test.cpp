// Whole collection runs through the in-memory window against the local fixture site, with
// the program's real host names reached through the site acting as proxy.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "core/collection_run.h"
#include "core/comments.h"
#include "support/fixture_site.h"
#include "support/memory_form.h"
#include "support/temp_folder.h"
#include "web/web_client.h"

using namespace lilan;
using namespace lilan::testing;
namespace fs = std::filesystem;

namespace {

std::vector<FixtureComment> makeComments(const std::string& prefix, int count, int firstId) {
    std::vector<FixtureComment> out;
    for (int i = 0; i < count; ++i) {
        out.push_back({std::to_string(firstId + i), prefix + "评论内容第" + std::to_string(i + 1) + "条",
                       prefix + "网友" + std::to_string(i + 1), i % 2 ? "北京:北京:" : "::"});
    }
    return out;
}

class CollectionRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = temp.path();
        out = folder / "out";

        site.setPage("/a/1.htm", newsPageBytes("第一条新闻", "cmt_id = 100;"), "text/html", 200,
                     "news.qq.com");
        site.setPage("/a/2.htm", gb("<html><title>没有评论编号</title></html>"), "text/html", 200,
                     "news.qq.com");
        site.setThread("100", makeComments("甲", 25, 5000));
        site.setThread("200", makeComments("乙", 3, 6000));
        site.setPage("/200", gb("<html><title>乙的讨论_评论_腾讯网</title></html>"), "text/html", 200,
                     "coral.qq.com");

        form.set("按钮开始采集", "开始采集");
        form.set("编辑框新闻地址", u8(pathText(folder / "list.txt")));
        form.set("编辑框组合数", "10");
        form.set("编辑框模板", "#昵称#|#所在地#|#评论#|#标题#\n");
        form.set("编辑框评论最少字数", "5");
        form.set("编辑框页数", "全部");
        form.set("编辑框等待", "0");
        form.checked["选择框打乱"] = false;
        form.checked["选择框预览"] = false;
        form.set("编辑框保存文件夹", u8(pathText(out)));
        form.set("编辑框文件扩展名", "txt");
        form.set("编辑框头", "");
        form.set("编辑框尾", "");
        form.checked["单选框新闻标题"] = true;
        form.checked["选择框自动去除网址"] = false;
        form.checked["选择框自动去除标签"] = false;
        form.checked["选择框替换"] = false;
    }

    static Text pathText(const fs::path& p) { return fromUtf8(p.string()); }

    void writeList(const std::string& bytes) { writeBytes(folder / "list.txt", bytes); }

    void run() {
        CollectionServices services{web, pool, state};
        platform.onEvents = [&] {
            if (onEvents) onEvents(services);
        };
        startButtonClicked(form, services);
    }

    // Article files by UTF-8 name.
    std::map<std::string, std::string> articles() const {
        std::map<std::string, std::string> files;
        if (!fs::exists(out)) return files;
        for (const auto& e : fs::directory_iterator(out))
            files[e.path().filename().string()] = readBytes(e.path());
        return files;
    }

    std::vector<std::string> statuses() const {
        std::vector<std::string> s;
        for (const Text& t : form.statuses)
            s.push_back(u8(t));
        return s;
    }

    int commentRequests() {
        int n = 0;
        for (const auto& r : site.requests())
            n += r.target.find("/comment?") != std::string::npos;
        return n;
    }

    TempFolder temp;
    FixtureSite site;
    ScopedProxy proxy{site};
    RecordingPlatform platform;
    WebClient web{std::chrono::seconds(5)};
    DrawPool pool;
    SharedState state;
    MemoryForm form;
    fs::path folder, out;
    std::function<void(CollectionServices&)> onEvents;
};

TEST_F(CollectionRunTest, WholeRunOverSeveralKindsOfAddress) {
    writeList("http://news.qq.com/a/1.htm\r\n"
              "  200 \n"
              "\n"
              "http://news.qq.com/a/2.htm\n"
              "http://coral.qq.com/200\n"
              "http://127.0.0.1:1/unreachable.htm");
    run();

    const auto files = articles();
    // Thread 100: 25 comments of which all are long enough: 10 + 10 + 5, named by the title.
    ASSERT_TRUE(files.count("第一条新闻.txt"));
    ASSERT_TRUE(files.count("第一条新闻1.txt"));
    ASSERT_TRUE(files.count("第一条新闻2.txt"));
    // Thread 200 twice (the bare id and the service address), 3 comments each.
    ASSERT_TRUE(files.count("乙的讨论.txt"));
    ASSERT_TRUE(files.count("乙的讨论1.txt"));
    EXPECT_EQ(files.size(), 5u);

    // Records reach composition in page order with their own fields; "::" reads as 火星.
    const std::string first = u8(files.at("第一条新闻.txt"));
    EXPECT_EQ(first.substr(0, first.find('\n') + 1), "甲网友1|火星|甲评论内容第1条|第一条新闻\n");
    EXPECT_NE(first.find("甲网友2|北京:北京:|甲评论内容第2条|第一条新闻\n"), std::string::npos);
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 10);
    const std::string last = u8(files.at("第一条新闻2.txt"));
    EXPECT_EQ(std::count(last.begin(), last.end(), '\n'), 5);
    EXPECT_NE(last.find("甲评论内容第25条"), std::string::npos);

    // The paging cursor is the last id of the page before.
    std::vector<std::string> targets;
    for (const auto& r : site.requests())
        if (r.target.find("article/100/") != std::string::npos) targets.push_back(r.target);
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(targets[0], "http://coral.qq.com/article/100/comment?commentid=&reqnum=20&source=1");
    EXPECT_EQ(targets[1], "http://coral.qq.com/article/100/comment?commentid=5019&reqnum=20&source=1");
    EXPECT_EQ(targets[2], "http://coral.qq.com/article/100/comment?commentid=5024&reqnum=20&source=1");

    const auto s = statuses();
    ASSERT_GE(s.size(), 4u);
    EXPECT_EQ(s[0], "正在初始化 >> http://news.qq.com/a/1.htm");
    EXPECT_EQ(s[1], "正在采集评论(第 1 页) >> 第一条新闻");
    EXPECT_EQ(s[2], "正在采集评论(第 2 页) >> 第一条新闻");
    EXPECT_EQ(s[3], "正在生成(1 篇) >> 第一条新闻");
    EXPECT_NE(std::find(s.begin(), s.end(), "正在初始化 >> 200"), s.end());
    EXPECT_NE(std::find(s.begin(), s.end(), "正在初始化 >> http://news.qq.com/a/2.htm"), s.end());
    EXPECT_EQ(s.back().rfind("采集完成！共生成 5 篇文章！耗费 ", 0), 0u) << s.back();

    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, form.statuses.back());
    EXPECT_EQ(u8(platform.messages[0].title), "信息：");
    EXPECT_EQ(u8(form.text("按钮开始采集")), "开始采集");
}

TEST_F(CollectionRunTest, MinimumLengthPageLimitAndOneArticlePerAddress) {
    writeList("100\n");
    form.set("编辑框页数", "1");
    form.set("编辑框组合数", "0");
    form.set("编辑框评论最少字数", "100");
    run();
    // Every comment is too short, yet the page counts: no article, one page read.
    EXPECT_TRUE(articles().empty());
    EXPECT_EQ(commentRequests(), 1);

    form.set("编辑框评论最少字数", "0");
    form.set("编辑框页数", "3");
    run();
    const auto files = articles();
    ASSERT_EQ(files.size(), 1u); // comments per article 0: one article per address
    const std::string text = u8(files.begin()->second);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 25);
}

TEST_F(CollectionRunTest, PreviewShowsOneArticleOfAtMostTenComments) {
    writeList("http://news.qq.com/a/2.htm\n100\n200\n");
    form.checked["选择框预览"] = true;
    form.set("编辑框组合数", "20");
    run();
    EXPECT_TRUE(articles().empty());
    EXPECT_TRUE(fs::is_directory(out)); // the folder is still made
    EXPECT_EQ(commentRequests(), 1);
    ASSERT_EQ(platform.messages.size(), 1u); // the article itself, no summary
    const std::string shown = u8(platform.messages[0].text);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 10);
    EXPECT_EQ(statuses().back(), "预览完成！");
}

TEST_F(CollectionRunTest, StopFromAnEventPointEndsAfterTheAddress) {
    writeList("100\n200\n");
    form.set("编辑框等待", "30");
    onEvents = [&](CollectionServices& services) {
        // The user clicks the running button while page 1 is shown.
        if (!form.statuses.empty() && u8(form.statuses.back()).rfind("正在采集评论(第 1 页)", 0) == 0 &&
            u8(form.text("按钮开始采集")) == "停止采集") {
            startButtonClicked(form, services);
            EXPECT_EQ(u8(form.text("按钮开始采集")), "停止中..");
        }
    };
    run();
    EXPECT_EQ(commentRequests(), 1); // the stop is seen after the page's status
    const auto files = articles();
    ASSERT_EQ(files.size(), 2u); // 20 comments of page 1 make two articles of address 1
    EXPECT_EQ(statuses().back().rfind("采集完成！共生成 2 篇文章！", 0), 0u);
    EXPECT_EQ(u8(form.text("按钮开始采集")), "开始采集");
}

TEST_F(CollectionRunTest, NoTemplateEndsBeforeAnyAddress) {
    writeList("100\n");
    form.set("编辑框模板", "");
    run();
    EXPECT_TRUE(site.requests().empty());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(u8(platform.messages[0].text), "请先选择输入模板，单击‘可引用项目’可插入引用评论元素");
    EXPECT_EQ(u8(form.text("按钮开始采集")), "开始采集");
}

TEST_F(CollectionRunTest, MissingAddressListIsAnEmptyRun) {
    form.set("编辑框新闻地址", "/no/such/list.txt");
    run();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(u8(platform.messages[0].text).rfind("采集完成！共生成 0 篇文章！耗费 ", 0), 0u);
}

} // namespace

namespace {

TEST(ProbeNewsPage, TitlesAndThreadIds) {
    FixtureSite site;
    ScopedProxy proxy(site);
    WebClient web(std::chrono::seconds(5));
    struct Case {
        std::string path, html, expectedTitle, expectedId;
    } cases[] = {
        {"/p1.htm", "<TITLE>头条_新闻_腾讯网</TITLE> cmt_id = 11;", "头条", "11"},
        {"/p2.htm", "<title>讨论_评论_腾讯网</title> cmt_id = 12;", "讨论", "12"},
        {"/p3.htm", "<title>专题_腾讯网</title> cmt_id =  13 ;", "专题", "13"},
        {"/p4.htm", "<title>其他_标题</title>", "其他_标题", ""},
        {"/p5.htm", "<div vid=\" 555 \"></div> cmt_id = 123;", "", "555"},
        {"/p6.htm", "<div vid=\"\"></div> cmt_id = 123;", "", "123"},
    };
    for (const auto& c : cases) {
        site.setPage(c.path, gb(c.html), "text/html", 200, "news.qq.com");
        Text title = "old";
        EXPECT_EQ(u8(probeNewsPage(web, gb("http://news.qq.com" + c.path), false, title)), c.expectedId)
            << c.path;
        EXPECT_EQ(u8(title), c.expectedTitle) << c.path;
    }
    // A bare id is its own thread id even when the service does not answer.
    site.setPage("/777", "", "text/html", 500, "coral.qq.com");
    Text title = "old";
    EXPECT_EQ(probeNewsPage(web, "777", true, title), "777");
    EXPECT_EQ(title, "");
    const auto requests = site.requests();
    EXPECT_EQ(requests.back().target, "http://coral.qq.com/777");
}

} // namespace
