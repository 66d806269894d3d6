#include "run_harness.h"

#include <string>

#include "config/saved_settings.h"
#include "core/collection_run.h"
#include "core/shared_state.h"

namespace lilan::bench {

void HarnessForm::setStatus(const Text& value) {
    static const Text starting = local("正在初始化 >> ");
    lastStatus = value;
    if (value.starts_with(starting)) {
        ++addressesStarted;
        if (onAddress) onAddress(addressesStarted);
    }
}

void prepareRun(HarnessForm& form, const std::filesystem::path& addressList,
                const std::filesystem::path& articleFolder) {
    applyMainFormDefaults(form);
    form.set("按钮开始采集", "开始采集");
    form.setText("编辑框新闻地址", fromUtf8(addressList.string()));
    form.setText("编辑框保存文件夹", fromUtf8(articleFolder.string()));
    form.set("编辑框等待", "0");
    form.checked["选择框预览"] = false;
    form.checked["选择框自动去除网址"] = true;
    form.checked["选择框自动去除标签"] = true;
    form.checked["选择框替换"] = true;
}

RunOutcome runCollection(HarnessForm& form, WebClient& web) {
    testing::RecordingPlatform platform;
    DrawPool pool;
    SharedState state;
    CollectionServices services{web, pool, state};
    startButtonClicked(form, services);

    RunOutcome outcome;
    outcome.messages = static_cast<int>(platform.messages.size());
    if (!platform.messages.empty()) {
        outcome.summary = toUtf8(platform.messages.back().text);
        // "采集完成！共生成 N 篇文章！耗费 ..."
        static const std::string before = "共生成 ";
        const auto at = outcome.summary.find(before);
        if (at != std::string::npos) {
            const std::string rest = outcome.summary.substr(at + before.size());
            const auto digits = rest.find_first_not_of("0123456789");
            if (digits != 0) outcome.articles = std::stoll(rest.substr(0, digits));
        }
    }
    return outcome;
}

long long countFiles(const std::filesystem::path& folder) {
    std::error_code error;
    long long n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        n += entry.is_regular_file();
    return n;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace lilan::bench
