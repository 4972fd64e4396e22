#include "app/dialog_hooks.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/case_details.h"
#include "skin/msg_box.h"
#include "update/main_menu.h"

namespace fennaro {

namespace {

// Asks whether the phone's files are an archive or a folder, then lets the
// user pick one of that kind. A file dialog takes either a file or a folder,
// never both, so the choice comes first.
std::optional<QString> pickPhoneFilesWithDialogs(QWidget* owner, const QString& start) {
    QMessageBox choice(QMessageBox::Question, QStringLiteral("Open phone files"),
                       QStringLiteral("Where are the phone's files? In an archive of a "
                                      "file-system extraction (.tar, .tar.gz, .tgz, .tar.xz, "
                                      ".tar.zst, .zip), or in a folder?"),
                       QMessageBox::Cancel, owner);
    QPushButton* archive =
        choice.addButton(QStringLiteral("An archive\u2026"), QMessageBox::AcceptRole);
    QPushButton* folder =
        choice.addButton(QStringLiteral("A folder\u2026"), QMessageBox::AcceptRole);
    choice.setDefaultButton(archive);
    choice.exec();
    QString path;
    if (choice.clickedButton() == archive)
        path = QFileDialog::getOpenFileName(
            owner, QStringLiteral("Open an archive of the phone's files"), start,
            QStringLiteral("Archives of phone files (*.tar *.tar.gz *.tgz *.tar.xz *.tar.zst "
                           "*.zip);;All files (*)"));
    else if (choice.clickedButton() == folder)
        path = QFileDialog::getExistingDirectory(
            owner, QStringLiteral("Open a folder of the phone's files"), start);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace

DialogHooks withDefaultHooks(DialogHooks hooks) {
    if (!hooks.messageBox)
        hooks.messageBox = [](int kind, int flags, const QString& text, QWidget* owner) {
            return skin::CMsgBox::Run(kind, flags, text, owner);
        };
    if (!hooks.pickFolder)
        hooks.pickFolder = [](QWidget* owner, const QString& title) -> std::optional<QString> {
            QString folder = QFileDialog::getExistingDirectory(owner, title, title);
            // An empty answer is a cancel: the dialog offers no empty folder.
            if (folder.isNull())
                return std::nullopt;
            return folder;
        };
    if (!hooks.pickPhoneFiles)
        hooks.pickPhoneFiles = pickPhoneFilesWithDialogs;
    if (!hooks.openUrl)
        hooks.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    if (!hooks.trackMenu)
        hooks.trackMenu = [](QWidget* window) { return trackMainMenu(window); };
    if (!hooks.askCaseDetails)
        hooks.askCaseDetails = runCaseDetailsDialog;
    return hooks;
}

} // namespace fennaro
