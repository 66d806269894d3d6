#include "ui/qt_form.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "text/encoding.h"

namespace lilan {

QString toQString(const Text& localText) {
    return QString::fromStdString(toUtf8(localText));
}

Text fromQString(const QString& text) {
    return fromUtf8(text.toStdString());
}

QWidget* findControl(QWidget* window, const QString& name) {
    const QObjectList& children = window->children();
    for (QObject* child : children) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isWindow() && widget->objectName() == name) return widget;
    }
    for (QObject* child : children) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow()) continue;
        if (QWidget* found = findControl(widget, name)) return found;
    }
    return nullptr;
}

namespace {

// The program's texts break lines with CR LF, as the boxes of its original platform did;
// Qt's text boxes break them with LF alone. Converting here keeps every stored template,
// head and tail byte for byte what the user typed.
QString toBoxLines(const Text& localText) {
    QString text = toQString(localText);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

Text fromBoxLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return fromQString(text);
}

} // namespace

QWidget* QtForm::control(const char* name) const {
    const QString key = QString::fromUtf8(name);
    auto it = cache_.find(key);
    if (it != cache_.end() && it.value()) return it.value();
    QWidget* found = findControl(window_, key);
    if (found) cache_.insert(key, found);
    return found;
}

Text QtForm::text(const char* name) const {
    QWidget* w = control(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return fromQString(edit->text());
    if (auto* box = qobject_cast<QPlainTextEdit*>(w)) return fromBoxLines(box->toPlainText());
    if (auto* combo = qobject_cast<QComboBox*>(w)) return fromQString(combo->currentText());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return fromQString(button->text());
    if (auto* label = qobject_cast<QLabel*>(w)) return fromQString(label->text());
    return {};
}

void QtForm::setText(const char* name, const Text& value) {
    QWidget* w = control(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(toQString(value));
        edit->setCursorPosition(0);
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(w)) {
        box->setPlainText(toBoxLines(value));
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->isEditable())
            combo->setEditText(toQString(value));
        else
            combo->setCurrentText(toQString(value));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(toQString(value));
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(toQString(value));
    }
}

bool QtForm::isChecked(const char* name) const {
    auto* button = qobject_cast<QAbstractButton*>(control(name));
    return button && button->isChecked();
}

void QtForm::setChecked(const char* name, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(control(name));
    if (!button) return;
    QButtonGroup* group = button->group();
    const bool exclusive = group ? group->exclusive() : button->autoExclusive();
    if (checked || !exclusive) {
        button->setChecked(checked);
        return;
    }
    // Qt refuses to uncheck the checked member of a radio group; the saved settings set every
    // member of a group in turn, false included, and must be able to leave a stored state
    // exactly as it was saved.
    if (group) {
        group->setExclusive(false);
        button->setChecked(false);
        group->setExclusive(true);
    } else {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
}

void QtForm::setCaption(const Text& caption) {
    window_->setWindowTitle(toQString(caption));
}

void QtForm::setStatus(const Text& status) {
    auto* bar = qobject_cast<QStatusBar*>(control("状态条"));
    if (!bar) return;
    if (auto* firstPart = bar->findChild<QLabel*>())
        firstPart->setText(toQString(status));
    else
        bar->showMessage(toQString(status));
}

} // namespace lilan
