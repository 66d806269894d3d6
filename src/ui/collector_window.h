// The address collector's window: its settings and its start/stop button, whose click
// handler is the collection of addresses.
#pragma once

#include <QString>
#include <QWidget>

#include "ui/qt_form.h"
#include "ui/window_services.h"

namespace lilan {

class AddressCollectorWindow : public QWidget {
    Q_OBJECT
public:
    // A modeless window owned by `owner`, deleted when it closes; the saved settings are
    // restored at once.
    AddressCollectorWindow(WindowServices services, QWidget* owner);

    Form& form() { return form_; }
    // True while a collection runs inside the start button's handler.
    bool collecting() const { return collecting_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void startClicked();
    void chooseOutputFile();
    void openOutputFile();

    WindowServices services_;
    QtForm form_;
    QString lastChosen_;
    bool collecting_ = false;
    bool closeWhenIdle_ = false;
};

} // namespace lilan
