// The address collector window: its controls, its life as a window owned by the main window,
// its saved choices, and collections started from its button.
#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "support/fixture_site.h"
#include "ui/collector_window.h"
#include "ui/main_window.h"
#include "ui/widgets.h"
#include "ui_support.h"
#include "web/hosts.h"

namespace lilan::testing {
namespace {

const ControlCase kCollectorControls[] = {
    {"单选框按栏目", "QRadioButton", 8, 8, 80, 24, "按栏目", 1},
    {"标签5", "QLabel", 92, 19, 496, 3, "", -1},
    {"标签1", "QLabel", 24, 40, 72, 24, "栏目页数：", -1},
    {"编辑框采集页数", "QLineEdit", 88, 40, 48, 24, "80", -1},
    {"标签4", "QLabel", 168, 40, 296, 24, "// 设定采集该栏目最多页数（每页 30-50 个地址左右）。", -1},
    {"图片框1", "QWidget", 24, 72, 472, 48, nullptr, -1},
    {"单选框时政", "QRadioButton", 0, 0, 80, 24, "时政新闻", 1},
    {"单选框社会", "QRadioButton", 96, 0, 80, 24, "社会万象", 0},
    {"单选框花边", "QRadioButton", 192, 0, 80, 24, "国际花边", 0},
    {"单选框周边", "QRadioButton", 296, 0, 80, 24, "周边扫描", 0},
    {"单选框各地", "QRadioButton", 0, 24, 80, 24, "各地新闻", 0},
    {"单选框奇闻", "QRadioButton", 96, 24, 80, 24, "奇闻趣事", 0},
    {"单选框时事", "QRadioButton", 192, 24, 80, 24, "国际时事", 0},
    {"单选框军情", "QRadioButton", 296, 24, 80, 24, "国内军情", 0},
    {"单选框按递增", "QRadioButton", 8, 152, 80, 24, "按递增", 0},
    {"标签6", "QLabel", 92, 163, 496, 3, "", -1},
    {"标签9", "QLabel", 24, 184, 56, 20, "地址模板：", -1},
    {"组合框地址模板", "QComboBox", 88, 184, 381, 20, "http://coral.qq.com/#递增#", -1},
    {"标签10", "QLabel", 24, 208, 64, 20, "递增最小：", -1},
    {"编辑框最小", "QLineEdit", 88, 208, 56, 20, "1", -1},
    {"标签11", "QLabel", 192, 208, 64, 20, "递增最大：", -1},
    {"编辑框最大", "QLineEdit", 256, 208, 56, 20, "300", -1},
    {"标签8", "QLabel", -8, 284, 496, 3, "", -1},
    {"标签2", "QLabel", 8, 303, 64, 24, "保存文件：", -1},
    {"编辑框保存文件", "QLineEdit", 72, 303, 216, 24, nullptr, -1},
    {"按钮选择", "QPushButton", 288, 303, 32, 24, "..", -1},
    {"按钮开始采集", "QPushButton", 344, 300, 128, 31, "开始采集", -1},
};

class CollectorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = qgetenv("HOME");
        // The default output file lies in the home folder.
        qputenv("HOME", QByteArray::fromStdString(folder.path().string()));
        main.show();
    }
    void TearDown() override { qputenv("HOME", home_); }

    // Opens the collector the way the user does, through the main window's link.
    AddressCollectorWindow* open() {
        QTest::mouseClick(control<LinkLabel>(&main, "超级链接框地址"), Qt::LeftButton);
        return main.collectorWindow();
    }
    template <typename T> T* get(QWidget* window, const char* name) {
        T* w = control<T>(window, name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    std::vector<Text> savedCollectorKeys() const {
        return sectionLines(readBytes(folder.file("栎岚文摘机.ini")), "新闻地址采集器");
    }

    QByteArray home_;
    UiTempFolder folder;
    RecordingPlatform platform;
    ProgramParts parts{folder.localPath("栎岚文摘机.ini")};
    MainWindow main{parts.services()};
};

TEST_F(CollectorWindowTest, EveryControlHasItsNameKindPlaceAndDefault) {
    AddressCollectorWindow* w = open();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isWindow());
    EXPECT_EQ(w->parentWidget(), &main); // owned by the main window
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->windowTitle(), qs("新闻地址采集器"));
    EXPECT_EQ(w->size(), QSize(491, 374));
    EXPECT_EQ(w->pos(), QPoint(50, 50));
    expectControlsAsListed(w, kCollectorControls);
    EXPECT_EQ(get<QLineEdit>(w, "编辑框保存文件")->text().toStdString(),
              (folder.path() / "新闻地址.txt").string());

    auto* templates = get<QComboBox>(w, "组合框地址模板");
    EXPECT_TRUE(templates->isEditable());
    ASSERT_EQ(templates->count(), 2);
    EXPECT_EQ(templates->itemText(0).toStdString(), std::string(CommentServiceBase) + "#递增#");
    EXPECT_EQ(templates->itemText(1).toStdString(),
              std::string(TopicPageBase) + "/intouchtoday/index.htm?#递增#");

    // Every column button carries the address pattern of its list pages.
    for (const CollectorColumn& column : collectorColumns())
        EXPECT_EQ(get<QRadioButton>(w, column.control)->property("tag").toString().toStdString(),
                  std::string(NewsSiteBase) + column.pathPattern);

    // Two radio groups: the mode, and the column.
    get<QRadioButton>(w, "单选框军情")->click();
    EXPECT_FALSE(get<QRadioButton>(w, "单选框时政")->isChecked());
    EXPECT_TRUE(get<QRadioButton>(w, "单选框按栏目")->isChecked());
    for (int click = 0; click < 2; ++click) { // a second click keeps the choice
        get<QRadioButton>(w, "单选框按递增")->click();
        EXPECT_TRUE(get<QRadioButton>(w, "单选框按递增")->isChecked());
        EXPECT_FALSE(get<QRadioButton>(w, "单选框按栏目")->isChecked());
        EXPECT_TRUE(get<QRadioButton>(w, "单选框军情")->isChecked());
    }
    // The saved settings may leave a group without a checked button, as it was stored.
    w->form().setChecked("单选框军情", false);
    for (const CollectorColumn& column : collectorColumns())
        EXPECT_FALSE(w->form().isChecked(column.control)) << column.control;
}

TEST_F(CollectorWindowTest, ReopenedWindowShowsTheChoicesOfTheLastClosing) {
    AddressCollectorWindow* first = open();
    ASSERT_NE(first, nullptr);
    get<QRadioButton>(first, "单选框按递增")->click();
    get<QComboBox>(first, "组合框地址模板")->setCurrentIndex(1);
    get<QLineEdit>(first, "编辑框最小")->setText(qs("10"));
    get<QLineEdit>(first, "编辑框最大")->setText(qs("12"));

    // A second click while it is open brings the same window forward.
    EXPECT_EQ(open(), first);
    EXPECT_EQ(main.findChildren<AddressCollectorWindow*>().size(), 1);

    EXPECT_TRUE(first->close());
    settle();
    EXPECT_EQ(main.collectorWindow(), nullptr);
    EXPECT_EQ(savedCollectorKeys().size(), 15u);

    AddressCollectorWindow* second = open();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(get<QRadioButton>(second, "单选框按递增")->isChecked());
    EXPECT_FALSE(get<QRadioButton>(second, "单选框按栏目")->isChecked());
    EXPECT_EQ(get<QComboBox>(second, "组合框地址模板")->currentText().toStdString(),
              std::string(TopicPageBase) + "/intouchtoday/index.htm?#递增#");
    EXPECT_EQ(get<QLineEdit>(second, "编辑框最小")->text(), qs("10"));
    EXPECT_EQ(get<QLineEdit>(second, "编辑框最大")->text(), qs("12"));
    EXPECT_TRUE(get<QRadioButton>(second, "单选框时政")->isChecked());
}

TEST_F(CollectorWindowTest, IncrementCollectionFromTheButtonAndClosingDuringIt) {
    enum class Action { None, CloseWindow };
    for (Action action : {Action::None, Action::CloseWindow}) {
        SCOPED_TRACE(action == Action::None ? "whole" : "closed");
        platform.messages.clear();
        AddressCollectorWindow* w = open();
        ASSERT_NE(w, nullptr);
        const fs::path output = folder.file("新的文件夹") / "地址.txt";
        fs::remove_all(output.parent_path());
        get<QRadioButton>(w, "单选框按递增")->click();
        get<QLineEdit>(w, "编辑框最小")->setText(qs("1"));
        get<QLineEdit>(w, "编辑框最大")->setText(qs("3"));
        get<QLineEdit>(w, "编辑框保存文件")->setText(QString::fromStdString(output.string()));
        bool closeRefused = false;
        platform.onEvents = [&] {
            if (action != Action::CloseWindow || closeRefused) return;
            closeRefused = !w->close();
        };
        get<QPushButton>(w, "按钮开始采集")->click();
        platform.onEvents = nullptr;

        const std::string base = CommentServiceBase;
        EXPECT_EQ(readBytes(output),
                  action == Action::None ? base + "1\r\n" + base + "2\r\n" + base + "3\r\n" : base + "1\r\n");
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].text, gb("采集完成"));
        EXPECT_EQ(get<QPushButton>(w, "按钮开始采集")->text(), qs("开始采集"));
        EXPECT_EQ(closeRefused, action == Action::CloseWindow);
        settle();
        EXPECT_EQ(main.collectorWindow() == nullptr, action == Action::CloseWindow);
    }
    EXPECT_EQ(savedCollectorKeys().size(), 15u);
}

TEST_F(CollectorWindowTest, ColumnCollectionThroughTheFixtureSite) {
    FixtureSite site;
    ScopedProxy proxy(site);
    AddressCollectorWindow* w = open();
    ASSERT_NE(w, nullptr);
    const fs::path output = folder.file("栏目.txt");
    get<QRadioButton>(w, "单选框军情")->click();
    get<QLineEdit>(w, "编辑框采集页数")->setText(qs("2"));
    get<QLineEdit>(w, "编辑框保存文件")->setText(QString::fromStdString(output.string()));
    QStringList captions;
    platform.onEvents = [&] {
        if (captions.isEmpty() || captions.back() != w->windowTitle()) captions.push_back(w->windowTitle());
    };
    get<QPushButton>(w, "按钮开始采集")->click();
    platform.onEvents = nullptr;

    // Pages 1 and 2 of the column: on each, eight news links and one in capitals, not the
    // other site's.
    const TextList lines = splitList(readBytes(output), "\r\n");
    ASSERT_EQ(lines.size(), 18u);
    for (const Text& line : lines)
        EXPECT_EQ(hostOf(line), NewsSiteHost) << line;
    EXPECT_TRUE(captions.contains(qs("正在采集第 1 页.."))) << captions.join(qs("|")).toStdString();
    EXPECT_EQ(w->windowTitle(), qs("新闻地址采集器"));
}

TEST_F(CollectorWindowTest, OutputFileIsChosenInASaveDialogAndOpenedByRightClick) {
    AddressCollectorWindow* w = open();
    ASSERT_NE(w, nullptr);
    const QString chosen = QString::fromStdString(folder.file("选中的.txt").string());
    QString title;
    answerNextDialog([&](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        title = files->windowTitle();
        EXPECT_EQ(files->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(files->nameFilters().size(), 4);
        EXPECT_EQ(files->selectedNameFilter(),
                  qs("文本文件(*.txt)")); // the first, shown without its patterns
        typeFileName(files, chosen);
        dialog->accept(); // QFileDialog::accept, through the public base
    });
    get<QPushButton>(w, "按钮选择")->click();
    EXPECT_EQ(title, qs("选择一个文本文件保存内容为一行一个的腾讯新闻地址"));
    EXPECT_EQ(get<QLineEdit>(w, "编辑框保存文件")->text(), chosen);
    EXPECT_FALSE(fs::exists(folder.file("选中的.txt"))); // created only when a collection starts

    UrlRecorder desktop(QStringLiteral("file"));
    QTest::mousePress(get<QPushButton>(w, "按钮选择"), Qt::RightButton);
    ASSERT_EQ(desktop.opened.size(), 1);
    EXPECT_EQ(desktop.opened[0], QUrl::fromLocalFile(chosen));
}

} // namespace
} // namespace lilan::testing
