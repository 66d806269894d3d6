// Assembling an article and showing or storing it.
#include <langinfo.h>

#include <cstring>

#include "compose/article.h"
#include "compose/article_file.h"
#include "text/encoding.h"
#include "text/platform.h"

namespace lilan {

namespace {

// The system's reason in local text; strerror speaks the locale's language and charset.
Text systemReason(int error) {
    char buffer[256];
    const char* reason = ::strerror_r(error, buffer, sizeof buffer);
    return convertLenient(reason, ::nl_langinfo(CODESET), "GB18030");
}

// Without this the article would be lost while the run counts it as made. Once per run is
// enough: the cause (a full disk, a folder without write access) usually stays.
void reportFailure(const ArticleFileOutcome& outcome, ArticleContext& context) {
    if (context.failureReported) return;
    context.failureReported = true;
    static const Text lead = local("文章未能保存，本次采集中再有文章保存失败将不再提示。\r\n文件：");
    static const Text because = local("\r\n原因：");
    platform().showMessage(lead + outcome.path + because + systemReason(outcome.error), programTitle(),
                           MessageKind::Warning);
}

Text assemble(const Form& form, const Text& body, const Text& title) {
    RegexObject regex;
    const Text article = form.text("编辑框头") + cleanBody(form, body, regex) + form.text("编辑框尾");
    static const Text titlePlaceholder = local("#标题#");
    return replaceText(article, titlePlaceholder, title);
}

} // namespace

ArticleResult writeArticle(const Form& form, Text& article, ArticleContext& context) {
    makeDirectoryPath(form.text("编辑框保存文件夹") + "/");

    article = assemble(form, article, context.title);

    ArticleResult result;
    result.name = form.isChecked("单选框新闻标题") ? context.title : pickRandomSentence(article);
    if (context.previewOnly) {
        platform().showMessage(article, result.name, MessageKind::Information);
        result.made = true;
        return result;
    }

    const ArticleFileOutcome outcome = writeArticleFile(form, sanitizeFileName(result.name), article);
    if (!outcome.written) reportFailure(outcome, context);
    result.made = outcome.written;
    return result;
}

} // namespace lilan
