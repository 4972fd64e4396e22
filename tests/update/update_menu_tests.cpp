// The window's side of the update check and the main menu: the question and
// its answers, the menu's entries, where it opens, what each entry does, and
// the About box with the version. Boxes run for real on the offscreen
// platform and are answered by the test.
#include "http_responder.h"
#include "skin/about_box.h"
#include "skin/image_path.h"
#include "skin/msg_box.h"
#include "update/main_menu.h"
#include "update/update_check.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace fennaro;

namespace {

// Runs act on the first top-level widget of type T once it is shown (the
// modal loop or the popup that the code under test opens).
template <typename T>
void whenShown(std::function<void(T*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<T*>(w); found && found->isVisible()) {
                poll->stop();
                poll->deleteLater();
                act(found);
                return;
            }
        }
    });
    poll->start();
}

// Hooks that record what the code asked for instead of doing it.
struct Recorder {
    QList<QUrl> opened;
    QStringList questions;
    int answer = skin::CMsgBox::IDC_YES;

    // Actions that record into this recorder.
    UpdateActions actions() {
        UpdateActions a;
        a.askUser = [this](int kind, int flags, const QString& text, QWidget*) {
            questions << QStringLiteral("%1/%2/%3").arg(kind).arg(flags).arg(text);
            return answer;
        };
        a.openUrl = [this](const QUrl& url) {
            opened << url;
            return true;
        };
        a.programFolder = [] { return QStringLiteral("/opt/fennaro"); };
        return a;
    }
};

const QUrl kDownload("https://www.quillmet.example/download/");

} // namespace

class UpdateMenuTests : public QObject {
    Q_OBJECT
    QTemporaryDir m_noPictures;

  private slots:
    void initTestCase() { skin::SetImageFolder(m_noPictures.path()); }

    void questionLeadsToTheDownloadPageOnYesOnly() {
        QWidget window;
        for (int answer : {skin::CMsgBox::IDC_NO, skin::CMsgBox::IDC_CLOSE, 0}) {
            Recorder r;
            r.answer = answer;
            QCOMPARE(onUpdateFound(&window, r.actions()), 0);
            QCOMPARE(r.questions, QStringList{"2/10/New version found,are you sure to Update?"});
            QVERIFY(r.opened.isEmpty());
        }
        Recorder yes;
        QCOMPARE(onUpdateFound(&window, yes.actions()), 0);
        QCOMPARE(yes.opened, QList<QUrl>{kDownload});
        QCOMPARE(startUpdate(yes.actions()), QString("/opt/fennaro/Vantorel.exe"));
    }

    void theRealBoxAsksAndIsAnswered() {
        QWidget window;
        window.resize(600, 400);
        window.show();
        for (int button : {skin::CMsgBox::IDC_NO, skin::CMsgBox::IDC_YES}) {
            Recorder r;
            UpdateActions actions = r.actions();
            actions.askUser = UpdateActions().askUser; // the skinned box
            QString shownText;
            bool yesAndNoOnly = false;
            whenShown<skin::CMsgBox>([&](skin::CMsgBox* box) {
                shownText = box->Text();
                yesAndNoOnly = box->Button(1012)->isVisible() && box->Button(1014)->isVisible() &&
                               !box->Button(1011)->isVisible() && box->isModal();
                QTest::mouseClick(box->Button(button), Qt::LeftButton, {}, QPoint(3, 3));
            });
            onUpdateFound(&window, actions);
            QCOMPARE(shownText, QString("New version found,are you sure to Update?"));
            QVERIFY(yesAndNoOnly);
            QCOMPARE(r.opened,
                     button == skin::CMsgBox::IDC_YES ? QList<QUrl>{kDownload} : QList<QUrl>{});
        }
    }

    void anOfferFromTheServerEndsAtTheDownloadPage() {
        // The reply's own Update_URL is never opened.
        updatetest::HttpResponder server;
        server.answer("/update.txt", updatetest::HttpResponder::response(
                                         200, "{\"Fennaro\":[{\"Nversion\":\"1.6.0.0\","
                                              "\"Update_URL\":\"http://127.0.0.1:1/evil\"}]}"));
        QWidget window;
        Recorder r;
        UpdateCheckOptions options;
        options.url = server.url();
        options.programVersion = "1.5.0.0";
        auto* check = new UpdateCheck(options, &window);
        connect(check, &UpdateCheck::updateFound, &window,
                [&] { onUpdateFound(&window, r.actions()); });
        QVERIFY(check->updateThreadProc());
        QTRY_COMPARE(r.opened, QList<QUrl>{kDownload});
        QCOMPARE(r.questions.size(), 1);
    }

    void menuHasItsEntriesInOrder() {
        QMenu menu;
        fillMainMenu(menu);
        QStringList entries;
        for (const QAction* action : menu.actions())
            entries << QStringLiteral("%1=%2").arg(action->text()).arg(action->data().toInt());
        QCOMPARE(entries, (QStringList{"Home=32771", "About=104", "Help=32775", "Update=32777",
                                       "Deep Scan=32779", "Open phone files\u2026=32783",
                                       "Report=32781", "Exit=105"}));
    }

    void menuOpensAtTheButtonAndReturnsTheChoice() {
        QWidget window;
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.resize(960, 600);
        window.move(-600, 10); // so the menu fits on the 800-pixel offscreen screen
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPoint openedAt;
        whenShown<QMenu>([&](QMenu* menu) {
            openedAt = menu->pos();
            menu->setActiveAction(menu->actions().at(2));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QCOMPARE(trackMainMenu(&window), ID_MENU_HELP);
        QCOMPARE(openedAt, window.mapToGlobal(QPoint(884, 32)));
        QCOMPARE(openedAt, mainMenuPosition(window));

        whenShown<QMenu>([](QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); });
        Recorder r;
        MainMenuActions actions;
        actions.update = r.actions();
        actions.closeWindow = [](int) { return 99; };
        QCOMPARE(showMainMenu(&window, actions), 0);
        QVERIFY(r.opened.isEmpty());
    }

    void eachEntryCallsItsAction() {
        QWidget window;
        Recorder r;
        QList<int> exitCodes;
        QWidget* aboutOwner = nullptr;
        MainMenuActions actions;
        actions.update = r.actions();
        actions.showAbout = [&](QWidget* owner) {
            aboutOwner = owner;
            return 1027;
        };
        actions.closeWindow = [&](int code) {
            exitCodes << code;
            return 1234;
        };
        QCOMPARE(runMainMenuCommand(&window, ID_MENU_HOME, actions), 0);
        QCOMPARE(runMainMenuCommand(&window, ID_MENU_HELP, actions), 0);
        QCOMPARE(runMainMenuCommand(&window, ID_MENU_UPDATE, actions), 0);
        QCOMPARE(r.opened, (QList<QUrl>{QUrl("https://www.quillmet.example/"),
                                        QUrl("https://www.quillmet.example/support"), kDownload}));
        QVERIFY(r.questions.isEmpty()); // the menu's Update does not ask first
        QCOMPARE(runMainMenuCommand(&window, ID_MENU_ABOUT, actions), 1027);
        QCOMPARE(aboutOwner, &window);
        QCOMPARE(runMainMenuCommand(&window, ID_MENU_EXIT, actions), 1234);
        QCOMPARE(exitCodes, QList<int>{0});
        for (int unknown : {0, 1024, 32776})
            QCOMPARE(runMainMenuCommand(&window, unknown, actions), 0);
        QCOMPARE(r.opened.size(), 3);
        QCOMPARE(exitCodes.size(), 1);
    }

    void aboutShowsTheVersionOverTheWindow() {
        QWidget window;
        window.resize(600, 400);
        window.show();
        QString version;
        QWidget* owner = nullptr;
        bool modal = false;
        whenShown<skin::CAboutBox>([&](skin::CAboutBox* box) {
            version = box->Version();
            owner = box->parentWidget();
            modal = box->isModal();
            QTest::mouseClick(box->Button(skin::CAboutBox::IDC_ABOUT_OK), Qt::LeftButton, {},
                              QPoint(3, 3));
        });
        QCOMPARE(runMainMenuCommand(&window, ID_MENU_ABOUT), skin::CAboutBox::IDC_ABOUT_OK);
        QCOMPARE(version, QString("1.5.0.0"));
        QCOMPARE(owner, &window);
        QVERIFY(modal);
    }
};

QTEST_MAIN(UpdateMenuTests)
#include "update_menu_tests.moc"
