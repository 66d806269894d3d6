// The few control kinds the windows need beyond Qt's own, and a builder that places
// controls from tables of name, kind, position, size and caption.
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QString>
#include <initializer_list>
#include <span>

namespace lilan {

// A text link: reacts to the left mouse button like the links of the banner.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

signals:
    void pressed(); // left button went down on the link
    void clicked(); // left button went down and up on the link

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool down_ = false;
};

// A flat button that shows a picture and lights up under the mouse.
class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);
    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap picture_;
    bool hovered_ = false;
};

// A push button that also reports the right mouse button going down on it.
class RightClickButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

signals:
    void rightPressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

enum class ControlKind {
    Label,       // text label
    Line,        // a label drawn as a sunken separator line
    Link,        // LinkLabel
    Picture,     // PictureButton
    Box,         // a plain container (the picture boxes that hold other controls)
    Group,       // QGroupBox with a caption
    Edit,        // QLineEdit
    Lines,       // QPlainTextEdit: an edit box of several lines
    Button,      // QPushButton
    RightButton, // RightClickButton
    Check,       // QCheckBox
    Radio,       // QRadioButton
    Combo,       // editable QComboBox
};

struct ControlSpec {
    const char* name;   // object name, UTF-8
    const char* parent; // container's name; nullptr: the window itself
    ControlKind kind;
    int x, y, width, height;
    const char* text; // caption; nullptr for edit boxes, whose texts come from the defaults
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
};

// Creates every control of `specs` in order; a container must come before its contents.
void buildControls(QWidget* window, std::span<const ControlSpec> specs);

// Makes the named radio buttons of `window` one exclusive group. Without it Qt groups a radio
// button with every radio button below its parent, so the mode buttons of the collector
// would share a group with the column buttons inside their picture box.
void groupRadioButtons(QWidget* window, std::initializer_list<const char*> names);

} // namespace lilan
