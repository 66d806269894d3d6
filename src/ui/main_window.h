// The program's main window: every setting of a collection run in three steps, the start
// and stop button, a status bar and a banner of links.
#pragma once

#include <QPointer>
#include <QWidget>

#include "ui/qt_form.h"
#include "ui/window_services.h"

class QMenu;

namespace lilan {

class AddressCollectorWindow;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(WindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    Form& form() { return form_; }
    // The pop-up menu "可引用项目".
    QMenu* placeholderMenu() const { return menu_; }
    // The open address collector window, or nullptr.
    AddressCollectorWindow* collectorWindow() const;
    // True while a collection run proceeds inside the start button's handler.
    bool running() const { return running_; }

    // "保存配置": saves the settings and confirms, or names the file that could not be written.
    void saveSettingsNow();
    // "疑点说明": the introduction in the text dialog.
    void showIntroduction();
    // "新闻地址采集器": opens the collector window, or brings the open one to the front.
    void openCollectorWindow();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void buildBanner();
    void buildMenu();
    void startClicked();
    void showPlaceholderMenu();
    void insertPlaceholder(const QString& placeholder);
    void chooseAddressFile();
    void chooseSaveFolder();
    void openSaveFolder();
    // Asks whatever still runs to stop; true when nothing runs any more.
    bool readyToClose();
    void closeWhenIdle();

    WindowServices services_;
    QtForm form_;
    QMenu* menu_ = nullptr;
    QPointer<AddressCollectorWindow> collector_;
    bool settingsLoaded_ = false;
    bool running_ = false;
    bool closeWhenIdle_ = false;
};

} // namespace lilan
