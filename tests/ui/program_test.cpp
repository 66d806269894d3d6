// The program as a whole: started from a folder whose path holds Chinese characters, ended
// the way a desktop session ends it, and the offline demo's folder driving a whole run.
#include <QAbstractButton>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <csignal>
#include <fstream>
#include <sys/stat.h>

#include "support/fixture_site.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui_support.h"

namespace lilan::testing {
namespace {

TEST(SettingsFilePath, IsTheIniBesideTheProgram) {
    EXPECT_EQ(u8(settingsFilePath(qs("/opt/栎岚 工具"))), "/opt/栎岚 工具/栎岚文摘机.ini");
}

// True once `pid` has a handler for SIGTERM, i.e. the program has got as far as its window.
bool catchesTerm(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) != 0) continue;
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        return mask & (1ull << (SIGTERM - 1));
    }
    return false;
}

TEST(Program, StartsFromAChineseFolderAndSavesWhenTheSessionEndsIt) {
    struct Case {
        const char* name;
        const char* iniBefore; // UTF-8 lines joined by CR LF; nullptr: no settings file
        const char* waitAfter;
    };
    const Case cases[] = {
        {"saved settings", "[基本配置]\r\n等待=777\r\n新闻地址=/某处/地址 列表.txt", "等待=777"},
        {"no settings file", nullptr, "等待=500"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UiTempFolder folder;
        const fs::path programFolder = folder.file("程序 所在 文件夹");
        fs::create_directories(programFolder);
        const fs::path program = programFolder / "lilan-digest";
        fs::copy_file(LILAN_PROGRAM, program);
        ::chmod(program.c_str(), 0755);
        const fs::path ini = programFolder / "栎岚文摘机.ini";
        if (c.iniBefore) writeBytes(ini, gb(c.iniBefore));

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(qs("QT_QPA_PLATFORM"), qs("offscreen"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(qs("/")); // the settings are found beside the program, not here
        process.start(QString::fromStdString(program.string()), {});
        ASSERT_TRUE(process.waitForStarted(20000));
        ASSERT_TRUE(waitFor([&] { return catchesTerm(process.processId()); }, std::chrono::seconds(30)));
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);

        const std::vector<Text> keys = sectionLines(readBytes(ini), "基本配置");
        EXPECT_EQ(keys.size(), 21u);
        EXPECT_NE(std::find(keys.begin(), keys.end(), gb(c.waitAfter)), keys.end());
        if (c.iniBefore) {
            EXPECT_NE(std::find(keys.begin(), keys.end(), gb("新闻地址=/某处/地址 列表.txt")), keys.end());
        }
    }
}

TEST(OfflineDemo, ItsFolderDrivesAWholeRunAgainstTheFixtureSite) {
    UiTempFolder folder;
    const fs::path demo = folder.file("演示");
    QProcess prepare;
    prepare.start(qs("bash"),
                  {qs(LILAN_DEMO_SCRIPT), qs("--prepare-only"), QString::fromStdString(demo.string())});
    ASSERT_TRUE(prepare.waitForFinished(60000));
    ASSERT_EQ(prepare.exitCode(), 0) << prepare.readAllStandardError().toStdString();

    FixtureSite site;
    ScopedProxy proxy(site);
    RecordingPlatform platform;
    ProgramParts parts{fromUtf8((demo / "栎岚文摘机.ini").string())};
    MainWindow window{parts.services()};
    window.show(); // loads the demo's settings
    const fs::path articles = demo / "文章";
    EXPECT_EQ(control<QLineEdit>(&window, "编辑框保存文件夹")->text().toStdString(), articles.string());
    control<QLineEdit>(&window, "编辑框等待")->setText(qs("0"));
    control<QPushButton>(&window, "按钮开始采集")->click();

    std::size_t written = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(articles))
        ++written;
    EXPECT_GE(written, 5u); // every sample address gives at least one article
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(
        u8(platform.messages[0].text).rfind("采集完成！共生成 " + std::to_string(written) + " 篇文章！", 0),
        0u)
        << u8(platform.messages[0].text);
}

} // namespace
} // namespace lilan::testing
