// The real main window on the offscreen platform: its controls, its menu, its dialogs, the
// save command, and whole collection runs started and stopped by clicks against the fixture
// site.
#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextCursor>
#include <optional>
#include <sys/stat.h>

#include "support/fixture_site.h"
#include "ui/main_window.h"
#include "ui/text_dialog.h"
#include "ui/widgets.h"
#include "ui_support.h"

namespace lilan::testing {
namespace {

const ControlCase kMainControls[] = {
    {"图片框1", "QWidget", 0, 0, 994, 88, nullptr, -1},
    {"图片框保存", "lilan::PictureButton", 8, 0, 64, 64, nullptr, -1},
    {"超级链接框保存", "lilan::LinkLabel", 8, 64, 64, 24, "保存配置", -1},
    {"图片框QQ", "lilan::PictureButton", 88, 0, 64, 64, nullptr, -1},
    {"超级链接框QQ", "lilan::LinkLabel", 88, 64, 64, 24, "联系我们", -1},
    {"图片框更新", "lilan::PictureButton", 168, 0, 64, 64, nullptr, -1},
    {"超级链接框更新", "lilan::LinkLabel", 168, 64, 64, 24, "软件主页", -1},
    {"图片框操作", "lilan::PictureButton", 248, 0, 64, 64, nullptr, -1},
    {"超级链接框操作", "lilan::LinkLabel", 248, 64, 64, 24, "疑点说明", -1},
    {"图片框软件", "lilan::PictureButton", 328, 0, 64, 64, nullptr, -1},
    {"超级链接框软件", "lilan::LinkLabel", 328, 64, 64, 24, "更多软件", -1},
    {"图片框官网", "lilan::PictureButton", 432, 12, 145, 64, nullptr, -1},
    {"图片框地址", "lilan::PictureButton", 657, 0, 64, 64, nullptr, -1},
    {"超级链接框地址", "lilan::LinkLabel", 646, 64, 88, 24, "新闻地址采集器", -1},
    {"标签12", "QLabel", -7, 88, 1000, 2, "", -1},
    {"分组框1", "QGroupBox", 16, 104, 480, 272, "第一步：采集设置", -1},
    {"标签6", "QLabel", 12, 24, 116, 24, "新闻地址文件：", -1},
    {"编辑框新闻地址", "QLineEdit", 128, 24, 312, 24, "文本文件，内容为一行一个的新闻地址", -1},
    {"按钮选择文件", "QPushButton", 440, 24, 28, 24, "..", -1},
    {"标签8", "QLabel", 12, 64, 116, 24, "换页等待毫秒：", -1},
    {"编辑框等待", "QLineEdit", 128, 64, 40, 24, "500", -1},
    {"标签9", "QLabel", 280, 64, 144, 24, "每条评论最少字数：", -1},
    {"编辑框评论最少字数", "QLineEdit", 428, 64, 40, 24, "5", -1},
    {"标签1", "QLabel", -24, 96, 152, 24, "每篇文章评论数：", -1},
    {"编辑框组合数", "QLineEdit", 128, 96, 40, 24, "20", -1},
    {"标签3", "QLabel", 280, 96, 144, 24, "每地址采集多少页：", -1},
    {"编辑框页数", "QLineEdit", 428, 96, 40, 24, "全部", -1},
    {"标签2", "QLabel", 12, 140, 116, 20, "单条评论模板：", -1},
    {"按钮可引用项目", "QPushButton", 144, 140, 100, 20, "可引用项目", -1},
    {"标签10", "QLabel", 252, 140, 76, 20, "文章头：", -1},
    {"标签11", "QLabel", 364, 140, 76, 20, "文章尾：", -1},
    {"编辑框模板", "QPlainTextEdit", 12, 162, 232, 80, "#所在地#网友<b>#昵称#</b>说：#评论#<br>\n", -1},
    {"编辑框头", "QPlainTextEdit", 252, 162, 104, 80,
     "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />\n"
     "<title>网友对《#标题#》的评论</title>\n</head>\n<body>\n",
     -1},
    {"编辑框尾", "QPlainTextEdit", 363, 162, 104, 80, "</body>\n</html>", -1},
    {"选择框打乱", "QCheckBox", 12, 247, 140, 16, "随机交换评论数据", 1},
    {"分组框3", "QGroupBox", 512, 104, 216, 264, "第二步：替换设置（可选）", -1},
    {"选择框自动去除网址", "QCheckBox", 8, 24, 152, 24, "自动去除网址", 1},
    {"选择框自动去除标签", "QCheckBox", 8, 56, 152, 24, "自动去除网页标签", 0},
    {"选择框替换", "QCheckBox", 8, 88, 152, 24, "自定义替换：", 1},
    {"编辑框匹配式", "QLineEdit", 32, 115, 168, 40, "字符1|字符2|字符3", -1},
    {"标签7", "QLabel", 11, 143, 12, 32, "为", -1},
    {"编辑框替换式", "QLineEdit", 32, 163, 168, 40, "新字符1|新字符2|新字符3", -1},
    {"选择框忽略大小写", "QCheckBox", 32, 208, 152, 24, "忽略大小写", 0},
    {"选择框正则", "QCheckBox", 32, 232, 168, 24, "使用正则表达式替换", 0},
    {"分组框2", "QGroupBox", 16, 388, 480, 96, "第三步：保存设置", -1},
    {"标签4", "QLabel", 8, 24, 104, 24, "文件名的来源：", -1},
    {"单选框新闻标题", "QRadioButton", 112, 24, 104, 24, "新闻标题", 1},
    {"单选框随机一句", "QRadioButton", 216, 24, 160, 24, "组合结果随机一句", 0},
    {"标签5", "QLabel", 8, 56, 104, 24, "保存的文件夹：", -1},
    {"编辑框保存文件夹", "QLineEdit", 112, 56, 296, 24, "生成好的文章保存到的目录，后面是文件扩展名", -1},
    {"按钮选择文件夹", "QPushButton", 408, 56, 24, 24, "..", -1},
    {"编辑框文件扩展名", "QLineEdit", 432, 56, 32, 24, "htm", -1},
    {"选择框预览", "QCheckBox", 512, 396, 264, 24, "仅信息框预览采集效果", 0},
    {"按钮开始采集", "QPushButton", 512, 432, 216, 48, "开始采集", -1},
    {"状态条", "QStatusBar", 0, 542, 750, 20, nullptr, -1},
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        QApplication::setActiveWindow(&window);
    }

    QWidget* find(const char* name) { return findControl(&window, QString::fromUtf8(name)); }
    template <typename T> T* get(const char* name) {
        T* w = control<T>(&window, name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void setEdit(const char* name, const std::string& utf8) {
        get<QLineEdit>(name)->setText(QString::fromStdString(utf8));
    }
    QString status() { return get<QStatusBar>("状态条")->findChild<QLabel*>()->text(); }
    QString caption() { return get<QPushButton>("按钮开始采集")->text(); }
    Text iniPath() const { return folder.localPath("栎岚文摘机.ini"); }
    std::vector<Text> savedMainKeys() const {
        return sectionLines(readBytes(folder.file("栎岚文摘机.ini")), "基本配置");
    }

    UiTempFolder folder;
    RecordingPlatform platform;
    ProgramParts parts{folder.localPath("栎岚文摘机.ini")};
    MainWindow window{parts.services()};
};

TEST_F(MainWindowTest, EveryControlHasItsNameKindPlaceAndDefault) {
    EXPECT_EQ(window.windowTitle(), qs("栎岚文摘机 v1.431"));
    EXPECT_EQ(window.size(), QSize(750, 562));
    EXPECT_EQ(window.pos(), QPoint(50, 50));
    expectControlsAsListed(&window, kMainControls);
    // Every picture button shows a picture of its own size.
    for (auto* picture : window.findChildren<PictureButton*>())
        EXPECT_EQ(picture->picture().size(), picture->size()) << picture->objectName().toStdString();
    // The core reads the boxes of several lines with the program's CR LF line breaks.
    EXPECT_EQ(window.form().text("编辑框尾"), gb("</body>\r\n</html>"));
}

TEST_F(MainWindowTest, PlaceholderMenuListsItsItems) {
    const QList<QAction*> actions = window.placeholderMenu()->actions();
    ASSERT_EQ(actions.size(), 8);
    const char* expected[] = {"#所在地#\t// 评论者的地理信息",   "#昵称#\t// 评论者的昵称",
                              "#评论#\t// 评论者的评论内容",     "#标题#\t// 该篇新闻的标题",
                              "#分隔#\t// 多个模板以此项目隔开", "",
                              "点击上面项目可插入到模板中",      "#标题# 可在文章头尾中引用"};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actions[i]->text().toStdString(), expected[i]);
        EXPECT_EQ(actions[i]->isSeparator(), i == 5);
        EXPECT_EQ(actions[i]->isEnabled(), i < 5 || i == 5);
    }
}

TEST_F(MainWindowTest, MenuInsertsIntoTheTemplateBoxReplacingItsSelection) {
    struct Case {
        const char* before;
        int selectFrom, selectTo; // character positions; equal: the caret only
        int item;
        const char* after;
    };
    const Case cases[] = {
        {"#所在地#网友说", 5, 7, 2, "#所在地##评论#说"}, // "网友" selected
        {"网友说", 2, 2, 1, "网友#昵称#说"},             // caret before "说"
        {"", 0, 0, 4, "#分隔#"},
        {"a\nb", 1, 3, 0, "a#所在地#"}, // a selection across a line break
    };
    auto* templateBox = get<QPlainTextEdit>("编辑框模板");
    auto* head = get<QPlainTextEdit>("编辑框头");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        templateBox->setPlainText(QString::fromUtf8(c.before));
        QTextCursor cursor = templateBox->textCursor();
        cursor.setPosition(c.selectFrom);
        cursor.setPosition(c.selectTo, QTextCursor::KeepAnchor);
        templateBox->setTextCursor(cursor);
        // The caret was in the head box before the button was clicked.
        head->setFocus();
        get<QPushButton>("按钮可引用项目")->click();
        EXPECT_TRUE(window.placeholderMenu()->isVisible());
        window.placeholderMenu()->actions()[c.item]->trigger();
        window.placeholderMenu()->hide();
        EXPECT_EQ(templateBox->toPlainText().toStdString(), c.after);
        EXPECT_EQ(
            head->toPlainText().toStdString(),
            "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />\n"
            "<title>网友对《#标题#》的评论</title>\n</head>\n<body>\n");
    }
}

TEST_F(MainWindowTest, SaveCommandWritesTheSettingsAndConfirms) {
    setEdit("编辑框等待", "123");
    QTest::mouseClick(get<LinkLabel>("超级链接框保存"), Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, gb("保存完毕！"));
    EXPECT_EQ(platform.messages[0].title, gb("信息："));
    const std::vector<Text> keys = savedMainKeys();
    ASSERT_EQ(keys.size(), 21u);
    EXPECT_EQ(keys.front(), gb("评论最少字数=5"));
    EXPECT_EQ(keys.back(), gb("等待=123"));

    // The picture above the link does the same.
    setEdit("编辑框等待", "456");
    get<PictureButton>("图片框保存")->click();
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].text, gb("保存完毕！"));
    EXPECT_EQ(savedMainKeys().back(), gb("等待=456"));
}

TEST(MainWindowSaveFailure, NamesTheFileInsteadOfConfirming) {
    UiTempFolder folder;
    // A folder where the settings file should be: it can be read from but never written.
    fs::create_directories(folder.file("栎岚文摘机.ini"));
    RecordingPlatform platform;
    ProgramParts parts{folder.localPath("栎岚文摘机.ini")};
    MainWindow window{parts.services()};
    window.show();
    window.saveSettingsNow();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(platform.messages[0].title, gb("栎岚："));
    EXPECT_NE(platform.messages[0].text, gb("保存完毕！"));
    EXPECT_NE(findText(platform.messages[0].text, folder.localPath("栎岚文摘机.ini")), -1);
}

TEST_F(MainWindowTest, SettingsLoadWhenTheWindowFirstShows) {
    // Saved by an earlier session; the window already showed once in SetUp.
    parts.settings.setSection(gb("基本配置"));
    parts.settings.writeText(gb("等待"), gb("900"));
    parts.settings.writeBool(gb("组合结果随机一句"), true);
    parts.settings.writeBool(gb("新闻标题"), false);

    MainWindow second{parts.services()};
    EXPECT_EQ(control<QLineEdit>(&second, "编辑框等待")->text(), qs("500"));
    second.show();
    EXPECT_EQ(control<QLineEdit>(&second, "编辑框等待")->text(), qs("900"));
    EXPECT_TRUE(control<QAbstractButton>(&second, "单选框随机一句")->isChecked());
    EXPECT_FALSE(control<QAbstractButton>(&second, "单选框新闻标题")->isChecked());
    second.hide();
    control<QLineEdit>(&second, "编辑框等待")->setText(qs("1"));
    second.show(); // only the first showing loads
    EXPECT_EQ(control<QLineEdit>(&second, "编辑框等待")->text(), qs("1"));
}

TEST_F(MainWindowTest, FileAndFolderDialogsFillTheirBoxesUnlessCancelled) {
    writeBytes(folder.file("地址.txt"), "1\r\n");
    fs::create_directories(folder.file("文章"));
    const QString file = QString::fromStdString(folder.file("地址.txt").string());
    const QString chosenFolder = QString::fromStdString(folder.file("文章").string());
    struct Case {
        const char* button;
        const char* box;
        const char* title;
        QString choice; // empty: cancel
        QString expected;
    };
    const Case cases[] = {
        {"按钮选择文件",
         "编辑框新闻地址",
         "选择一个文本文件，内容为一行一个的腾讯新闻地址",
         {},
         qs("文本文件，内容为一行一个的新闻地址")},
        {"按钮选择文件", "编辑框新闻地址", "选择一个文本文件，内容为一行一个的腾讯新闻地址", file, file},
        {"按钮选择文件夹",
         "编辑框保存文件夹",
         "请选择一个保存文章的目录：",
         {},
         qs("生成好的文章保存到的目录，后面是文件扩展名")},
        {"按钮选择文件夹", "编辑框保存文件夹", "请选择一个保存文章的目录：", chosenFolder, chosenFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " " + c.choice.toStdString());
        std::optional<QString> title;
        QStringList filters;
        answerNextDialog([&](QDialog* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            title = dialog->windowTitle();
            filters = files ? files->nameFilters() : QStringList();
            if (c.choice.isEmpty() || !files) return dialog->reject();
            typeFileName(files, c.choice);
            dialog->accept(); // QFileDialog::accept, through the public base
        });
        get<QPushButton>(c.button)->click();
        ASSERT_TRUE(title.has_value());
        EXPECT_EQ(title->toStdString(), c.title);
        if (std::string(c.button) == "按钮选择文件") {
            EXPECT_EQ(filters,
                      QStringList({qs("文本文件(*.txt) (*.txt *.text)"), qs("网页文件(*.htm) (*.htm *.html)"),
                                   qs("配置文件(*.ini) (*.ini *.inf)"), qs("全部文件(*.*) (*)")}));
        }
        EXPECT_EQ(get<QLineEdit>(c.box)->text(), c.expected);
    }
}

TEST_F(MainWindowTest, RightClickOnTheFolderButtonStartsProgramsAndOpensFolders) {
    UrlRecorder desktop(QStringLiteral("file"));
    const std::string script = "#!/bin/sh\necho started > \"$(dirname \"$0\")/$(basename \"$0\").ran\"\n";
    struct Case {
        const char* name;
        bool program; // written as an executable script
    };
    const Case cases[] = {{"启动工具.ExE", true}, {"启动工具", true}, {"文章", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path target = folder.file(c.name);
        if (c.program) {
            writeBytes(target, script);
            ::chmod(target.c_str(), 0755);
        } else {
            fs::create_directories(target);
        }
        setEdit("编辑框保存文件夹", target.string());
        desktop.opened.clear();
        QTest::mousePress(get<QPushButton>("按钮选择文件夹"), Qt::RightButton);
        if (c.program) {
            EXPECT_TRUE(
                waitFor([&] { return fs::exists(target.string() + ".ran"); }, std::chrono::seconds(20)));
            EXPECT_TRUE(desktop.opened.isEmpty());
        } else {
            ASSERT_EQ(desktop.opened.size(), 1);
            EXPECT_EQ(desktop.opened[0], QUrl::fromLocalFile(QString::fromStdString(target.string())));
        }
    }
}

TEST_F(MainWindowTest, HelpLinkShowsTheIntroductionModally) {
    bool shown = false;
    answerNextDialog([&](QDialog* dialog) {
        auto* viewer = qobject_cast<TextEditorDialog*>(dialog);
        ASSERT_NE(viewer, nullptr);
        shown = true;
        EXPECT_EQ(openTextDialog(), viewer);
        EXPECT_EQ(viewer->windowTitle(), qs("栎岚："));
        EXPECT_EQ(control<QPlainTextEdit>(viewer, "编辑框正文")->toPlainText(),
                  toQString(introductionText()).replace(qs("\r\n"), qs("\n")));
        // A second request while it is open returns at once.
        showTextDialog(gb("别的文字"));
        EXPECT_EQ(openTextDialog(), viewer);
        control<QPushButton>(viewer, "按钮取消")->click();
    });
    QTest::mouseClick(get<LinkLabel>("超级链接框操作"), Qt::LeftButton);
    EXPECT_TRUE(shown);
    EXPECT_EQ(openTextDialog(), nullptr);
}

// ---- collection runs through the window ------------------------------------------------

std::vector<FixtureComment> comments(int count) {
    std::vector<FixtureComment> out;
    for (int i = 1; i <= count; ++i)
        out.push_back({std::to_string(7000 + i), "第" + std::to_string(i) + "条评论的内容",
                       "网友" + std::to_string(i), "北京:北京:"});
    return out;
}

class MainWindowRunTest : public MainWindowTest {
protected:
    void prepareRun(int commentCount) {
        site.setPage("/a/20130829/123456.htm", newsPageBytes("测试新闻", "cmt_id = 100;"), "text/html", 200,
                     "news.qq.com");
        site.setThread("100", comments(commentCount));
        writeBytes(folder.file("list.txt"), "http://news.qq.com/a/20130829/123456.htm\r\n");
        setEdit("编辑框新闻地址", folder.file("list.txt").string());
        setEdit("编辑框保存文件夹", folder.file("文章").string());
        setEdit("编辑框文件扩展名", "txt");
        setEdit("编辑框组合数", "10");
        setEdit("编辑框等待", "0");
        get<QAbstractButton>("选择框打乱")->setChecked(false);
        get<QPlainTextEdit>("编辑框模板")->setPlainText(qs("#昵称#：#评论#\n"));
    }
    std::vector<std::string> articleNames() const {
        std::vector<std::string> names;
        if (fs::exists(folder.file("文章")))
            for (const auto& e : fs::directory_iterator(folder.file("文章")))
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    int commentRequests() {
        int n = 0;
        for (const RecordedRequest& r : site.requests())
            n += r.target.find("/comment?") != std::string::npos;
        return n;
    }

    FixtureSite site;
    ScopedProxy proxy{site};
};

TEST_F(MainWindowRunTest, ClickingStartRunsAWholeCollection) {
    prepareRun(25);
    get<QPushButton>("按钮开始采集")->click();

    EXPECT_EQ(articleNames(), (std::vector<std::string>{"测试新闻.txt", "测试新闻1.txt", "测试新闻2.txt"}));
    const std::string first = readBytes(folder.file("文章") / "测试新闻.txt");
    EXPECT_NE(findText(first, gb("<title>网友对《测试新闻》的评论</title>")), -1);
    EXPECT_NE(findText(first, gb("网友1：第1条评论的内容\r\n")), -1);
    EXPECT_EQ(findText(first, gb("网友11：")), -1);

    ASSERT_EQ(platform.messages.size(), 1u);
    const std::string summary = u8(platform.messages[0].text);
    EXPECT_EQ(summary.rfind("采集完成！共生成 3 篇文章！耗费 ", 0), 0u) << summary;
    EXPECT_EQ(platform.messages[0].title, gb("信息："));
    EXPECT_EQ(status().toStdString(), summary);
    EXPECT_EQ(caption(), qs("开始采集"));
}

TEST_F(MainWindowRunTest, ASecondClickOrClosingTheWindowStopsTheRunAfterItsPage) {
    enum class Action { ClickAgain, CloseWindow };
    for (Action action : {Action::ClickAgain, Action::CloseWindow}) {
        SCOPED_TRACE(action == Action::ClickAgain ? "click" : "close");
        site.reset();
        fs::remove_all(folder.file("文章"));
        platform.messages.clear();
        prepareRun(60); // three pages of twenty
        bool acted = false;
        QString captionAfter;
        platform.onEvents = [&] {
            if (acted || !status().startsWith(qs("正在采集评论(第 1 页)"))) return;
            acted = true;
            if (action == Action::ClickAgain)
                get<QPushButton>("按钮开始采集")->click();
            else
                EXPECT_FALSE(window.close());
            captionAfter = caption();
        };
        get<QPushButton>("按钮开始采集")->click();
        platform.onEvents = nullptr;

        EXPECT_TRUE(acted);
        EXPECT_EQ(captionAfter, qs("停止中.."));
        EXPECT_EQ(commentRequests(), 1);
        // The comments of the page already read still make their articles.
        EXPECT_EQ(articleNames().size(), 2u);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(u8(platform.messages[0].text).rfind("采集完成！共生成 2 篇文章！", 0), 0u);
        EXPECT_EQ(caption(), qs("开始采集"));
        EXPECT_TRUE(window.isVisible()); // a close waits for the run to end
        settle();
        EXPECT_EQ(window.isVisible(), action == Action::ClickAgain);
        EXPECT_EQ(savedMainKeys().size(), action == Action::CloseWindow ? 21u : 0u);
    }
}

} // namespace
} // namespace lilan::testing
