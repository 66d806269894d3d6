// Draws the program's windows into PNG files for the documentation:
//   ui_screenshots OUTPUT_FOLDER
// writes main-window.png, help-dialog.png and collector-window.png there. Run it under a
// display with a CJK font (e.g. xvfb-run -a). Windows are drawn with a plain title bar that
// shows their caption, since a bare X server has no window manager to draw one.
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>

#include "config/settings_file.h"
#include "core/shared_state.h"
#include "text/encoding.h"
#include "text/platform.h"
#include "ui/collector_window.h"
#include "ui/main_window.h"
#include "ui/qt_form.h"
#include "ui/text_dialog.h"
#include "web/inet_client.h"
#include "web/web_client.h"

namespace {

QPixmap framed(QWidget& window) {
    QCoreApplication::processEvents();
    const QPixmap content = window.grab();
    constexpr int bar = 28;
    QPixmap picture(content.width() + 2, content.height() + bar + 1);
    picture.fill(QColor(0x6b, 0x74, 0x80));
    QPainter p(&picture);
    QLinearGradient shade(0, 0, 0, bar);
    shade.setColorAt(0, QColor(0xf4, 0xf6, 0xf9));
    shade.setColorAt(1, QColor(0xdc, 0xe1, 0xe8));
    p.fillRect(QRect(1, 1, content.width(), bar - 1), shade);
    QFont title = window.font();
    title.setPixelSize(13);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0x22, 0x2a, 0x35));
    p.drawText(QRect(12, 1, content.width() - 24, bar - 1), Qt::AlignVCenter | Qt::AlignLeft,
               window.windowTitle());
    p.drawPixmap(1, bar, content);
    return picture;
}

bool save(QWidget& window, const QDir& folder, const char* name) {
    const QString path = folder.filePath(QString::fromUtf8(name));
    if (!framed(window).save(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.toUtf8().constData());
        return false;
    }
    std::printf("%s\n", path.toUtf8().constData());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // The collector's default output file lies in the home folder; show a neutral one.
    qputenv("HOME", "/home/user");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ui_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir scratch;

    lilan::SettingsFile settings;
    settings.open(lilan::fromQString(scratch.filePath(QStringLiteral("栎岚文摘机.ini"))));
    lilan::WebClient web;
    lilan::InetClient inet;
    lilan::DrawPool drawPool;
    lilan::SharedState state;
    bool collectorStop = false;
    lilan::WindowServices services{settings, {web, drawPool, state}, {inet, collectorStop}};

    lilan::MainWindow window(services);
    window.show();
    bool ok = save(window, output, "main-window.png");

    window.openCollectorWindow();
    ok = save(*window.collectorWindow(), output, "collector-window.png") && ok;

    lilan::TextDialogState help{{}, lilan::programTitle(), lilan::introductionText(), true, 5};
    lilan::TextEditorDialog dialog(help);
    dialog.show();
    ok = save(dialog, output, "help-dialog.png") && ok;
    return ok ? 0 : 1;
}
