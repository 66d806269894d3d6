#include "ui/text_dialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <cmath>

#include "text/encoding.h"
#include "text/platform.h"
#include "ui/qt_form.h"
#include "web/hosts.h"

namespace lilan {
namespace {

constexpr int kFormWidth = 495;
constexpr int kFormHeight = 393;

QPointer<TextEditorDialog>& currentDialog() {
    static QPointer<TextEditorDialog> dialog;
    return dialog;
}

// The centre of the screen, leaving 30 pixels for a task bar at the bottom.
QPoint centredPosition(const QSize& dialogSize) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const double left = area.width() / 2.0 - dialogSize.width() / 2.0;
    const double top = (area.height() - 30) / 2.0 - dialogSize.height() / 2.0;
    return area.topLeft() + QPoint(static_cast<int>(std::trunc(left)), static_cast<int>(std::trunc(top)));
}

} // namespace

TextDialogState& textDialogState() {
    static TextDialogState state;
    return state;
}

TextEditorDialog::TextEditorDialog(const TextDialogState& state, QWidget* parent)
    : QDialog(parent), margin_(state.margin) {
    setObjectName(QStringLiteral("TextEditorDialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(kFormWidth, kFormHeight);
    setMinimumSize(160, 110);

    prompt_ = new QLineEdit(QStringLiteral("*"), this);
    prompt_->setObjectName(QStringLiteral("编辑框提示"));
    prompt_->setGeometry(13, 8, 395, 33);
    prompt_->setReadOnly(true);
    prompt_->setFrame(false);

    body_ = new QPlainTextEdit(this);
    body_->setObjectName(QStringLiteral("编辑框正文"));
    body_->setGeometry(5, 56, 411, 168);
    body_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Only a vertical scroll bar: long addresses wrap wherever they must.
    body_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);

    band_ = new QFrame(this);
    band_->setObjectName(QStringLiteral("外形框"));
    band_->setGeometry(8, 320, 288, 34);

    ok_ = new QPushButton(QStringLiteral("确定"), this);
    ok_->setObjectName(QStringLiteral("按钮确定"));
    ok_->setGeometry(335, 328, 64, 24);
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("按钮取消"));
    cancel_->setGeometry(398, 328, 64, 24);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    prompt_->setText(toQString(state.prompt));
    setWindowTitle(toQString(state.caption));
    body_->setPlainText(toQString(state.body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    if (state.viewer) {
        ok_->hide();
        band_->hide();
        body_->setReadOnly(true);
        QPalette p = body_->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Window));
        body_->setPalette(p);
        QFont bold = prompt_->font();
        bold.setBold(true);
        prompt_->setFont(bold);
        cancel_->setText(QStringLiteral("关闭(&G)"));
        cancel_->setDefault(true);
    }
    move(centredPosition(size()));
    body_->setFocus();
    layoutTextDialog();
}

void TextEditorDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layoutTextDialog();
}

void TextEditorDialog::layoutTextDialog() {
    const int m = margin_;
    const int cw = width();
    const int ch = height();

    const int promptHeight = estimatePromptHeight(fromQString(prompt_->text()), cw - 2 * m);
    prompt_->setGeometry(m, m, std::max(0, cw - 2 * m), promptHeight);
    prompt_->setVisible(promptHeight > 0);

    const int bodyTop = m + promptHeight + m;
    const int bandHeight = band_->height();
    const int bodyHeight = std::max(0, ch - bodyTop - bandHeight);
    body_->setGeometry(m, bodyTop, prompt_->width(), bodyHeight);

    band_->move(m, bodyTop + bodyHeight);
    cancel_->move(cw - m - cancel_->width(), cancel_->y());
    ok_->move(cancel_->x() - ok_->width(), ok_->y());
    const int buttonTop =
        static_cast<int>(std::trunc(band_->y() + band_->height() / 2.0 - cancel_->height() / 2.0));
    cancel_->move(cancel_->x(), buttonTop);
    ok_->move(ok_->x(), buttonTop);
}

void showTextDialog(const Text& text, QWidget* parent) {
    if (currentDialog()) return;
    TextDialogState& state = textDialogState();
    state.prompt.clear();
    state.caption = programTitle();
    state.body = text;
    state.viewer = true;
    state.margin = 5;

    TextEditorDialog dialog(state, parent);
    currentDialog() = &dialog;
    dialog.exec();
    currentDialog() = nullptr;
}

TextEditorDialog* openTextDialog() {
    return currentDialog();
}

int estimatePromptHeight(const Text& text, int width) {
    // A box narrower than one byte still holds one byte a line; without this a narrow dialog
    // would divide by zero.
    const long perLine = std::max(1, width / 6);
    long lines = 0;
    for (const Text& piece : splitList(text, "\r\n")) {
        const long bytes = static_cast<long>(piece.size());
        lines += std::max(1L, (bytes + perLine - 1) / perLine);
    }
    return static_cast<int>(12 * lines);
}

QString manualAddress(const char* section) {
    // The build and the demo put the page beside the program; a program run from elsewhere in
    // a source tree finds the page among the sources.
    const QDir programFolder(QCoreApplication::applicationDirPath());
    QString page = programFolder.filePath(QStringLiteral("manual.html"));
    QDir up = programFolder;
    for (int level = 0; level < 4 && !QFileInfo::exists(page); ++level) {
        const QString inSources = up.filePath(QStringLiteral("docs/manual.html"));
        if (QFileInfo::exists(inSources)) page = QFileInfo(inSources).canonicalFilePath();
        if (!up.cdUp()) break;
    }
    if (!QFileInfo::exists(page)) page = programFolder.filePath(QStringLiteral("manual.html"));
    QUrl address = QUrl::fromLocalFile(page);
    if (section) address.setFragment(QString::fromUtf8(section));
    return address.toString();
}

Text introductionText() {
    const std::string tutorial = manualAddress("tutorial").toStdString();
    const std::string lines[] = {
        "-----------------【软件介绍】-----------------",
        "",
        "腾讯新闻等新闻门户的评论资源，百度是没有收录的，因此是一个炙手可热的原创文料库。",
        "而本软件可以自动采集腾讯新闻的评论信息，根据模板组合为一篇篇文章！",
        "只需给出一个保存新闻地址的文件（程序内置对8大新闻板块的新闻地址的采集和递增地址生成工具），即可开始"
        "采集。",
        " ",
        "-----------------【疑点说明】-----------------",
        "",
        "视频教程：" + tutorial,
        "",
        "【地址采集器】",
        "",
        "可以按栏目采集腾讯最新发布新闻的地址（这些新闻通常是还没有评论，一般需要过一天才有大量评论）",
        "可以按递增生成地址列表。",
        "",
        "新闻地址文件里，一行放一个地址。",
        "",
        std::string("该地址可以是正常新闻地址，如：") + NewsSiteBase + "/a/20130829/004583.htm",
        std::string("也可以是今日话题地址，如：") + TopicPageBase + "/intouchtoday/index.htm?2534",
        std::string("还可以是直接的评论地址，如：") + CommentServiceBase + "1003419917",
        "你也可以自己复制热门新闻（已有大量评论的新闻）地址。",
        "",
        "",
        "【单条评论模板】就是针对每条评论来设置模板组合，然后多条评论就生成一篇文章。文章头就是多条评论组合后"
        "，"
        "在首部插入这段文本，文章尾则是在尾部插入。",
        "",
    };
    std::string utf8;
    for (const std::string& line : lines)
        utf8 += line + "\r\n";
    return fromUtf8(utf8);
}

} // namespace lilan
