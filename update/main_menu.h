// The main menu behind the window's menu button: Home, About, Help, Update,
// Deep Scan, Open phone files, Report and Exit, built on each use and popped
// up below the button.
#pragma once

#include "update/update_prompt.h"

#include <QPoint>

#include <functional>

class QMenu;
class QWidget;

namespace fennaro {

// Command ids of the entries.
inline constexpr int ID_MENU_HOME = 32771;
inline constexpr int ID_MENU_ABOUT = 104;
inline constexpr int ID_MENU_HELP = 32775;
inline constexpr int ID_MENU_UPDATE = 32777;
inline constexpr int ID_MENU_EXIT = 105;
inline constexpr int ID_MENU_DEEP_SCAN = 32779;
inline constexpr int ID_MENU_REPORT = 32781;
inline constexpr int ID_MENU_OPEN_FILES = 32783;

struct MainMenuEntry {
    const char* text; // UTF-8
    int command;
};

// The entries, top to bottom.
inline constexpr MainMenuEntry kMainMenuEntries[] = {
    {"Home", ID_MENU_HOME},           {"About", ID_MENU_ABOUT},
    {"Help", ID_MENU_HELP},           {"Update", ID_MENU_UPDATE},
    {"Deep Scan", ID_MENU_DEEP_SCAN}, {"Open phone files…", ID_MENU_OPEN_FILES},
    {"Report", ID_MENU_REPORT},       {"Exit", ID_MENU_EXIT},
};

// The window's client point at which the menu's top-left corner opens.
inline constexpr QPoint kMainMenuAnchor{884, 32};

// What the entries do. The defaults open the real browser and the real About
// box; the window supplies closeWindow, tests replace the rest.
struct MainMenuActions {
    // The browser (Home, Help and Update) and the updater path (Update).
    UpdateActions update;
    // Shows the About box modally over the window; returns its result.
    std::function<int(QWidget*)> showAbout;
    // The window's close operation with an exit code; returns its result.
    // Empty: the window is simply closed.
    std::function<int(int)> closeWindow;
    // Starts a deep scan of the phone (the window asks first); empty: nothing.
    std::function<void()> deepScan;
    // Opens a folder or an archive of the phone's files as the phone (the
    // window asks which, then asks to go on); empty: nothing.
    std::function<void()> openPhoneFiles;
    // Writes the report of the loaded records into a folder the user picks;
    // empty: nothing.
    std::function<void()> report;

    // The real browser and About box; no close operation.
    MainMenuActions();
};

// Adds the entries to menu in order; each action's data is its command id.
void fillMainMenu(QMenu& menu);

// The screen point of the window's client point (884, 32).
QPoint mainMenuPosition(const QWidget& window);

// Builds the menu, pops it up with its top-left corner at
// mainMenuPosition(window) and waits for a choice. Returns the chosen command
// id, or 0 when the menu was closed without one.
int trackMainMenu(QWidget* window);

// Shows the About box with the program's version, modal over owner; returns
// the box's result.
int showAboutBox(QWidget* owner);

// Carries out one command: Home and Help open the home and support pages,
// About shows the About box, Update goes to the new version as a Yes to the
// update question does, Deep Scan and Open phone files hand over to the
// window's deep scan and its opening of phone files, Exit
// runs the close operation with exit code 0.
// Returns the About box's result for About, the close operation's result for
// Exit, else 0 (also for an unknown command).
int runMainMenuCommand(QWidget* window, int command, const MainMenuActions& actions = {});

// The menu button's handler: trackMainMenu, then runMainMenuCommand.
int showMainMenu(QWidget* window, const MainMenuActions& actions = {});

} // namespace fennaro
