// Saving and restoring both windows through real settings files in a temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "config/saved_settings.h"
#include "support/temp_folder.h"
#include "web/hosts.h"

namespace lilan {
namespace {

using testing::crlfLines;
using testing::gb;
using testing::MemoryForm;
using testing::readBytes;
using testing::RecordingPlatform;
using testing::TempFolder;
using testing::writeBytes;

// What each window's routines and form defaults are, so that cases can run over both.
struct Window {
    const char* name;
    std::span<const SettingRow> (*rows)();
    void (*applyDefaults)(Form&);
    void (*load)(SettingsFile&, Form&);
    bool (*save)(SettingsFile&, Form&);
};

const Window kWindows[] = {
    {"main", mainSettingRows, applyMainFormDefaults, loadMainSettings, saveMainSettings},
    {"collector", collectorSettingRows, applyCollectorFormDefaults, loadCollectorSettings,
     saveCollectorSettings},
};

class SavedSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* home = std::getenv("HOME")) savedHome_ = home;
        ::setenv("HOME", folder.path().c_str(), 1);
        ASSERT_TRUE(store.open(iniPath()));
        applyMainFormDefaults(mainForm);
        applyCollectorFormDefaults(collectorForm);
    }
    void TearDown() override {
        if (savedHome_)
            ::setenv("HOME", savedHome_->c_str(), 1);
        else
            ::unsetenv("HOME");
    }
    Text iniPath() const { return folder.localFile("栎岚文摘机.ini"); }
    std::string onDisk() const { return readBytes(folder.file("栎岚文摘机.ini")); }

    // The sections as a first save of the default forms writes them: keys in reverse order.
    Text expectedMainSection() const {
        return crlfLines({
            "[基本配置]",
            "评论最少字数=5",
            "页数=全部",
            "仅信息框预览采集效果=假",
            "替换式=新字符1|新字符2|新字符3",
            "匹配式=字符1|字符2|字符3",
            "使用正则表达式替换=假",
            "忽略大小写=假",
            "自定义替换：=真",
            "自动去除网页标签=假",
            "自动去除网址=真",
            "文件扩展名=htm",
            "保存文件夹=生成好的文章保存到的目录，后面是文件扩展名",
            "组合结果随机一句=假",
            "新闻标题=真",
            "新闻地址=文本文件，内容为一行一个的新闻地址",
            "打乱项目=真",
            "组合模板=#所在地#网友<b>#昵称#</b>说：#评论#<br>┊*┊",
            "组合尾=</body>┊*┊</html>",
            "组合头=<html>┊*┊<head>┊*┊<meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=gb2312\" />┊*┊<title>网友对《#标题#》的评论</title>┊*┊</head>┊*┊<body>┊*┊",
            "组合数=20",
            "等待=500",
        });
    }
    Text expectedCollectorSection() const {
        const std::string outputFile = "保存文件=" + folder.file("新闻地址.txt");
        const std::string addressTemplate = std::string("地址模板=") + CommentServiceBase + "#递增#";
        return crlfLines({
            "[新闻地址采集器]",
            "最大值=300",
            "最小值=1",
            addressTemplate,
            "按递增=假",
            "按栏目=真",
            outputFile,
            "各地新闻=假",
            "时政新闻=真",
            "社会万象=假",
            "奇闻趣事=假",
            "国际花边=假",
            "国际时事=假",
            "国内军情=假",
            "周边扫描=假",
            "最多页数=80",
        });
    }

    RecordingPlatform events;
    TempFolder folder;
    SettingsFile store;
    MemoryForm mainForm;
    MemoryForm collectorForm;

private:
    std::optional<std::string> savedHome_;
};

TEST_F(SavedSettingsTest, FirstSaveOfBothDefaultFormsWritesEveryKeyInReverseOrder) {
    ASSERT_TRUE(saveMainSettings(store, mainForm));
    EXPECT_EQ(onDisk(), expectedMainSection());
    ASSERT_TRUE(saveCollectorSettings(store, collectorForm));
    EXPECT_EQ(onDisk(), expectedMainSection() + "\r\n" + expectedCollectorSection());
    EXPECT_EQ(mainSettingRows().size(), 21u);
    EXPECT_EQ(collectorSettingRows().size(), 15u);

    // Saving again changes nothing: every key keeps its place.
    ASSERT_TRUE(saveCollectorSettings(store, collectorForm));
    ASSERT_TRUE(saveMainSettings(store, mainForm));
    EXPECT_EQ(onDisk(), expectedMainSection() + "\r\n" + expectedCollectorSection());
}

TEST_F(SavedSettingsTest, EveryControlSurvivesARestart) {
    for (const Window& window : kWindows) {
        SCOPED_TRACE(window.name);
        MemoryForm edited;
        window.applyDefaults(edited);
        int n = 0;
        for (const SettingRow& row : window.rows()) {
            if (row.kind == SettingKind::Text)
                edited.setText(row.control, gb("第一行 " + std::to_string(++n) + "\r\n第二行"));
            else
                edited.setChecked(row.control, !row.formChecked);
        }
        ASSERT_TRUE(window.save(store, edited));

        SettingsFile restarted;
        ASSERT_TRUE(restarted.open(iniPath()));
        MemoryForm restored;
        window.applyDefaults(restored);
        window.load(restarted, restored);
        for (const SettingRow& row : window.rows()) {
            EXPECT_EQ(restored.text(row.control), edited.text(row.control)) << row.control;
            EXPECT_EQ(restored.isChecked(row.control), edited.isChecked(row.control)) << row.control;
        }
    }
}

TEST_F(SavedSettingsTest, LoadingKeepsFormDefaultsWhereNothingUsableIsStored) {
    writeBytes(folder.file("栎岚文摘机.ini"),
               crlfLines({"[基本配置]", "等待=", "自动去除网址=是", "组合结果随机一句=真", "新闻标题=假",
                          "页数=3", "随机交换评论数据=假"}));
    ASSERT_TRUE(store.open(iniPath()));
    loadMainSettings(store, mainForm);

    MemoryForm defaults;
    applyMainFormDefaults(defaults);
    EXPECT_EQ(mainForm.text("编辑框等待"), gb("500"));      // stored empty value
    EXPECT_FALSE(mainForm.isChecked("选择框自动去除网址")); // stored text other than 真
    EXPECT_TRUE(mainForm.isChecked("单选框随机一句"));
    EXPECT_FALSE(mainForm.isChecked("单选框新闻标题"));
    EXPECT_EQ(mainForm.text("编辑框页数"), gb("3"));
    EXPECT_TRUE(mainForm.isChecked("选择框打乱")); // its key is 打乱项目, not its caption
    for (const char* untouched : {"编辑框头", "编辑框模板", "编辑框匹配式", "编辑框评论最少字数"})
        EXPECT_EQ(mainForm.text(untouched), defaults.text(untouched)) << untouched;

    // A caption renamed since the last save is a new key: the form's state stays.
    collectorForm.set("单选框按栏目", "按栏目采集");
    collectorForm.setChecked("单选框按栏目", true);
    store.setSection(gb("新闻地址采集器"));
    ASSERT_TRUE(store.writeBool(gb("按栏目"), false));
    loadCollectorSettings(store, collectorForm);
    EXPECT_TRUE(collectorForm.isChecked("单选框按栏目"));
}

TEST_F(SavedSettingsTest, SaveReportsAFileThatCannotBeWritten) {
    SettingsFile unwritable;
    EXPECT_FALSE(unwritable.open(folder.localFile("no-such-folder/栎岚文摘机.ini")));
    mainForm.set("编辑框等待", "800");
    EXPECT_FALSE(saveMainSettings(unwritable, mainForm));
    EXPECT_NE(unwritable.lastError().find(gb("no-such-folder/栎岚文摘机.ini")), Text::npos);

    // The values live on in memory for the rest of the run.
    MemoryForm reopened;
    applyMainFormDefaults(reopened);
    loadMainSettings(unwritable, reopened);
    EXPECT_EQ(reopened.text("编辑框等待"), gb("800"));
}

TEST_F(SavedSettingsTest, OtherWindowSavingDuringASaveKeepsBothSectionsApart) {
    // Closing the collector window while the main window saves: its save runs inside the
    // first event pass of the main window's save.
    bool ran = false;
    events.onEvents = [&] {
        if (ran) return;
        ran = true;
        EXPECT_TRUE(saveCollectorSettings(store, collectorForm));
    };
    ASSERT_TRUE(saveMainSettings(store, mainForm));
    EXPECT_TRUE(ran);
    EXPECT_EQ(onDisk(), expectedCollectorSection() + "\r\n" + expectedMainSection());
}

TEST_F(SavedSettingsTest, CollectorDefaultsFollowTheHomeFolder) {
    EXPECT_EQ(collectorForm.text("编辑框保存文件"), folder.localFile("新闻地址.txt"));
    EXPECT_EQ(collectorForm.text("组合框地址模板"), Text(CommentServiceBase) + gb("#递增#"));
    ::setenv("HOME", "/home/用户/", 1);
    EXPECT_EQ(collectorOutputFileDefault(), gb("/home/用户/新闻地址.txt"));
}

} // namespace
} // namespace lilan
