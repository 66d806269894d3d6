#include "text/run_button.h"

#include "text/encoding.h"

namespace lilan {

namespace {

constexpr const char* kStartButton = "按钮开始采集";

const Text& caption(RunState state) {
    static const Text idle = local("开始采集");
    static const Text running = local("停止采集");
    static const Text stopping = local("停止中..");
    switch (state) {
    case RunState::Running: return running;
    case RunState::Stopping: return stopping;
    case RunState::Idle: break;
    }
    return idle;
}

} // namespace

void showRunState(Form& form, RunState state) {
    form.setText(kStartButton, caption(state));
}

bool runIsGoing(const Form& form) {
    return form.text(kStartButton) != caption(RunState::Idle);
}

bool startClickBeginsRun(Form& form, bool& stopRequested) {
    if (!runIsGoing(form)) return true;
    showRunState(form, RunState::Stopping);
    stopRequested = true;
    return false;
}

} // namespace lilan
