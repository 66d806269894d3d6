// How the Qt controls and message boxes keep the texts the program hands them.
#include <QComboBox>
#include <QMessageBox>

#include "ui/qt_platform.h"
#include "ui/widgets.h"
#include "ui_support.h"

namespace lilan::testing {
namespace {

TEST(Controls, KeepLongTextsWholeAndDoNotCompleteTyping) {
    QWidget window;
    const ControlSpec specs[] = {
        {"编辑框匹配式", nullptr, ControlKind::Edit, 0, 0, 100, 20, nullptr},
        {"组合框地址模板", nullptr, ControlKind::Combo, 0, 30, 100, 20, nullptr},
    };
    buildControls(&window, specs);
    QtForm form(&window);
    // A replacement list longer than a line edit takes by default is neither cut when set
    // nor when read back (and so when saved).
    const Text list(40000, 'a');
    form.setText("编辑框匹配式", list);
    EXPECT_EQ(form.text("编辑框匹配式").size(), list.size());
    form.setText("组合框地址模板", list);
    EXPECT_EQ(form.text("组合框地址模板").size(), list.size());
    EXPECT_EQ(window.findChild<QComboBox*>(QStringLiteral("组合框地址模板"))->completer(), nullptr);
}

TEST(QtPlatformMessages, ShowMarkUpAsText) {
    QtPlatform platform;
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                format = box->textFormat();
                shown = box->text();
                box->accept();
            }
        }
    });
    const Text article =
        gb("<html>\r\n<title>网友对《标题》的评论</title>\r\n<b>小明</b>说：好<br>\r\n</html>");
    platform.showMessage(article, gb("标题"), MessageKind::Information);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, toQString(article));
}

} // namespace
} // namespace lilan::testing
