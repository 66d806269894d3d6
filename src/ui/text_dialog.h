// The program's information viewer: a modal dialog with a prompt line, a large read-only
// text box and a band for its buttons.
#pragma once

#include <QDialog>

#include "text/text.h"

class QFrame;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace lilan {

// What the next dialog shows; one record for the whole program.
struct TextDialogState {
    Text prompt;
    Text caption;
    Text body;
    bool viewer = false;
    int margin = 0;
};

TextDialogState& textDialogState();

class TextEditorDialog : public QDialog {
    Q_OBJECT
public:
    // Creates the dialog from `state`: texts, viewer settings, centred on the screen.
    explicit TextEditorDialog(const TextDialogState& state, QWidget* parent = nullptr);

    // Places the controls for the current client size; runs on every change of size.
    void layoutTextDialog();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* prompt_;
    QPlainTextEdit* body_;
    QFrame* band_;
    QPushButton* ok_;
    QPushButton* cancel_;
    int margin_;
};

// Shows `text` read-only in the dialog and returns when it has closed. Returns at once when
// the dialog is open already.
void showTextDialog(const Text& text, QWidget* parent = nullptr);
// The dialog that showTextDialog has open, or nullptr.
TextEditorDialog* openTextDialog();

// Height of the prompt box for `text` wrapped into `width` pixels: 6 pixels a byte, 12 a line.
int estimatePromptHeight(const Text& text, int width);

// The help text of "疑点说明": 25 lines, each ended by CR LF.
Text introductionText();

// The program's own documentation page (shipped beside the program), with an optional
// section anchor: the address that the publisher links and the tutorial line open.
QString manualAddress(const char* section = nullptr);

} // namespace lilan
