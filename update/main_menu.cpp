#include "update/main_menu.h"

#include "platform/product_identity.h"
#include "skin/about_box.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace fennaro {

MainMenuActions::MainMenuActions() : showAbout(showAboutBox) {}

void fillMainMenu(QMenu& menu) {
    for (const MainMenuEntry& entry : kMainMenuEntries) {
        QAction* action = menu.addAction(QString::fromUtf8(entry.text));
        action->setData(entry.command);
    }
}

QPoint mainMenuPosition(const QWidget& window) {
    return window.mapToGlobal(kMainMenuAnchor);
}

int trackMainMenu(QWidget* window) {
    if (!window)
        return 0;
    QMenu menu(window);
    fillMainMenu(menu);
    const QAction* chosen = menu.exec(mainMenuPosition(*window));
    return chosen ? chosen->data().toInt() : 0;
}

int showAboutBox(QWidget* owner) {
    skin::CAboutBox box(owner, QString::fromLatin1(kProgramVersion));
    return box.Show();
}

int runMainMenuCommand(QWidget* window, int command, const MainMenuActions& actions) {
    const auto open = [&](const char* address) {
        if (actions.update.openUrl)
            actions.update.openUrl(QUrl(QString::fromLatin1(address)));
    };
    switch (command) {
    case ID_MENU_HOME:
        open(kHomePageUrl);
        return 0;
    case ID_MENU_HELP:
        open(kSupportPageUrl);
        return 0;
    case ID_MENU_ABOUT:
        return actions.showAbout ? actions.showAbout(window) : 0;
    case ID_MENU_UPDATE:
        startUpdate(actions.update);
        return 0;
    case ID_MENU_DEEP_SCAN:
        if (actions.deepScan)
            actions.deepScan();
        return 0;
    case ID_MENU_OPEN_FILES:
        if (actions.openPhoneFiles)
            actions.openPhoneFiles();
        return 0;
    case ID_MENU_REPORT:
        if (actions.report)
            actions.report();
        return 0;
    case ID_MENU_EXIT:
        if (actions.closeWindow)
            return actions.closeWindow(0);
        if (window)
            window->close();
        return 0;
    default:
        return 0;
    }
}

int showMainMenu(QWidget* window, const MainMenuActions& actions) {
    return runMainMenuCommand(window, trackMainMenu(window), actions);
}

} // namespace fennaro
