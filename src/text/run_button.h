// The start button both windows have: a click while idle performs a whole run inside the
// click handler; a click that arrives while that run handles events only asks it to stop.
// The button's caption is the run's state.
#pragma once

#include "text/form.h"

namespace lilan {

enum class RunState { Idle, Running, Stopping };

// Whether a run is going: the start button reads anything but "开始采集".
bool runIsGoing(const Form& form);

// Shows `state` on the start button: "开始采集", "停止采集" or "停止中..".
void showRunState(Form& form, RunState state);

// A click on the start button. True when the button was idle: the caller runs now.
// Otherwise the run going on is asked to stop at its next check (`stopRequested`), and the
// button says so.
bool startClickBeginsRun(Form& form, bool& stopRequested);

} // namespace lilan
