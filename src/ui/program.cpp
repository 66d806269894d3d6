#include "ui/program.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

#include "config/settings_file.h"
#include "core/shared_state.h"
#include "text/encoding.h"
#include "ui/main_window.h"
#include "ui/qt_form.h"
#include "ui/qt_platform.h"
#include "web/inet_client.h"
#include "web/web_client.h"

namespace lilan {
namespace {

// Everything that lives as long as the program. Members are destroyed in reverse order of
// declaration: the settings file goes first, the address collector's client last.
struct ProgramObjects {
    InetClient inet;
    bool collectorStopRequested = false;
    DrawPool drawPool;
    WebClient web;
    SharedState state; // the stop request, the preview flag and the current title
    SettingsFile settingsFile;
};

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// Turns the termination signals into a close of the main window, handled on the window
// thread where everything else runs.
class TerminationSignals {
public:
    explicit TerminationSignals(QWidget& window) {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
        notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, &window, [&window] {
            char byte;
            [[maybe_unused]] ssize_t got = ::read(signalPipe[0], &byte, 1);
            window.close();
        });
        struct sigaction action = {};
        action.sa_handler = onTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            ::sigaction(sig, &action, nullptr);
    }
    ~TerminationSignals() {
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            ::signal(sig, SIG_DFL);
        notifier_.reset();
        for (int& fd : signalPipe) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace

Text settingsFilePath(const QString& programFolder) {
    return fromQString(programFolder) + local("/栎岚文摘机.ini");
}

int runProgram(int argc, char** argv) {
    QApplication application(argc, argv);
    QtPlatform qtPlatform;
    installPlatform(&qtPlatform);

    auto objects = std::make_unique<ProgramObjects>();
    // A missing file is no error: the windows then start from their form defaults.
    objects->settingsFile.open(settingsFilePath(QCoreApplication::applicationDirPath()));

    int result = 0;
    {
        WindowServices services{objects->settingsFile,
                                {objects->web, objects->drawPool, objects->state},
                                {objects->inet, objects->collectorStopRequested}};
        MainWindow window(services);
        window.show();
        // Only once the window is shown: its first showing loads the settings and handles
        // events meanwhile, and a close that arrived then would be lost. A signal before this
        // point ends the program the default way, with nothing unsaved yet.
        TerminationSignals termination(window);
        result = application.exec();
    }
    objects.reset();
    installPlatform(nullptr);
    return result;
}

} // namespace lilan
