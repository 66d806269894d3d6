#include "ui/collector_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "config/saved_settings.h"
#include "text/encoding.h"
#include "text/platform.h"
#include "text/run_button.h"
#include "ui/shell.h"
#include "ui/widgets.h"
#include "web/hosts.h"

namespace lilan {
namespace {

using K = ControlKind;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

// Three thin lines part the window: column mode, increment mode, output file.
constexpr ControlSpec kControls[] = {
    {"单选框按栏目", nullptr, K::Radio, 8, 8, 80, 24, "按栏目"},
    {"标签5", nullptr, K::Line, 92, 19, 496, 3, nullptr},
    {"标签1", nullptr, K::Label, 24, 40, 72, 24, "栏目页数：", kLeft},
    {"编辑框采集页数", nullptr, K::Edit, 88, 40, 48, 24, nullptr},
    {"标签4", nullptr, K::Label, 168, 40, 296, 24, "// 设定采集该栏目最多页数（每页 30-50 个地址左右）。",
     kLeft},
    {"图片框1", nullptr, K::Box, 24, 72, 472, 48, nullptr},
    {"单选框时政", "图片框1", K::Radio, 0, 0, 80, 24, "时政新闻"},
    {"单选框社会", "图片框1", K::Radio, 96, 0, 80, 24, "社会万象"},
    {"单选框花边", "图片框1", K::Radio, 192, 0, 80, 24, "国际花边"},
    {"单选框周边", "图片框1", K::Radio, 296, 0, 80, 24, "周边扫描"},
    {"单选框各地", "图片框1", K::Radio, 0, 24, 80, 24, "各地新闻"},
    {"单选框奇闻", "图片框1", K::Radio, 96, 24, 80, 24, "奇闻趣事"},
    {"单选框时事", "图片框1", K::Radio, 192, 24, 80, 24, "国际时事"},
    {"单选框军情", "图片框1", K::Radio, 296, 24, 80, 24, "国内军情"},
    {"单选框按递增", nullptr, K::Radio, 8, 152, 80, 24, "按递增"},
    {"标签6", nullptr, K::Line, 92, 163, 496, 3, nullptr},
    {"标签9", nullptr, K::Label, 24, 184, 56, 20, "地址模板：", kLeft},
    {"组合框地址模板", nullptr, K::Combo, 88, 184, 381, 20, nullptr},
    {"标签10", nullptr, K::Label, 24, 208, 64, 20, "递增最小：", kLeft},
    {"编辑框最小", nullptr, K::Edit, 88, 208, 56, 20, nullptr},
    {"标签11", nullptr, K::Label, 192, 208, 64, 20, "递增最大：", kLeft},
    {"编辑框最大", nullptr, K::Edit, 256, 208, 56, 20, nullptr},
    {"标签8", nullptr, K::Line, -8, 284, 496, 3, nullptr},
    {"标签2", nullptr, K::Label, 8, 303, 64, 24, "保存文件：", kLeft},
    {"编辑框保存文件", nullptr, K::Edit, 72, 303, 216, 24, nullptr},
    {"按钮选择", nullptr, K::RightButton, 288, 303, 32, 24, ".."},
    {"按钮开始采集", nullptr, K::Button, 344, 300, 128, 31, "开始采集"},
};

} // namespace

AddressCollectorWindow::AddressCollectorWindow(WindowServices services, QWidget* owner)
    : QWidget(owner, Qt::Window), services_(services), form_(this) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("AddressCollectorWindow"));
    buildWindow();
    applyCollectorFormDefaults(form_);
    loadCollectorSettings(services_.settings, form_);
}

void AddressCollectorWindow::buildWindow() {
    setWindowTitle(QStringLiteral("新闻地址采集器"));
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(491, 374);
    move(50, 50);
    buildControls(this, kControls);
    groupRadioButtons(this, {"单选框按栏目", "单选框按递增"});
    groupRadioButtons(this, {"单选框时政", "单选框社会", "单选框花边", "单选框周边", "单选框各地",
                             "单选框奇闻", "单选框时事", "单选框军情"});

    // Each column button carries the address pattern of its list pages.
    for (const CollectorColumn& column : collectorColumns()) {
        if (QWidget* button = form_.control(column.control))
            button->setProperty("tag", QString::fromUtf8(std::string(NewsSiteBase) + column.pathPattern));
    }
    auto* templates = qobject_cast<QComboBox*>(form_.control("组合框地址模板"));
    templates->addItem(toQString(Text(CommentServiceBase) + local("#递增#")));
    templates->addItem(toQString(Text(TopicPageBase) + local("/intouchtoday/index.htm?#递增#")));

    auto* start = qobject_cast<QPushButton*>(form_.control("按钮开始采集"));
    connect(start, &QPushButton::clicked, this, &AddressCollectorWindow::startClicked);
    auto* choose = qobject_cast<RightClickButton*>(form_.control("按钮选择"));
    connect(choose, &QPushButton::clicked, this, &AddressCollectorWindow::chooseOutputFile);
    connect(choose, &RightClickButton::rightPressed, this, &AddressCollectorWindow::openOutputFile);
}

void AddressCollectorWindow::startClicked() {
    // A click while collecting arrives here nested and takes the stop branch.
    if (runIsGoing(form_)) {
        collectorButtonClicked(form_, services_.collector);
        return;
    }
    collecting_ = true;
    collectorButtonClicked(form_, services_.collector);
    collecting_ = false;
    if (closeWhenIdle_) QTimer::singleShot(0, this, &QWidget::close);
}

void AddressCollectorWindow::chooseOutputFile() {
    QFileDialog* dialog = makeAddressListDialog(
        this, QStringLiteral("选择一个文本文件保存内容为一行一个的腾讯新闻地址"), true, lastChosen_);
    const QString chosen = runFileDialog(dialog);
    delete dialog;
    if (chosen.isEmpty()) return;
    lastChosen_ = chosen;
    form_.setText("编辑框保存文件", fromQString(chosen));
}

void AddressCollectorWindow::openOutputFile() {
    openWithShell(toQString(form_.text("编辑框保存文件")));
}

void AddressCollectorWindow::closeEvent(QCloseEvent* event) {
    if (collecting_) {
        // Closing must not cut a collection off: ask it to stop and close when it has ended,
        // so the file it writes is complete and closed.
        if (runIsGoing(form_)) collectorButtonClicked(form_, services_.collector);
        closeWhenIdle_ = true;
        event->ignore();
        return;
    }
    if (!saveCollectorSettings(services_.settings, form_))
        platform().showMessage(services_.settings.lastError(), programTitle(), MessageKind::Warning);
    event->accept();
}

} // namespace lilan
