// The text dialog: its prompt height estimate, its layout at any size, and the help text.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/text_dialog.h"
#include "ui_support.h"
#include "web/hosts.h"

namespace lilan::testing {
namespace {

TEST(EstimatePromptHeight, SixPixelsAByteTwelveALine) {
    struct Case {
        Text text;
        int width;
        int height;
    };
    const Case cases[] = {
        {"", 400, 0},
        {"abc", 400, 12},
        {std::string(66, 'x'), 400, 12}, // 66 bytes fill one line of 400 / 6 = 66
        {std::string(67, 'x'), 400, 24},
        {"a\r\n", 400, 12},      // the empty piece after the last break is dropped
        {"a\r\n\r\nb", 400, 36}, // an empty piece between two breaks is a line
        {"\r\n", 400, 12},
        {gb("提示文字"), 24, 24}, // 8 bytes at 4 a line
        {"abc", 5, 36},           // narrower than one byte: one byte a line
        {"abc", -10, 36},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(u8(c.text) + " @" + std::to_string(c.width));
        EXPECT_EQ(estimatePromptHeight(c.text, c.width), c.height);
    }
}

TEST(IntroductionText, HasItsTwentyFiveLinesAndTheProgramsAddresses) {
    const Text text = introductionText();
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n"); // line 25 is empty
    const TextList lines = splitList(text, "\r\n");
    ASSERT_EQ(lines.size(), 25u);
    EXPECT_EQ(lines[0], gb("-----------------【软件介绍】-----------------"));
    EXPECT_EQ(lines[5], " ");
    EXPECT_EQ(lines[6], gb("-----------------【疑点说明】-----------------"));
    const std::string tutorial = u8(lines[8]);
    EXPECT_EQ(tutorial.rfind("视频教程：file://", 0), 0u) << tutorial;
    EXPECT_NE(tutorial.find("manual.html#tutorial"), std::string::npos) << tutorial;
    EXPECT_EQ(lines[17], gb("该地址可以是正常新闻地址，如：") + NewsSiteBase + "/a/20130829/004583.htm");
    EXPECT_EQ(lines[18], gb("也可以是今日话题地址，如：") + TopicPageBase + "/intouchtoday/index.htm?2534");
    EXPECT_EQ(lines[19], gb("还可以是直接的评论地址，如：") + CommentServiceBase + "1003419917");
    for (int empty : {1, 7, 9, 11, 14, 16, 21, 22, 24})
        EXPECT_EQ(lines[empty], "") << "line " << empty + 1;
    EXPECT_EQ(lines[23].substr(0, gb("【单条评论模板】").size()), gb("【单条评论模板】"));
}

TEST(TextEditorDialog, ViewerKeepsItsMarginsAtEverySize) {
    TextDialogState state{{}, gb("栎岚："), gb("第一行\r\n第二行\r\n"), true, 5};
    TextEditorDialog dialog(state);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), qs("栎岚："));
    auto* body = control<QPlainTextEdit>(&dialog, "编辑框正文");
    auto* close = control<QPushButton>(&dialog, "按钮取消");
    EXPECT_EQ(body->toPlainText(), qs("第一行\n第二行\n"));
    EXPECT_TRUE(body->isReadOnly());
    EXPECT_EQ(close->text(), qs("关闭(&G)"));
    EXPECT_TRUE(close->isDefault());
    EXPECT_TRUE(control<QPushButton>(&dialog, "按钮确定")->isHidden());
    EXPECT_TRUE(findControl(&dialog, qs("外形框"))->isHidden());
    EXPECT_TRUE(control<QLineEdit>(&dialog, "编辑框提示")->font().bold());
    EXPECT_EQ(dialog.size(), QSize(495, 393));

    for (QSize size : {QSize(495, 393), QSize(900, 700), QSize(300, 200), QSize(640, 241)}) {
        SCOPED_TRACE(size.width());
        dialog.resize(size);
        const QSize client = dialog.size();
        // No prompt: the text starts two margins down and ends above the 34-pixel band.
        EXPECT_EQ(control<QLineEdit>(&dialog, "编辑框提示")->height(), 0);
        EXPECT_EQ(body->geometry(), QRect(5, 10, client.width() - 10, client.height() - 10 - 34));
        EXPECT_EQ(close->geometry(), QRect(client.width() - 5 - 64, client.height() - 34 + 5, 64, 24));
    }
}

TEST(TextEditorDialog, APromptPushesTheTextDown) {
    TextDialogState state{gb("第一行提示\r\n第二行提示"), gb("栎岚："), gb("正文"), false, 5};
    TextEditorDialog dialog(state);
    dialog.show();
    EXPECT_EQ(control<QLineEdit>(&dialog, "编辑框提示")->geometry(), QRect(5, 5, 485, 24));
    EXPECT_EQ(control<QPlainTextEdit>(&dialog, "编辑框正文")->geometry(), QRect(5, 34, 485, 393 - 34 - 34));
    EXPECT_FALSE(control<QPushButton>(&dialog, "按钮确定")->isHidden());
    EXPECT_EQ(control<QPushButton>(&dialog, "按钮确定")->x(), 495 - 5 - 64 - 64);
}

} // namespace
} // namespace lilan::testing
