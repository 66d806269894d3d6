#include "ui/shell.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "text/encoding.h"
#include "ui/qt_form.h"

namespace lilan {

QStringList addressListFilters() {
    // Qt reads the patterns from the last parentheses; what comes before is what the user
    // sees, so each filter shows the caption the program has always shown.
    return {
        QStringLiteral("文本文件(*.txt) (*.txt *.text)"),
        QStringLiteral("网页文件(*.htm) (*.htm *.html)"),
        QStringLiteral("配置文件(*.ini) (*.ini *.inf)"),
        QStringLiteral("全部文件(*.*) (*)"),
    };
}

QFileDialog* makeAddressListDialog(QWidget* parent, const QString& title, bool forSaving,
                                   const QString& lastChosen) {
    auto* dialog = new QFileDialog(parent, title);
    dialog->setObjectName(QStringLiteral("通用对话框1"));
    dialog->setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    // The file is created when a collection starts, not here.
    if (forSaving) dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog->setNameFilters(addressListFilters());
    dialog->selectNameFilter(addressListFilters().first());
    if (!lastChosen.isEmpty()) {
        dialog->setDirectory(QFileInfo(lastChosen).absolutePath());
        dialog->selectFile(lastChosen);
    }
    return dialog;
}

QString runFileDialog(QFileDialog* dialog) {
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog->selectedFiles();
    return chosen.isEmpty() ? QString() : QFileInfo(chosen.first()).absoluteFilePath();
}

Text chooseFolder(const Text& initialFolder, const Text& title) {
    QFileDialog dialog(nullptr, toQString(title));
    dialog.setObjectName(QStringLiteral("选择文件夹"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    const QString initial = toQString(initialFolder);
    if (QFileInfo(initial).isDir()) dialog.setDirectory(initial);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return trim(fromQString(dialog.selectedFiles().first()));
}

namespace {

// A local path as the address of a file: relative paths are taken from the working folder,
// as the program reads and writes them.
QUrl localFileAddress(const QString& path) {
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

} // namespace

void openWithShell(const QString& target) {
    const QUrl address = target.contains(QStringLiteral("://")) ? QUrl(target) : localFileAddress(target);
    QDesktopServices::openUrl(address);
}

void openInExplorer(const Text& path) {
    const QString target = toQString(path);
    const QFileInfo info(target);
    const bool program = target.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive) ||
                         (info.isFile() && info.isExecutable());
    if (program) {
        QProcess::startDetached(info.absoluteFilePath(), {}, info.absolutePath());
        return;
    }
    QDesktopServices::openUrl(localFileAddress(target));
}

} // namespace lilan
