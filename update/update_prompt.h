// What happens when a newer version is on offer, and what "Update" does:
// the question to the user and the way to the new version.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace fennaro {

// The question shown when another version is on offer.
inline constexpr const char* kUpdateQuestion = "New version found,are you sure to Update?";

// The updater's file name, looked for in the program's folder.
inline constexpr const char* kUpdaterFileName = "Vantorel.exe";

// The ways the update offer reaches the user and the desktop. The defaults
// are the real ones; tests replace them to answer the box and to record the
// addresses opened instead of starting a browser.
struct UpdateActions {
    // Shows a message box (kind, button flags, text, owner) and returns the id
    // of the button pressed.
    std::function<int(int, int, const QString&, QWidget*)> askUser;
    // Opens a web address in the default browser; false when it could not.
    std::function<bool(const QUrl&)> openUrl;
    // The folder of the program file.
    std::function<QString()> programFolder;

    // The real box, browser and folder.
    UpdateActions();
};

// The updater's path: programFolder + "/Vantorel.exe".
QString updaterPath(const QString& programFolder);

// Goes to the new version: forms the updater's path and, because no updater
// ships for this platform, opens the download page instead. Never starts a
// program and never opens an address taken from the server's reply. Returns
// the updater path formed.
QString startUpdate(const UpdateActions& actions = {});

// The window's handler of an update on offer: asks "New version found,are
// you sure to Update?" in the skinned info box with Yes and No over owner,
// and goes to the new version on Yes only (No and the close button do
// nothing). Returns 0.
int onUpdateFound(QWidget* owner, const UpdateActions& actions = {});

} // namespace fennaro
