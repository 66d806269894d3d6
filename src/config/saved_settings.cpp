#include "config/saved_settings.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

#include "text/encoding.h"
#include "web/hosts.h"

namespace lilan {
namespace {

using K = SettingKind;

constexpr SettingRow kMainRows[] = {
    {"编辑框等待", "等待", K::Text, "500", false},
    {"编辑框组合数", "组合数", K::Text, "20", false},
    {"编辑框头", "组合头", K::Text,
     "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" "
     "/>\r\n<title>网友对《#标题#》的评论</title>\r\n</head>\r\n<body>\r\n",
     false},
    {"编辑框尾", "组合尾", K::Text, "</body>\r\n</html>", false},
    {"编辑框模板", "组合模板", K::Text, "#所在地#网友<b>#昵称#</b>说：#评论#<br>\r\n", false},
    {"选择框打乱", "打乱项目", K::Flag, "随机交换评论数据", true},
    {"编辑框新闻地址", "新闻地址", K::Text, "文本文件，内容为一行一个的新闻地址", false},
    {"单选框新闻标题", "新闻标题", K::CheckedState, "新闻标题", true},
    {"单选框随机一句", "组合结果随机一句", K::CheckedState, "组合结果随机一句", false},
    {"编辑框保存文件夹", "保存文件夹", K::Text, "生成好的文章保存到的目录，后面是文件扩展名", false},
    {"编辑框文件扩展名", "文件扩展名", K::Text, "htm", false},
    {"选择框自动去除网址", "自动去除网址", K::CheckedState, "自动去除网址", true},
    {"选择框自动去除标签", "自动去除网页标签", K::CheckedState, "自动去除网页标签", false},
    {"选择框替换", "自定义替换：", K::CheckedState, "自定义替换：", true},
    {"选择框忽略大小写", "忽略大小写", K::CheckedState, "忽略大小写", false},
    {"选择框正则", "使用正则表达式替换", K::CheckedState, "使用正则表达式替换", false},
    {"编辑框匹配式", "匹配式", K::Text, "字符1|字符2|字符3", false},
    {"编辑框替换式", "替换式", K::Text, "新字符1|新字符2|新字符3", false},
    {"选择框预览", "仅信息框预览采集效果", K::CheckedState, "仅信息框预览采集效果", false},
    {"编辑框页数", "页数", K::Text, "全部", false},
    {"编辑框评论最少字数", "评论最少字数", K::Text, "5", false},
};

constexpr SettingRow kCollectorRows[] = {
    {"编辑框采集页数", "最多页数", K::Text, "80", false},
    {"单选框周边", "周边扫描", K::CheckedState, "周边扫描", false},
    {"单选框军情", "国内军情", K::CheckedState, "国内军情", false},
    {"单选框时事", "国际时事", K::CheckedState, "国际时事", false},
    {"单选框花边", "国际花边", K::CheckedState, "国际花边", false},
    {"单选框奇闻", "奇闻趣事", K::CheckedState, "奇闻趣事", false},
    {"单选框社会", "社会万象", K::CheckedState, "社会万象", false},
    {"单选框时政", "时政新闻", K::CheckedState, "时政新闻", true},
    {"单选框各地", "各地新闻", K::CheckedState, "各地新闻", false},
    {"编辑框保存文件", "保存文件", K::Text, nullptr, false},
    {"单选框按栏目", "按栏目", K::CheckedState, "按栏目", true},
    {"单选框按递增", "按递增", K::CheckedState, "按递增", false},
    {"组合框地址模板", "地址模板", K::Text, nullptr, false},
    {"编辑框最小", "最小值", K::Text, "1", false},
    {"编辑框最大", "最大值", K::Text, "300", false},
};

// A table's section and fixed keys in local text, converted once.
struct LocalTable {
    Text section;
    std::vector<Text> keys;
};

LocalTable makeLocalTable(const char* section, std::span<const SettingRow> rows) {
    LocalTable table{local(section), {}};
    for (const SettingRow& row : rows)
        table.keys.push_back(local(row.key));
    return table;
}

const LocalTable& mainTable() {
    static const LocalTable table = makeLocalTable(kMainSection, kMainRows);
    return table;
}

const LocalTable& collectorTable() {
    static const LocalTable table = makeLocalTable(kCollectorSection, kCollectorRows);
    return table;
}

void applyRows(Form& form, std::span<const SettingRow> rows) {
    for (const SettingRow& row : rows) {
        if (row.formText) form.setText(row.control, local(row.formText));
        if (row.kind != SettingKind::Text) form.setChecked(row.control, row.formChecked);
    }
}

// The section is selected again before every row: an event handled inside a read or write
// may run the other window's save, which selects its own section.
void loadRows(SettingsFile& file, Form& form, std::span<const SettingRow> rows, const LocalTable& table) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SettingRow& row = rows[i];
        file.setSection(table.section);
        switch (row.kind) {
        case SettingKind::Text:
            form.setText(row.control, file.readText(table.keys[i], form.text(row.control)));
            break;
        case SettingKind::Flag:
            form.setChecked(row.control, file.readBool(table.keys[i], form.isChecked(row.control)));
            break;
        case SettingKind::CheckedState: file.loadCheckedState(form, row.control); break;
        }
    }
}

bool saveRows(SettingsFile& file, Form& form, std::span<const SettingRow> rows, const LocalTable& table) {
    bool allWritten = true;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SettingRow& row = rows[i];
        file.setSection(table.section);
        bool written = false;
        switch (row.kind) {
        case SettingKind::Text: written = file.writeText(table.keys[i], form.text(row.control)); break;
        case SettingKind::Flag: written = file.writeBool(table.keys[i], form.isChecked(row.control)); break;
        case SettingKind::CheckedState: written = file.saveCheckedState(form, row.control); break;
        }
        allWritten = allWritten && written;
    }
    return allWritten;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return {};
}

} // namespace

std::span<const SettingRow> mainSettingRows() {
    return kMainRows;
}

std::span<const SettingRow> collectorSettingRows() {
    return kCollectorRows;
}

Text collectorOutputFileDefault() {
    std::string folder = homeFolder();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return fromUtf8(folder + "新闻地址.txt");
}

Text collectorAddressTemplateDefault() {
    return Text(CommentServiceBase) + local("#递增#");
}

void applyMainFormDefaults(Form& form) {
    applyRows(form, kMainRows);
}

void applyCollectorFormDefaults(Form& form) {
    applyRows(form, kCollectorRows);
    form.setText("编辑框保存文件", collectorOutputFileDefault());
    form.setText("组合框地址模板", collectorAddressTemplateDefault());
}

void loadMainSettings(SettingsFile& file, Form& form) {
    loadRows(file, form, kMainRows, mainTable());
}

void loadCollectorSettings(SettingsFile& file, Form& form) {
    loadRows(file, form, kCollectorRows, collectorTable());
}

bool saveMainSettings(SettingsFile& file, Form& form) {
    return saveRows(file, form, kMainRows, mainTable());
}

bool saveCollectorSettings(SettingsFile& file, Form& form) {
    return saveRows(file, form, kCollectorRows, collectorTable());
}

} // namespace lilan
