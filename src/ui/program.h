// Start-up and shutdown of the program.
#pragma once

#include <QString>

#include "text/text.h"

namespace lilan {

// The settings file beside the program: `programFolder` + "/栎岚文摘机.ini", as local text.
Text settingsFilePath(const QString& programFolder);

// The program: creates the long-lived objects, opens the settings file, shows the main
// window and runs the event loop until the main window has closed. SIGTERM, SIGINT and
// SIGHUP close the main window as the user would, so a logout keeps the settings.
int runProgram(int argc, char** argv);

} // namespace lilan
