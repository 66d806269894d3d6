#include "core/collection_run.h"

#include <fstream>
#include <thread>

#include "compose/article.h"
#include "compose/templates.h"
#include "core/comments.h"
#include "text/encoding.h"
#include "text/platform.h"
#include "text/regex.h"
#include "text/run_button.h"
#include "web/hosts.h"

namespace lilan {
namespace {

struct Texts {
    Text initialising = local("正在初始化 >> ");
    Text pageRead1 = local("正在采集评论(第 ");
    Text pageRead2 = local(" 页) >> ");
    Text shuffling = local("正在打乱采集结果 >> ");
    Text made1 = local("正在生成(");
    Text made2 = local(" 篇) >> ");
    Text previewDone = local("预览完成！");
    Text summary1 = local("采集完成！共生成 ");
    Text summary2 = local(" 篇文章！耗费 ");
    Text noTemplate = local("请先选择输入模板，单击‘可引用项目’可插入引用评论元素");
};

const Texts& texts() {
    static const Texts t;
    return t;
}

// What a run reads from the window once, when it starts.
struct RunSettings {
    Text addressListPath;
    long long commentsPerArticle = 0;
    TextList templates;
};

RunSettings readRunSettings(const Form& form, bool previewOnly) {
    RunSettings s;
    s.addressListPath = form.text("编辑框新闻地址");
    s.commentsPerArticle = toInteger(form.text("编辑框组合数"));
    if (previewOnly && s.commentsPerArticle > 10) s.commentsPerArticle = 10;
    s.templates = buildTemplateSet(form.text("编辑框模板"));
    return s;
}

// The address list, line by line. Lines end at LF; one CR before it is dropped. A list that
// cannot be opened reads as empty.
class AddressList {
public:
    explicit AddressList(const Text& path) : in_(toUtf8(path), std::ios::binary) {}
    bool next(Text& line) {
        if (!in_ || !std::getline(in_, line)) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }

private:
    std::ifstream in_;
};

// The state of one run between its addresses.
class Run {
public:
    Run(Form& form, CollectionServices& services, RunSettings settings)
        : form_(form), services_(services), state_(services.state), settings_(std::move(settings)) {
        context_.previewOnly = state_.previewOnly;
    }

    // Collects one address; false when the run should not go on to the next.
    bool collectAddress(Text line, RegexObject& digits);
    int articlesMade() const { return articlesMade_; }

private:
    void readPages(const Text& threadId, CommentList& comments);
    // Hands the article built so far to the writer and starts a new one.
    void handOverArticle();

    Form& form_;
    CollectionServices& services_;
    SharedState& state_;
    RunSettings settings_;
    NumberDrawer templateDrawer_;
    ArticleContext context_;
    Text article_;
    long long commentsInArticle_ = 0;
    int articlesMade_ = 0;
};

bool Run::collectAddress(Text line, RegexObject& digits) {
    line = trim(replaceText(line, CommentServiceBase, ""));
    if (line.empty()) return true;
    form_.setStatus(texts().initialising + line);
    processEvents();

    const bool bareId = digits.replace(line).empty();
    const Text threadId = probeNewsPage(services_.web, line, bareId, state_.currentTitle);
    CommentList comments;
    if (threadId.empty()) return true;

    readPages(threadId, comments);

    if (form_.isChecked("选择框打乱")) {
        form_.setStatus(texts().shuffling + state_.currentTitle);
        shuffleCommentFields(comments, services_.drawPool);
    }
    context_.title = state_.currentTitle;
    for (const CommentRecord& record : comments) {
        article_ +=
            fillTemplate(chooseTemplate(templateDrawer_, settings_.templates), record, state_.currentTitle);
        ++commentsInArticle_;
        if (settings_.commentsPerArticle >= 1 && commentsInArticle_ >= settings_.commentsPerArticle) {
            handOverArticle();
            if (state_.previewOnly) break;
        }
        processEvents();
    }
    // Articles never mix the comments of two addresses.
    if (!article_.empty()) handOverArticle();
    return !(state_.stopRequested || state_.previewOnly);
}

void Run::readPages(const Text& threadId, CommentList& comments) {
    Text lastCommentId;
    long long pages = 0;
    for (;;) {
        const long minimum = static_cast<long>(toInteger(form_.text("编辑框评论最少字数")));
        if (!readCommentPage(services_.web, threadId, lastCommentId, comments, minimum)) break;
        ++pages;
        const long long limit = toInteger(form_.text("编辑框页数"));
        if (limit > 0 && pages >= limit) break;
        form_.setStatus(texts().pageRead1 + integerToText(pages) + texts().pageRead2 + state_.currentTitle);
        processEvents();
        if (state_.stopRequested || state_.previewOnly) break;
        waitWithEvents(toInteger(form_.text("编辑框等待")));
    }
}

void Run::handOverArticle() {
    const ArticleResult result = writeArticle(form_, article_, context_);
    // An article that could not be stored is not counted: the writer has told the user.
    if (result.made) ++articlesMade_;
    form_.setStatus(texts().made1 + integerToText(articlesMade_) + texts().made2 + result.name);
    commentsInArticle_ = 0;
    article_.clear();
}

void startRun(Form& form, CollectionServices& services) {
    SharedState& state = services.state;
    RegexObject digits;
    state.previewOnly = form.isChecked("选择框预览");
    state.stopRequested = false;
    showRunState(form, RunState::Running);

    RunSettings settings = readRunSettings(form, state.previewOnly);
    if (settings.templates.empty()) {
        platform().showMessage(texts().noTemplate, infoTitle(), MessageKind::Information);
        showRunState(form, RunState::Idle);
        return;
    }
    AddressList addresses(settings.addressListPath);
    const auto start = std::chrono::steady_clock::now();
    digits.setPattern("\\d+");

    Run run(form, services, std::move(settings));
    for (Text line; addresses.next(line);) {
        if (!run.collectAddress(line, digits)) break;
    }
    showRunState(form, RunState::Idle);

    if (state.previewOnly) {
        form.setStatus(texts().previewDone);
        return;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    const Text summary =
        texts().summary1 + integerToText(run.articlesMade()) + texts().summary2 + elapsedText(elapsed);
    form.setStatus(summary);
    platform().showMessage(summary, infoTitle(), MessageKind::Information);
}

} // namespace

void startButtonClicked(Form& form, CollectionServices& services) {
    if (startClickBeginsRun(form, services.state.stopRequested)) startRun(form, services);
}

void waitWithEvents(long long milliseconds) {
    for (long long elapsed = 0; elapsed < milliseconds; elapsed += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        processEvents();
    }
}

Text elapsedText(int64_t milliseconds) {
    struct Step {
        double divisor;
        double threshold;
        const char* unit;
    };
    static const Step steps[] = {{1, 1000, " 毫秒"}, {1000, 60, " 秒"}, {60, 60, " 分"}, {60, 24, " 时"},
                                 {24, 30, " 天"},    {30, 12, " 月"},   {12, 0, " 年"}};
    double x = static_cast<double>(milliseconds);
    const Step* chosen = &steps[6];
    for (const Step& step : steps) {
        x /= step.divisor;
        if (step.threshold == 0 || x - step.threshold < -0.0000001) {
            chosen = &step;
            break;
        }
    }
    return realToText(roundHalfAway(x, 2)) + local(chosen->unit);
}

} // namespace lilan
