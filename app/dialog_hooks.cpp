#include "app/dialog_hooks.h"

#include <QDesktopServices>
#include <QFileDialog>

#include "skin/msg_box.h"
#include "update/main_menu.h"

namespace fennaro {

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
    if (!hooks.openUrl)
        hooks.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    if (!hooks.trackMenu)
        hooks.trackMenu = [](QWidget* window) { return trackMainMenu(window); };
    return hooks;
}

} // namespace fennaro
