// The costs that sit between two page fetches of a run: parsing a comment page, composing
// and cleaning an article, naming it, decoding a page, and saving the settings.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "compose/article.h"
#include "compose/templates.h"
#include "config/saved_settings.h"
#include "config/settings_file.h"
#include "core/comments.h"
#include "support/memory_form.h"
#include "web/charset.h"

using namespace lilan;
using lilan::testing::gb;
using lilan::testing::MemoryForm;

namespace {

// A comment-service page of 20 records as the service writes them.
std::string commentPage() {
    std::string body = "{\"errCode\":0,\"data\":{\"targetid\":1003419917,\"commentid\":[";
    for (int i = 0; i < 20; ++i) {
        if (i) body += ",";
        body +=
            "{\"id\":\"58034" + std::to_string(10000 + i) +
            "\",\"rootid\":\"0\",\"targetid\":\"1003419917\",\"parent\":\"0\",\"time\":\"1380000000\","
            "\"content\":\"\\u8fd9\\u662f\\u4e00\\u6761\\u6bd4\\u8f83\\u957f\\u7684\\u8bc4\\u8bba\\uff0c"
            "\\u770b\\u770b http:\\/\\/www.example.com\\/a?b=1 \\u600e\\u4e48\\u6837 <b>\\u597d<\\/b>\","
            "\"up\":\"3\",\"rep\":\"0\",\"userinfo\":{\"userid\":\"1234" +
            std::to_string(i) + "\",\"nick\":\"\\u7f51\\u53cb" + std::to_string(i) +
            "\",\"head\":\"http:\\/\\/q.qlogo.cn\\/1234\\/40\",\"region\":\"\\u5317\\u4eac:\\u5317\\u4eac:\","
            "\"remark\":\"\"}}";
    }
    return body + "],\"last\":\"5803410019\",\"hasnext\":true}}";
}

CommentList twentyComments() {
    CommentList comments;
    Text cursor;
    parseCommentPage(decodeResponse(commentPage()).text, cursor, comments, 0);
    return comments;
}

void mainForm(MemoryForm& form) {
    applyMainFormDefaults(form);
    form.checked["选择框自动去除网址"] = true;
    form.checked["选择框自动去除标签"] = true;
    form.checked["选择框替换"] = true;
}

void BM_ParseCommentPage(benchmark::State& state) {
    const std::string bytes = commentPage();
    for (auto _ : state) {
        CommentList comments;
        Text cursor;
        parseCommentPage(decodeResponse(bytes).text, cursor, comments, 5);
        benchmark::DoNotOptimize(comments);
    }
}
BENCHMARK(BM_ParseCommentPage)->Unit(benchmark::kMicrosecond);

void BM_ComposeAndCleanArticle(benchmark::State& state) {
    const CommentList comments = twentyComments();
    MemoryForm form;
    mainForm(form);
    const TextList templates = buildTemplateSet(form.text("编辑框模板"));
    NumberDrawer drawer;
    const Text title = gb("一条新闻的标题");
    for (auto _ : state) {
        Text article;
        for (const CommentRecord& c : comments)
            article += fillTemplate(chooseTemplate(drawer, templates), c, title);
        RegexObject regex;
        benchmark::DoNotOptimize(cleanBody(form, article, regex));
    }
}
BENCHMARK(BM_ComposeAndCleanArticle)->Unit(benchmark::kMicrosecond);

void BM_PickRandomSentence(benchmark::State& state) {
    const CommentList comments = twentyComments();
    MemoryForm form;
    mainForm(form);
    Text article = form.text("编辑框头");
    for (const CommentRecord& c : comments)
        article += fillTemplate(form.text("编辑框模板"), c, gb("标题"));
    article += form.text("编辑框尾");
    for (auto _ : state)
        benchmark::DoNotOptimize(pickRandomSentence(article));
}
BENCHMARK(BM_PickRandomSentence)->Unit(benchmark::kMicrosecond);

void BM_DecodeUtf8Page(benchmark::State& state) {
    std::string page = "<html><head><meta charset=\"utf-8\"><title>新闻</title></head><body>";
    while (page.size() < 200 * 1024)
        page += "<p>这是一段新闻正文，包含一些文字和标点。Some ASCII text too.</p>\n";
    page += "</body></html>";
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeResponse(page));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_DecodeUtf8Page)->Unit(benchmark::kMicrosecond);

void BM_SaveBothWindows(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / ("lilan-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    SettingsFile file;
    file.open(fromUtf8((dir / "settings.ini").string()));
    MemoryForm mainWindow, collector;
    applyMainFormDefaults(mainWindow);
    applyCollectorFormDefaults(collector);
    saveMainSettings(file, mainWindow);
    saveCollectorSettings(file, collector);
    for (auto _ : state) {
        saveMainSettings(file, mainWindow);
        saveCollectorSettings(file, collector);
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaveBothWindows)->Unit(benchmark::kMicrosecond);

} // namespace
