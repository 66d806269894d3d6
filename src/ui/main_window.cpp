#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "config/saved_settings.h"
#include "text/encoding.h"
#include "text/platform.h"
#include "text/run_button.h"
#include "ui/collector_window.h"
#include "ui/pictures.h"
#include "ui/shell.h"
#include "ui/text_dialog.h"
#include "ui/widgets.h"

namespace lilan {
namespace {

using K = ControlKind;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

constexpr int kWidth = 750;
constexpr int kHeight = 562;
constexpr int kStatusHeight = 20;

// Labels that stand in front of their edit box are right-aligned against it.
constexpr ControlSpec kControls[] = {
    {"图片框1", nullptr, K::Box, 0, 0, 994, 88, nullptr},
    {"图片框保存", "图片框1", K::Picture, 8, 0, 64, 64, nullptr},
    {"超级链接框保存", "图片框1", K::Link, 8, 64, 64, 24, "保存配置"},
    {"图片框QQ", "图片框1", K::Picture, 88, 0, 64, 64, nullptr},
    {"超级链接框QQ", "图片框1", K::Link, 88, 64, 64, 24, "联系我们"},
    {"图片框更新", "图片框1", K::Picture, 168, 0, 64, 64, nullptr},
    {"超级链接框更新", "图片框1", K::Link, 168, 64, 64, 24, "软件主页"},
    {"图片框操作", "图片框1", K::Picture, 248, 0, 64, 64, nullptr},
    {"超级链接框操作", "图片框1", K::Link, 248, 64, 64, 24, "疑点说明"},
    {"图片框软件", "图片框1", K::Picture, 328, 0, 64, 64, nullptr},
    {"超级链接框软件", "图片框1", K::Link, 328, 64, 64, 24, "更多软件"},
    {"图片框官网", "图片框1", K::Picture, 432, 12, 145, 64, nullptr},
    {"图片框地址", "图片框1", K::Picture, 657, 0, 64, 64, nullptr},
    {"超级链接框地址", "图片框1", K::Link, 646, 64, 88, 24, "新闻地址采集器"},
    {"标签12", nullptr, K::Line, -7, 88, 1000, 2, nullptr},

    {"分组框1", nullptr, K::Group, 16, 104, 480, 272, "第一步：采集设置"},
    {"标签6", "分组框1", K::Label, 12, 24, 116, 24, "新闻地址文件：", kRight},
    {"编辑框新闻地址", "分组框1", K::Edit, 128, 24, 312, 24, nullptr},
    {"按钮选择文件", "分组框1", K::Button, 440, 24, 28, 24, ".."},
    {"标签8", "分组框1", K::Label, 12, 64, 116, 24, "换页等待毫秒：", kRight},
    {"编辑框等待", "分组框1", K::Edit, 128, 64, 40, 24, nullptr},
    {"标签9", "分组框1", K::Label, 280, 64, 144, 24, "每条评论最少字数：", kRight},
    {"编辑框评论最少字数", "分组框1", K::Edit, 428, 64, 40, 24, nullptr},
    {"标签1", "分组框1", K::Label, -24, 96, 152, 24, "每篇文章评论数：", kRight},
    {"编辑框组合数", "分组框1", K::Edit, 128, 96, 40, 24, nullptr},
    {"标签3", "分组框1", K::Label, 280, 96, 144, 24, "每地址采集多少页：", kRight},
    {"编辑框页数", "分组框1", K::Edit, 428, 96, 40, 24, nullptr},
    {"标签2", "分组框1", K::Label, 12, 140, 116, 20, "单条评论模板：", kLeft},
    {"按钮可引用项目", "分组框1", K::Button, 144, 140, 100, 20, "可引用项目"},
    {"标签10", "分组框1", K::Label, 252, 140, 76, 20, "文章头：", kLeft},
    {"标签11", "分组框1", K::Label, 364, 140, 76, 20, "文章尾：", kLeft},
    {"编辑框模板", "分组框1", K::Lines, 12, 162, 232, 80, nullptr},
    {"编辑框头", "分组框1", K::Lines, 252, 162, 104, 80, nullptr},
    {"编辑框尾", "分组框1", K::Lines, 363, 162, 104, 80, nullptr},
    {"选择框打乱", "分组框1", K::Check, 12, 247, 140, 16, "随机交换评论数据"},

    {"分组框3", nullptr, K::Group, 512, 104, 216, 264, "第二步：替换设置（可选）"},
    {"选择框自动去除网址", "分组框3", K::Check, 8, 24, 152, 24, "自动去除网址"},
    {"选择框自动去除标签", "分组框3", K::Check, 8, 56, 152, 24, "自动去除网页标签"},
    {"选择框替换", "分组框3", K::Check, 8, 88, 152, 24, "自定义替换："},
    {"编辑框匹配式", "分组框3", K::Edit, 32, 115, 168, 40, nullptr},
    {"标签7", "分组框3", K::Label, 11, 143, 12, 32, "为", Qt::AlignCenter},
    {"编辑框替换式", "分组框3", K::Edit, 32, 163, 168, 40, nullptr},
    {"选择框忽略大小写", "分组框3", K::Check, 32, 208, 152, 24, "忽略大小写"},
    {"选择框正则", "分组框3", K::Check, 32, 232, 168, 24, "使用正则表达式替换"},

    {"分组框2", nullptr, K::Group, 16, 388, 480, 96, "第三步：保存设置"},
    {"标签4", "分组框2", K::Label, 8, 24, 104, 24, "文件名的来源：", kRight},
    {"单选框新闻标题", "分组框2", K::Radio, 112, 24, 104, 24, "新闻标题"},
    {"单选框随机一句", "分组框2", K::Radio, 216, 24, 160, 24, "组合结果随机一句"},
    {"标签5", "分组框2", K::Label, 8, 56, 104, 24, "保存的文件夹：", kRight},
    {"编辑框保存文件夹", "分组框2", K::Edit, 112, 56, 296, 24, nullptr},
    {"按钮选择文件夹", "分组框2", K::RightButton, 408, 56, 24, 24, ".."},
    {"编辑框文件扩展名", "分组框2", K::Edit, 432, 56, 32, 24, nullptr},

    {"选择框预览", nullptr, K::Check, 512, 396, 264, 24, "仅信息框预览采集效果"},
    {"按钮开始采集", nullptr, K::Button, 512, 432, 216, 48, "开始采集"},
};

struct PlaceholderItem {
    const char* text; // the placeholder, a tab, and its explanation shown right-aligned
    const char* inserts;
};

constexpr PlaceholderItem kPlaceholders[] = {
    {"#所在地#\t// 评论者的地理信息", "#所在地#"}, {"#昵称#\t// 评论者的昵称", "#昵称#"},
    {"#评论#\t// 评论者的评论内容", "#评论#"},     {"#标题#\t// 该篇新闻的标题", "#标题#"},
    {"#分隔#\t// 多个模板以此项目隔开", "#分隔#"},
};

struct BannerButton {
    const char* picture;
    BannerPicture kind;
};

constexpr BannerButton kBannerButtons[] = {
    {"图片框保存", BannerPicture::Save},      {"图片框QQ", BannerPicture::Contact},
    {"图片框更新", BannerPicture::Home},      {"图片框操作", BannerPicture::Help},
    {"图片框软件", BannerPicture::More},      {"图片框官网", BannerPicture::Logo},
    {"图片框地址", BannerPicture::Collector},
};

// The file chosen last in the address-list dialog, for as long as the program runs.
QString& lastAddressFile() {
    static QString chosen;
    return chosen;
}

template <typename T> T* controlAs(QtForm& form, const char* name) {
    return qobject_cast<T*>(form.control(name));
}

} // namespace

MainWindow::MainWindow(WindowServices services, QWidget* parent)
    : QWidget(parent), services_(services), form_(this) {
    setObjectName(QStringLiteral("MainWindow"));
    buildWindow();
    applyMainFormDefaults(form_);
}

MainWindow::~MainWindow() {
    // Deleted here, while this window is whole, rather than among the children later on.
    delete collector_.data();
}

void MainWindow::buildWindow() {
    setWindowTitle(QStringLiteral("栎岚文摘机 v1.431"));
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(kWidth, kHeight);
    move(50, 50);
    buildControls(this, kControls);
    groupRadioButtons(this, {"单选框新闻标题", "单选框随机一句"});

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("状态条"));
    bar->setSizeGripEnabled(false);
    bar->setGeometry(0, kHeight - kStatusHeight, kWidth, kStatusHeight);
    auto* firstPart = new QLabel(bar);
    firstPart->setTextFormat(Qt::PlainText);
    firstPart->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(firstPart, 1);

    buildBanner();
    buildMenu();

    connect(controlAs<QPushButton>(form_, "按钮开始采集"), &QPushButton::clicked, this,
            &MainWindow::startClicked);
    connect(controlAs<QPushButton>(form_, "按钮可引用项目"), &QPushButton::clicked, this,
            &MainWindow::showPlaceholderMenu);
    connect(controlAs<QPushButton>(form_, "按钮选择文件"), &QPushButton::clicked, this,
            &MainWindow::chooseAddressFile);
    auto* folderButton = controlAs<RightClickButton>(form_, "按钮选择文件夹");
    connect(folderButton, &QPushButton::clicked, this, &MainWindow::chooseSaveFolder);
    connect(folderButton, &RightClickButton::rightPressed, this, &MainWindow::openSaveFolder);
}

void MainWindow::buildBanner() {
    QWidget* banner = form_.control("图片框1");
    banner->setAutoFillBackground(true);
    QPalette p = banner->palette();
    p.setColor(QPalette::Window, Qt::white);
    banner->setPalette(p);

    for (const BannerButton& b : kBannerButtons) {
        auto* button = controlAs<PictureButton>(form_, b.picture);
        button->setPicture(bannerPicture(b.kind, button->width(), button->height()));
    }

    auto onPress = [this](const char* link, auto action) {
        connect(controlAs<LinkLabel>(form_, link), &LinkLabel::pressed, this, action);
    };
    auto onClick = [this](const char* picture, auto action) {
        connect(controlAs<PictureButton>(form_, picture), &QAbstractButton::clicked, this, action);
    };
    onPress("超级链接框保存", &MainWindow::saveSettingsNow);
    onClick("图片框保存", &MainWindow::saveSettingsNow);
    onPress("超级链接框操作", &MainWindow::showIntroduction);
    onClick("图片框操作", &MainWindow::showIntroduction);
    onPress("超级链接框地址", &MainWindow::openCollectorWindow);
    onClick("图片框地址", &MainWindow::openCollectorWindow);

    // The publisher's pages are the program's own documentation, shipped beside it.
    auto opens = [this](const char* link, const char* section) {
        connect(controlAs<LinkLabel>(form_, link), &LinkLabel::clicked, this,
                [section] { openWithShell(manualAddress(section)); });
    };
    opens("超级链接框更新", "home");
    opens("超级链接框软件", "more");
    opens("超级链接框QQ", "contact");
    onClick("图片框更新", [] { openWithShell(manualAddress("home")); });
    onClick("图片框官网", [] { openWithShell(manualAddress()); });
}

void MainWindow::buildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("可引用项目"));
    menu_->setTitle(QStringLiteral("可引用项目"));
    for (const PlaceholderItem& item : kPlaceholders) {
        const QString placeholder = QString::fromUtf8(item.inserts);
        // Qt shows what follows a tab in a menu item right-aligned, as a shortcut column.
        QAction* action = menu_->addAction(QString::fromUtf8(item.text));
        connect(action, &QAction::triggered, this, [this, placeholder] { insertPlaceholder(placeholder); });
    }
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("点击上面项目可插入到模板中"))->setEnabled(false);
    menu_->addAction(QStringLiteral("#标题# 可在文章头尾中引用"))->setEnabled(false);
}

AddressCollectorWindow* MainWindow::collectorWindow() const {
    return collector_.data();
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (settingsLoaded_) return;
    settingsLoaded_ = true;
    loadMainSettings(services_.settings, form_);
}

void MainWindow::startClicked() {
    // A click during a run arrives here nested, from the run's event handling, and takes
    // the stop branch of the handler.
    if (runIsGoing(form_)) {
        startButtonClicked(form_, services_.collection);
        return;
    }
    running_ = true;
    startButtonClicked(form_, services_.collection);
    running_ = false;
    if (closeWhenIdle_) closeWhenIdle();
}

void MainWindow::showPlaceholderMenu() {
    controlAs<QPlainTextEdit>(form_, "编辑框模板")->setFocus();
    menu_->popup(QCursor::pos());
}

void MainWindow::insertPlaceholder(const QString& placeholder) {
    auto* box = controlAs<QPlainTextEdit>(form_, "编辑框模板");
    box->setFocus();
    box->textCursor().insertText(placeholder);
}

void MainWindow::chooseAddressFile() {
    QFileDialog* dialog = makeAddressListDialog(
        this, QStringLiteral("选择一个文本文件，内容为一行一个的腾讯新闻地址"), false, lastAddressFile());
    const QString chosen = runFileDialog(dialog);
    delete dialog;
    if (chosen.isEmpty()) return;
    lastAddressFile() = chosen;
    form_.setText("编辑框新闻地址", fromQString(chosen));
}

void MainWindow::chooseSaveFolder() {
    static const Text title = local("请选择一个保存文章的目录：");
    const Text folder = chooseFolder(form_.text("编辑框保存文件夹"), title);
    if (!folder.empty()) form_.setText("编辑框保存文件夹", folder);
}

void MainWindow::openSaveFolder() {
    openInExplorer(form_.text("编辑框保存文件夹"));
}

void MainWindow::saveSettingsNow() {
    static const Text saved = local("保存完毕！");
    if (saveMainSettings(services_.settings, form_))
        platform().showMessage(saved, infoTitle(), MessageKind::Information);
    else
        platform().showMessage(services_.settings.lastError(), programTitle(), MessageKind::Warning);
}

void MainWindow::showIntroduction() {
    showTextDialog(introductionText(), this);
}

void MainWindow::openCollectorWindow() {
    // A window that has closed only waits for its deletion; opening creates a new one.
    if (collector_ && collector_->isVisible()) {
        collector_->showNormal();
        collector_->raise();
        collector_->activateWindow();
        return;
    }
    collector_ = new AddressCollectorWindow(services_, this);
    connect(collector_, &QObject::destroyed, this, [this] {
        if (closeWhenIdle_) closeWhenIdle();
    });
    collector_->show();
}

bool MainWindow::readyToClose() {
    bool ready = true;
    if (running_) {
        // The run ends at its next stop test and writes the articles it has begun.
        if (runIsGoing(form_)) startButtonClicked(form_, services_.collection);
        ready = false;
    }
    if (collector_ && collector_->isVisible() && !collector_->close()) ready = false;
    return ready;
}

void MainWindow::closeWhenIdle() {
    QTimer::singleShot(0, this, [this] {
        if (closeWhenIdle_ && !running_) close();
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!readyToClose()) {
        closeWhenIdle_ = true;
        event->ignore();
        return;
    }
    closeWhenIdle_ = false;
    if (TextEditorDialog* dialog = openTextDialog()) dialog->reject();
    if (!saveMainSettings(services_.settings, form_))
        platform().showMessage(services_.settings.lastError(), programTitle(), MessageKind::Warning);
    event->accept();
}

} // namespace lilan
