// The desktop services the windows use: file and folder dialogs, opening files, folders
// and web pages, starting programs.
#pragma once

#include <QString>
#include <QStringList>

#include "text/text.h"

class QFileDialog;
class QWidget;

namespace lilan {

// The four filters of the address-list dialogs, the first one selected.
QStringList addressListFilters();

// A file dialog for the address list: open (main window) or save (collector window), with its
// title and filters, starting from `lastChosen` when that is not empty. The caller runs it.
QFileDialog* makeAddressListDialog(QWidget* parent, const QString& title, bool forSaving,
                                   const QString& lastChosen);

// Runs `dialog` and returns the chosen file's full path, or the empty string on cancel.
QString runFileDialog(QFileDialog* dialog);

// The folder-browse dialog: `title`, no owner window, starting in `initialFolder`, where a path
// can also be typed. The chosen folder trimmed of blanks, or the empty text on cancel.
Text chooseFolder(const Text& initialFolder, const Text& title);

// Opens a web address or a file in the program the desktop associates with it. Failures are
// the desktop's to show.
void openWithShell(const QString& target);

// A path ending in ".exe" (any letter case) or naming an executable file is started as a
// program; anything else is opened as a folder in the desktop's file manager.
void openInExplorer(const Text& path);

} // namespace lilan
