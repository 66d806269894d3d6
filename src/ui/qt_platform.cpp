#include "ui/qt_platform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

#include "ui/qt_form.h"

namespace lilan {

void QtPlatform::processEvents() {
    QCoreApplication::processEvents();
}

void QtPlatform::showMessage(const Text& text, const Text& title, MessageKind kind) {
    const bool warning = kind == MessageKind::Warning;
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information, toQString(title),
                    toQString(text), QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("信息框"));
    // A preview shows the article's own mark-up; Qt would otherwise render a text that looks
    // like HTML instead of showing it.
    box.setTextFormat(Qt::PlainText);
    if (warning) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

} // namespace lilan
