// fennaro-tour: drives the real main window through one whole recovery on the
// demo phone, as a user would, and saves a picture of every screen:
//   fennaro-tour DEMO_BIN_DIR OUT_DIR SHOT_DIR
// DEMO_BIN_DIR holds the demo helper and its phone; the recovered files go
// below OUT_DIR; the pictures go to SHOT_DIR. Message boxes are the real
// skinned boxes, pictured and then answered. Exit status 0 when every step
// was reached, 1 otherwise.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidgetItem>
#include <cstdio>
#include <utility>

#include "app/main_dlg.h"
#include "platform/program_paths.h"
#include "records/timeline.h"
#include "skin/font_pool.h"
#include "skin/image_path.h"
#include "skin/list_view_check1.h"
#include "skin/msg_box.h"
#include "skin/tree_view_ex1.h"
#include "update/main_menu.h"
#include "views/find_bar.h"
#include "views/msg_info_board.h"

namespace {

// Processes events until done() holds or timeoutMs passed; returns done().
template <typename Done>
bool waitFor(Done done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Lets the window paint for a moment, as a user would see it.
void settle(int ms = 400) {
    waitFor([] { return false; }, ms);
}

class Tour {
  public:
    Tour(QString demoBin, QString outDir, QString shotDir)
        : m_demoBin(std::move(demoBin)), m_outDir(QDir(outDir).absolutePath()),
          m_shotDir(std::move(shotDir)) {}

    // Runs every step; false at the first one that was not reached.
    bool run() {
        QDir().mkpath(m_outDir);
        QDir().mkpath(m_shotDir);
        return connectAndLoad() && failureScreen();
    }

  private:
    // Saves a picture of a widget under a numbered name.
    void shoot(QWidget& w, const QString& name) {
        const QString path = QDir(m_shotDir).filePath(
            QString("%1-%2.png").arg(++m_shots, 2, 10, QChar('0')).arg(name));
        w.grab().save(path);
        std::printf("  %s\n", qPrintable(path));
    }

    // The hooks of the tour: real message boxes, pictured and answered Yes or
    // OK; the picker answers the output folder.
    fennaro::DialogHooks hooks() {
        fennaro::DialogHooks h;
        h.messageBox = [this](int kind, int flags, const QString& text, QWidget* owner) {
            skin::CMsgBox box(owner);
            box.Prepare(kind, flags, text, owner);
            box.show();
            settle(300);
            shoot(box, "message-box");
            return (flags & skin::CMsgBox::kYes) ? skin::CMsgBox::IDC_YES : skin::CMsgBox::IDC_OK;
        };
        h.pickFolder = [this](QWidget*, const QString&) { return std::optional(m_outDir); };
        h.pickPhoneFiles = [this](QWidget*, const QString&) { return std::optional(m_phoneFiles); };
        h.openUrl = [](const QUrl&) {};
        h.trackMenu = [this](QWidget*) { return std::exchange(m_menuChoice, 0); };
        // The program's own case details dialog, filled in and pictured.
        h.askCaseDetails = [this](QWidget* owner, const fennaro::CaseDetails& start) {
            QTimer::singleShot(300, [this] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr)
                    return;
                const QList<QLineEdit*> lines = dialog->findChildren<QLineEdit*>();
                if (lines.size() == 2) {
                    lines[0]->setText(QStringLiteral("2026-0147 <demo>"));
                    lines[1]->setText(QStringLiteral("A. Examiner"));
                }
                if (auto* notes = dialog->findChild<QPlainTextEdit*>())
                    notes->setPlainText(QStringLiteral("Demo phone, deep scan.\nSecond line."));
                settle(200);
                shoot(*dialog, "case-details");
                dialog->accept();
            });
            return fennaro::runCaseDetailsDialog(owner, start);
        };
        return h;
    }

    // Clicks the middle of a list row's second column, as the user selects it.
    static void clickRow(skin::CListViewCheck1* list, int row) {
        list->EnsureVisible(row);
        const QRect rect = list->visualRect(list->model()->index(row, 1));
        const QPointF at = rect.center();
        QMouseEvent press(QEvent::MouseButtonPress, at, list->viewport()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, list->viewport()->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &press);
        QApplication::sendEvent(list->viewport(), &release);
        settle(200);
    }

    // The row of the record with the most lines to show: the largest live
    // conversation, or the first row.
    static int busiestConversationRow(fennaro::CMainDlg& w) {
        skin::CListViewCheck1* list = w.recordList();
        int best = 0;
        size_t most = 0;
        for (int row = 0; row < list->GetItemCount(); ++row) {
            auto* thread = static_cast<const fennaro::ThreadNode*>(list->GetItemData(row));
            if (thread == nullptr || thread->deleted != 0)
                continue;
            size_t count = 0;
            for (const fennaro::MessageNode& m : w.store().smsLists.messages)
                count += m.conversationId == thread->conversationId ? 1 : 0;
            if (count > most) {
                most = count;
                best = row;
            }
        }
        return best;
    }

    bool connectAndLoad() {
        fennaro::MainDlgOptions options;
        options.programFolder = m_demoBin.toStdString();
        options.homeFolder = fennaro::platform::homeFolder();
        options.acquireDelay = std::chrono::milliseconds(1500);
        options.armUpdateTimer = false;
        fennaro::CMainDlg w(options, hooks());
        w.show();
        settle(800);
        shoot(w, "connecting");
        if (!waitFor([&] { return w.screen() == 2 && !w.workerRunning(); }, 60000))
            return fail("the data screen did not load");
        settle();
        skin::CListViewCheck1* list = w.recordList();
        shoot(w, "contacts");
        int liveRow = -1;
        for (int row = 0; row < list->GetItemCount() && liveRow < 0; ++row)
            if (!list->IsRowDeleted(row))
                liveRow = row;
        clickRow(list, 0);
        shoot(w, "deleted-contact");
        if (liveRow >= 0) {
            clickRow(list, liveRow);
            shoot(w, "live-contact");
        }
        w.tree()->setCurrentItem(w.messageItem());
        settle();
        shoot(w, "messages");
        clickRow(list, busiestConversationRow(w));
        shoot(w, "conversation");
        // A search typed into the title bar's field: the rows found, the
        // count, the text marked on the board; Enter steps to the next match.
        w.findBar()->focusField();
        for (const QChar c : QStringLiteral("meeting")) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w.findBar()->field(), &press);
        }
        settle();
        shoot(w, "find-conversation");
        QKeyEvent next(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(w.findBar()->field(), &next);
        settle();
        shoot(w, "find-next");
        w.findBar()->clear();
        settle();

        w.onCommand(fennaro::CMainDlg::IDC_RECOVER);
        if (!waitFor([&] { return !w.workerRunning(); }, 60000))
            return fail("Recover did not finish");
        std::printf("recovered into %s\n", w.outputFolder().c_str());

        // The deep scan of the demo phone's modern side, from the menu.
        m_menuChoice = fennaro::ID_MENU_DEEP_SCAN;
        w.onCommand(fennaro::CMainDlg::IDC_MENU);
        if (!waitFor([&] { return w.deepMode() && w.screen() == 2 && !w.workerRunning(); }, 60000))
            return fail("the deep scan did not load");
        settle();
        shoot(w, "deep-scan-contacts");
        w.tree()->setCurrentItem(w.messageItem());
        settle();
        clickRow(list, 0);
        shoot(w, "deep-scan-messages");
        // The end of that conversation: the messaging app's chat, two of its
        // messages deleted.
        if (QScrollBar* bar = w.messageBoard()->verticalBar()) {
            bar->setValue(bar->maximum());
            settle();
            shoot(w, "deep-scan-app-chat");
        }
        // The call log shows only when the phone had calls to read.
        if (!w.callLogItem()->isHidden()) {
            w.tree()->setCurrentItem(w.callLogItem());
            settle();
            clickRow(list, 0);
            shoot(w, "deep-scan-calls");
        }
        // The timeline: every dated message and call, newest first, opened
        // at the first deleted message.
        if (!w.timelineItem()->isHidden()) {
            w.tree()->setCurrentItem(w.timelineItem());
            settle();
            int row = 0;
            for (int r = 0; r < list->GetItemCount(); ++r) {
                const auto* event =
                    static_cast<const fennaro::TimelineEvent*>(list->GetItemData(r));
                if (event->deleted && event->conversation != nullptr) {
                    row = r;
                    break;
                }
            }
            clickRow(list, row);
            shoot(w, "timeline");
        }
        // Report asks for the case details before the folder.
        m_menuChoice = fennaro::ID_MENU_REPORT;
        w.onCommand(fennaro::CMainDlg::IDC_MENU);
        return openPhoneFiles(w) && (w.onCommand(fennaro::CMainDlg::IDC_CLOSE), true);
    }

    // The modern demo phone's files packed as an archive, opened from the
    // menu in place of the phone.
    bool openPhoneFiles(fennaro::CMainDlg& w) {
        m_phoneFiles = m_demoBin + QStringLiteral("/modern-phone.tar.gz");
        m_menuChoice = fennaro::ID_MENU_OPEN_FILES;
        w.onCommand(fennaro::CMainDlg::IDC_MENU);
        if (!waitFor(
                [&] {
                    return w.rootItem()->text(0).startsWith("phone files") && w.screen() == 2 &&
                           !w.workerRunning();
                },
                60000))
            return fail("the phone files did not load");
        w.tree()->setCurrentItem(w.messageItem());
        settle();
        clickRow(w.recordList(), 0);
        shoot(w, "phone-files-data");
        return true;
    }

    bool failureScreen() {
        // A program folder without the helper: the phone cannot be read.
        QTemporaryDir empty;
        fennaro::MainDlgOptions options;
        options.programFolder = empty.path().toStdString();
        options.homeFolder = fennaro::platform::homeFolder();
        options.acquireDelay = std::chrono::milliseconds(0);
        options.armUpdateTimer = false;
        fennaro::CMainDlg w(options, hooks());
        w.show();
        if (!waitFor([&] { return w.loadState() == 0; }, 20000))
            return fail("the failure screen did not show");
        settle();
        shoot(w, "failed");
        // Phone files that are not there: what is wrong shows instead of the
        // phone's advice.
        m_phoneFiles = m_demoBin + QStringLiteral("/no-such-phone.zip");
        m_menuChoice = fennaro::ID_MENU_OPEN_FILES;
        w.onCommand(fennaro::CMainDlg::IDC_MENU);
        if (!waitFor([&] { return w.loadState() == 0 && !w.failureText().isEmpty(); }, 20000))
            return fail("the phone files' failure did not show");
        settle();
        shoot(w, "phone-files-failed");
        w.onCommand(fennaro::CMainDlg::IDC_CLOSE);
        return true;
    }

    static bool fail(const char* what) {
        std::fprintf(stderr, "fennaro-tour: %s\n", what);
        return false;
    }

    QString m_demoBin;
    QString m_outDir;
    QString m_shotDir;
    int m_shots = 0;
    // The phone files the picker answers.
    QString m_phoneFiles;
    // The main menu entry the tour picks next (0: none).
    int m_menuChoice = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: fennaro-tour DEMO_BIN_DIR OUT_DIR SHOT_DIR\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    skin::RegisterSkinFonts();
    const QString demoBin = QString::fromLocal8Bit(argv[1]);
    skin::SetImageFolder(demoBin + QStringLiteral("/image/"));
    std::printf("screenshots:\n");
    Tour tour(demoBin, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    return tour.run() ? 0 : 1;
}
