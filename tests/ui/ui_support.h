// What the window tests share: the program's long-lived objects over a settings file in a
// temporary folder, a recording platform instead of message boxes, and small helpers.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "config/settings_file.h"
#include "core/shared_state.h"
#include "support/memory_form.h"
#include "support/temp_folder.h"
#include "text/encoding.h"
#include "ui/qt_form.h"
#include "ui/window_services.h"
#include "web/inet_client.h"
#include "web/web_client.h"

namespace lilan::testing {

namespace fs = std::filesystem;

// A fresh folder for one test, removed afterwards. Its name holds Chinese characters, as the
// folders of the program's users do.
class UiTempFolder {
public:
    UiTempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("栎岚-界面-") + std::to_string(::getpid()) + "-" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = fs::temp_directory_path() / name;
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~UiTempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }
    fs::path file(const std::string& utf8Name) const { return path_ / utf8Name; }
    Text localPath(const std::string& utf8Name) const { return fromUtf8((path_ / utf8Name).string()); }

private:
    fs::path path_;
};

// What a control shows: its caption, title or text, lines joined by LF as Qt keeps them.
inline QString shownText(QWidget* w) {
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(w)) return box->toPlainText();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText();
    return {};
}

// The key lines of one section of a settings file, in file order (local text).
inline std::vector<Text> sectionLines(const std::string& content, const std::string& sectionUtf8) {
    std::vector<Text> lines;
    bool inside = false;
    for (const Text& line : splitList(content, "\r\n")) {
        if (!line.empty() && line.front() == '[') {
            inside = line == gb("[" + sectionUtf8 + "]");
            continue;
        }
        if (inside && !line.empty()) lines.push_back(line);
    }
    return lines;
}

// The program's objects as start-up creates them, with short waits for the tests.
struct ProgramParts {
    explicit ProgramParts(const Text& iniPath) { settings.open(iniPath); }

    WindowServices services() {
        return WindowServices{settings, {web, drawPool, state}, {inet, collectorStop}};
    }

    SettingsFile settings;
    WebClient web{std::chrono::seconds(10)};
    InetClient inet{std::chrono::seconds(10)};
    DrawPool drawPool;
    SharedState state;
    bool collectorStop = false;
};

// A control of `window` by name, as the type the window gave it.
template <typename T> T* control(QWidget* window, const char* name) {
    return qobject_cast<T*>(findControl(window, QString::fromUtf8(name)));
}

// One control of a window as the window tests expect it.
struct ControlCase {
    const char* name;
    const char* kind; // the Qt class the control is, or derives from
    int x, y, width, height;
    const char* text; // nullptr: not checked (pictures, containers)
    int checked;      // -1: not a check box or radio button
};

// Every listed control of `window` is there, of its kind, in its place, showing its text.
template <size_t N> void expectControlsAsListed(QWidget* window, const ControlCase (&controls)[N]) {
    for (const ControlCase& c : controls) {
        SCOPED_TRACE(c.name);
        QWidget* w = findControl(window, QString::fromUtf8(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(c.kind)) << w->metaObject()->className();
        EXPECT_EQ(w->geometry(), QRect(c.x, c.y, c.width, c.height));
        if (c.text) {
            EXPECT_EQ(shownText(w).toStdString(), c.text);
        }
        if (c.checked >= 0) {
            EXPECT_EQ(qobject_cast<QAbstractButton*>(w)->isChecked(), c.checked == 1);
        }
    }
}

// Runs `answer` on the next modal dialog once it is showing (from inside its event loop).
inline void answerNextDialog(std::function<void(QDialog*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, tries] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog && ++*tries < 500) return;
        timer->stop();
        timer->deleteLater();
        if (!dialog) return;
        QPointer<QDialog> open(dialog);
        answer(dialog);
        // A dialog that the answer failed to close must not hang the test run.
        QTimer::singleShot(10000, [open] {
            if (!open || !open->isVisible()) return;
            ADD_FAILURE() << "the dialog stayed open after its answer";
            open->reject();
        });
    });
    timer->start();
}

// Stands in for the desktop: records the addresses the program asks it to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    explicit UrlRecorder(const QString& scheme) : scheme_(scheme) {
        QDesktopServices::setUrlHandler(scheme_, this, "open");
    }
    ~UrlRecorder() override { QDesktopServices::unsetUrlHandler(scheme_); }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.push_back(url); }

private:
    QString scheme_;
};

// Types a whole path into a file dialog's name box, as a user may.
inline void typeFileName(QFileDialog* dialog, const QString& path) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(path);
}

// Lets deferred deletions (windows closed with WA_DeleteOnClose) and queued calls happen.
inline void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Waits for `condition` while handling events, up to `limit`.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(10000);
    }
    return true;
}

} // namespace lilan::testing
