// The window layer over Qt: controls found by their object names, local text converted at
// this edge and nowhere else.
#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "text/form.h"
#include "text/text.h"

namespace lilan {

// Local text (GB18030 bytes) to QString and back.
QString toQString(const Text& localText);
Text fromQString(const QString& text);
// A fixed UTF-8 text of the program as QString (source literals are UTF-8).
inline QString qs(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The named control of `window`, searched through its child widgets but never inside
// another top-level window that it owns (the collector window shares control names with
// the main window).
QWidget* findControl(QWidget* window, const QString& name);

// A Qt window as the core procedures see it. Edit boxes (single and several lines), buttons,
// check boxes, radio buttons, labels and the combo box's edit text are reached by name; the
// caption is the window title; the status is the first part of the status bar "状态条".
class QtForm : public Form {
public:
    explicit QtForm(QWidget* window) : window_(window) {}

    Text text(const char* control) const override;
    void setText(const char* control, const Text& value) override;
    bool isChecked(const char* control) const override;
    void setChecked(const char* control, bool checked) override;
    void setCaption(const Text& caption) override;
    void setStatus(const Text& status) override;

    QWidget* control(const char* name) const;

private:
    QWidget* window_;
    mutable QHash<QString, QPointer<QWidget>> cache_;
};

} // namespace lilan
