#include "ui/widgets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <limits>

#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace lilan {

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignCenter);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(0x1a, 0x4f, 0xb0));
    setPalette(p);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
    down_ = true;
    emit pressed();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QLabel::mouseReleaseEvent(event);
    const bool inside = rect().contains(event->position().toPoint());
    const bool wasDown = down_;
    down_ = false;
    if (wasDown && inside) emit clicked();
}

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void PictureButton::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (hovered_ || isDown()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, isDown() ? 40 : 18));
        painter.drawRoundedRect(rect().adjusted(1, 1, -1, -1), 8, 8);
    }
    if (picture_.isNull()) return;
    const QSize size = picture_.deviceIndependentSize().toSize();
    const QPoint at((width() - size.width()) / 2, (height() - size.height()) / 2);
    painter.drawPixmap(at + (isDown() ? QPoint(1, 1) : QPoint()), picture_);
}

void PictureButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void RightClickButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit rightPressed();
        return;
    }
    QPushButton::mousePressEvent(event);
}

namespace {

// The window's layout fixes every label's size; a CJK font whose glyphs or lines are larger
// than the ones the layout was made for would cut a caption off. A label whose caption is
// wider than the label gets a smaller font, down to a size that is still readable.
void fitLabelText(QLabel* label) {
    constexpr int kSmallestPixelSize = 9;
    QFont font = label->font();
    int size = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    while (size > kSmallestPixelSize &&
           QFontMetrics(font).horizontalAdvance(label->text()) > label->width()) {
        font.setPixelSize(--size);
    }
    if (font != label->font()) label->setFont(font);
}

QWidget* createControl(const ControlSpec& spec, QWidget* parent) {
    const QString text = spec.text ? QString::fromUtf8(spec.text) : QString();
    switch (spec.kind) {
    case ControlKind::Label: {
        auto* label = new QLabel(text, parent);
        label->setAlignment(spec.align);
        return label;
    }
    case ControlKind::Line: {
        auto* line = new QLabel(parent);
        line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
        return line;
    }
    case ControlKind::Link: {
        auto* link = new LinkLabel(parent);
        link->setText(text);
        return link;
    }
    case ControlKind::Picture: return new PictureButton(parent);
    case ControlKind::Box: return new QWidget(parent);
    case ControlKind::Group: return new QGroupBox(text, parent);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(parent);
        // Qt cuts a line at 32 767 characters by default; a replacement list may be longer,
        // and a cut value would be saved cut.
        edit->setMaxLength(std::numeric_limits<int>::max());
        return edit;
    }
    case ControlKind::Lines: {
        auto* box = new QPlainTextEdit(parent);
        box->setLineWrapMode(QPlainTextEdit::NoWrap);
        box->setTabChangesFocus(true);
        return box;
    }
    case ControlKind::Button: return new QPushButton(text, parent);
    case ControlKind::RightButton: return new RightClickButton(text, parent);
    case ControlKind::Check: return new QCheckBox(text, parent);
    case ControlKind::Radio: return new QRadioButton(text, parent);
    case ControlKind::Combo: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // Typing must not complete the text from the list: the typed text is the template.
        combo->setCompleter(nullptr);
        combo->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
        return combo;
    }
    }
    return nullptr;
}

} // namespace

void buildControls(QWidget* window, std::span<const ControlSpec> specs) {
    QHash<QString, QWidget*> containers;
    for (const ControlSpec& spec : specs) {
        QWidget* parent = spec.parent ? containers.value(QString::fromUtf8(spec.parent), window) : window;
        QWidget* control = createControl(spec, parent);
        const QString name = QString::fromUtf8(spec.name);
        control->setObjectName(name);
        control->setGeometry(spec.x, spec.y, spec.width, spec.height);
        if (spec.kind == ControlKind::Label) fitLabelText(static_cast<QLabel*>(control));
        if (spec.kind == ControlKind::Box || spec.kind == ControlKind::Group)
            containers.insert(name, control);
    }
}

void groupRadioButtons(QWidget* window, std::initializer_list<const char*> names) {
    auto* group = new QButtonGroup(window);
    group->setExclusive(true);
    for (const char* name : names) {
        auto* button = window->findChild<QRadioButton*>(QString::fromUtf8(name));
        if (button) group->addButton(button);
    }
}

} // namespace lilan
