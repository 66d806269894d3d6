// A whole run over an address list that mixes good addresses with every way a page can go
// wrong. The run must end normally, every good address must yield exactly its articles,
// and nothing may hang or crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "core/collection_run.h"
#include "support/fixture_site.h"
#include "support/memory_form.h"
#include "support/temp_folder.h"
#include "web/web_client.h"

using namespace lilan;
using namespace lilan::testing;
namespace fs = std::filesystem;

namespace {

std::vector<FixtureComment> comments(const std::string& prefix, int count, int firstId) {
    std::vector<FixtureComment> out;
    for (int i = 0; i < count; ++i)
        out.push_back({std::to_string(firstId + i), prefix + "的一条评论，编号" + std::to_string(i + 1),
                       "网友", "北京:北京:"});
    return out;
}

// One comment-service record, escaped as the service writes it.
std::string rawRecord(const std::string& id, const std::string& content) {
    return "{\"id\":\"" + id + "\",\"content\":\"" + content +
           "\",\"userinfo\":{\"nick\":\"n\",\"region\":\"r\",\"remark\":\"\"}}";
}

TEST(FaultCampaign, GoodAddressesYieldExactlyTheirArticles) {
    FixtureSite site;
    ScopedProxy proxy(site);
    TempFolder temp;
    const fs::path folder = temp.path();

    // Good addresses.
    site.setPage("/a/good1.htm", newsPageBytes("好新闻一", "cmt_id = 100;"), "text/html", 200, "news.qq.com");
    site.setPage("/a/good2.htm", newsPageBytes("好新闻二", "cmt_id = 200;"), "text/html", 200, "news.qq.com");
    site.setThread("100", comments("甲", 25, 1000));
    site.setThread("200", comments("乙", 3, 2000));
    site.setThread("300", comments("丙", 4, 3000));
    site.setPage("/300", gb("<html><title>丙的讨论_评论_腾讯网</title></html>"), "text/html", 200,
                 "coral.qq.com");
    // A thread whose first page is fine and whose second breaks the string literal (a raw
    // line feed): its first page still makes an article.
    site.setPage("/a/brokenpages.htm", newsPageBytes("断页", "cmt_id = 400;"), "text/html", 200,
                 "news.qq.com");
    site.setRawThreadPages("400", {"{\"data\":[" + rawRecord("41", "first page comment") + "]}",
                                   "{\"data\":[\n" + rawRecord("42", "lost") + "]}"});
    // A page whose thread answers with a body ending in a lone backslash.
    site.setPage("/a/backslash.htm", newsPageBytes("反斜杠", "cmt_id = 500;"), "text/html", 200,
                 "news.qq.com");
    site.setRawThreadPages("500", {"{\"data\":[" + rawRecord("51", "never seen") + "]}\\"});
    // The invalid UTF-8 page names thread 1234: give it no comments.
    site.setRawThreadPages("1234", {"{\"data\":[]}"});

    const std::string list = "http://news.qq.com/a/good1.htm\r\n"
                             "http://news.qq.com/__fault/slow?ms=4000\r\n"
                             "http://news.qq.com/__fault/status?code=500\r\n"
                             "http://news.qq.com/__fault/status?code=404\r\n"
                             "http://news.qq.com/__fault/reset\r\n"
                             "http://news.qq.com/__fault/truncated\r\n"
                             "http://news.qq.com/__fault/invalid-utf8\r\n"
                             "http://news.qq.com/__fault/huge?mb=24\r\n"
                             "http://news.qq.com/a/backslash.htm\r\n"
                             "http://news.qq.com/__fault/redirect?to=http://news.qq.com/a/good2.htm\r\n"
                             "file:///etc/passwd\r\n"
                             "http://news.qq.com/" +
                             std::string(10000, 'x') +
                             "\r\n"
                             "http://127.0.0.1:1/closed-port.htm\r\n"
                             "300\r\n"
                             "http://news.qq.com/a/brokenpages.htm\r\n";
    writeBytes(folder / "list.txt", list);

    MemoryForm form;
    form.set("按钮开始采集", "开始采集");
    form.texts["编辑框新闻地址"] = fromUtf8((folder / "list.txt").string());
    form.set("编辑框组合数", "10");
    form.set("编辑框模板", "#评论#\n");
    form.set("编辑框评论最少字数", "0");
    form.set("编辑框页数", "0");
    form.set("编辑框等待", "0");
    form.texts["编辑框保存文件夹"] = fromUtf8((folder / "out").string());
    form.set("编辑框文件扩展名", "txt");
    form.checked["单选框新闻标题"] = true;

    RecordingPlatform platform;
    WebClient web(std::chrono::seconds(2)); // the slow page takes longer than this
    DrawPool pool;
    SharedState state;
    CollectionServices services{web, pool, state};
    startButtonClicked(form, services);

    std::map<std::string, int> lines;
    for (const auto& entry : fs::directory_iterator(folder / "out")) {
        const std::string text = readBytes(entry.path());
        lines[entry.path().filename().string()] =
            static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    const std::map<std::string, int> expected{
        {"好新闻一.txt", 10}, {"好新闻一1.txt", 10}, {"好新闻一2.txt", 5}, // 25 comments
        {"好新闻二.txt", 3},                                               // reached through the redirect
        {"断页.txt", 1},                                                   // the page before the break
        {"丙的讨论.txt", 4},                                               // the bare id
    };
    std::string found;
    for (const auto& [name, count] : lines)
        found += name + "=" + std::to_string(count) + " ";
    EXPECT_EQ(lines, expected) << found;

    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(u8(platform.messages[0].text).rfind("采集完成！共生成 6 篇文章！", 0), 0u)
        << u8(platform.messages[0].text);
    EXPECT_EQ(u8(form.text("按钮开始采集")), "开始采集");
}

} // namespace
