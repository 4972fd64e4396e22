// What the main window asks of the user and of the desktop, behind hooks:
// the program uses the skinned message box, the folder picker and the
// default browser; tests and the tour answer in their place.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class QWidget;

namespace fennaro {

struct CaseDetails;

struct DialogHooks {
    // Shows a message box of a kind (skin::CMsgBox::kWarn ...) with button
    // flags and returns the id of the button pressed.
    std::function<int(int kind, int flags, const QString& text, QWidget* owner)> messageBox;
    // Asks for an existing folder; the title is the current folder. Returns
    // nothing when the user cancelled.
    std::function<std::optional<QString>(QWidget* owner, const QString& title)> pickFolder;
    // Asks for a phone's files: an archive of them or a folder holding
    // them; start is the folder the picker opens in. Returns the path, or
    // nothing when the user cancelled.
    std::function<std::optional<QString>(QWidget* owner, const QString& start)> pickPhoneFiles;
    // Opens a web page in the default browser.
    std::function<void(const QUrl& url)> openUrl;
    // Pops the main menu up below the menu button and returns the chosen
    // command id (0 for none).
    std::function<int(QWidget* window)> trackMenu;
    // Asks for a report's case details (case_details.h), starting from the
    // details given; nothing when the user cancelled.
    std::function<std::optional<CaseDetails>(QWidget* owner, const CaseDetails& start)>
        askCaseDetails;
};

// The hooks of the real program: the skinned message box, QFileDialog (for
// phone files after a choice between an archive and a folder) and
// QDesktopServices. Missing hooks of a given set are filled with these.
DialogHooks withDefaultHooks(DialogHooks hooks);

} // namespace fennaro
