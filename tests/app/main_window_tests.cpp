// The main window driven as a user drives it, on generated phones served by
// the demo helper: connect, load, browse, check and uncheck, Recover, Back,
// Refresh, Pause, Continue, Stop and closing in every state.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidgetItem>
#include <filesystem>
#include <set>
#include <sqlite3.h>

#include "export/export_paths.h"
#include "platform/file_ops.h"
#include "records/contact_fields.h"
#include "records/timeline.h"
#include "skin/header_ctrl_check.h"
#include "skin/image_path.h"
#include "skin/img_button.h"
#include "skin/list_view_check1.h"
#include "skin/msg_box.h"
#include "skin/my_hyper_link.h"
#include "skin/tree_view_ex1.h"
#include "store_phone.h"
#include "update/main_menu.h"
#include "views/contact_info_board.h"
#include "views/msg_info_board.h"
#include "window_rig.h"

using apptest::waitUntil;
using apptest::WindowRig;
using fennaro::CMainDlg;

namespace {

// Returns whether the button with id is visible.
bool shown(CMainDlg& w, int id) {
    return w.button(id) != nullptr && w.button(id)->isVisible();
}

// Returns the single Fennaro<time stamp> folder below root.
QString onlyRunFolder(const QString& root) {
    const QStringList runs = QDir(root).entryList({"Fennaro*"}, QDir::Dirs);
    return runs.size() == 1 ? QDir(root).filePath(runs.first()) : QString();
}

// Returns whether the picture has a pixel of exactly colour c inside rect.
bool hasPixel(const QImage& image, const QRect& rect, const QColor& c) {
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y).rgb() == c.rgb())
                return true;
    return false;
}

// Clicks the middle of a list row, away from its check box.
void clickRow(skin::CListViewCheck1* list, int row) {
    list->EnsureVisible(row);
    const QRect rect = list->visualRect(list->model()->index(row, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

// Clicks a list row's check box.
void clickRowBox(skin::CListViewCheck1* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->CheckBoxRect(row).center());
}

// Runs SQL on a new database file; false when any statement fails.
bool writeDatabase(const std::string& path, const std::string& sql) {
    sqlite3* handle = nullptr;
    bool ok = sqlite3_open(path.c_str(), &handle) == SQLITE_OK &&
              sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(handle);
    return ok;
}

// Returns the text of a UTF-16 file the export wrote, without its byte order
// mark, CR LF made LF.
QString exportedText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll().mid(2);
    QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// Waits for the first loading to end, then runs a confirmed Deep Scan from
// the menu and waits until its records are loaded; false when either does
// not end in time.
bool runDeepScan(WindowRig& rig, CMainDlg& w) {
    if (!waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); }))
        return false;
    rig.menuChoices = {fennaro::ID_MENU_DEEP_SCAN};
    rig.answers = {skin::CMsgBox::IDC_YES};
    QSignalSpy loaded(&w, &CMainDlg::loadFinished);
    w.onCommand(CMainDlg::IDC_MENU);
    return loaded.wait(30000) || loaded.count() > 0;
}

// A modern phone of the test's own in a copy of the demo program folder:
// Ann is live (number 18950061093) and lost her web page; Gone Guy is gone
// with six kinds of field; Ann's conversation lost a sent message, a
// received one from her number in another form (in a thread that is gone)
// and one whose date is lost; a thread with 10086 is gone entirely.
bool makeCraftedModernPhone(const QString& programFolder) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::copy(FENNARO_DEMO_BIN, programFolder.toStdString(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error)
        return false;
    const fs::path phone = fs::path(programFolder.toStdString()) / "modern-phone" / "data";
    const fs::path contacts = phone / "data/com.android.providers.contacts/databases";
    const fs::path sms = phone / "user_de/0/com.android.providers.telephony/databases";
    for (const fs::path& folder : {contacts, sms})
        for (const auto& entry : fs::directory_iterator(folder, error))
            fs::remove(entry.path(), error);
    // No messaging app's store: the demo's belongs to other messages.
    fs::remove_all(phone / "data/com.google.android.apps.messaging", error);
    const std::string keep = "PRAGMA secure_delete=OFF; PRAGMA journal_mode=WAL;";
    return writeDatabase(
               (contacts / "contacts2.db").string(),
               keep +
                   "CREATE TABLE contacts (_id INTEGER PRIMARY KEY, name_raw_contact_id INTEGER);"
                   "CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY, deleted INTEGER,"
                   " display_name TEXT, display_name_source INTEGER);"
                   "CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY, mimetype TEXT);"
                   "CREATE TABLE data (_id INTEGER PRIMARY KEY, mimetype_id INTEGER,"
                   " raw_contact_id INTEGER, data1 TEXT, data2 TEXT, data4 TEXT, data5 TEXT);"
                   "INSERT INTO mimetypes VALUES (1, 'vnd.android.cursor.item/name'),"
                   " (2, 'vnd.android.cursor.item/phone_v2'),"
                   " (3, 'vnd.android.cursor.item/email_v2'),"
                   " (4, 'vnd.android.cursor.item/contact_event'),"
                   " (5, 'vnd.android.cursor.item/website'),"
                   " (6, 'vnd.android.cursor.item/postal-address_v2'),"
                   " (7, 'vnd.android.cursor.item/note');"
                   "INSERT INTO contacts VALUES (1, 1), (2, 2);"
                   "INSERT INTO raw_contacts VALUES (1, 0, 'Ann', 40), (2, 0, 'Gone Guy', 40);"
                   "INSERT INTO data VALUES (1, 1, 1, 'Ann', NULL, NULL, NULL),"
                   " (2, 2, 1, '18950061093', '2', NULL, NULL),"
                   " (3, 5, 1, 'ann.example', NULL, NULL, NULL),"
                   " (4, 1, 2, 'Gone Guy', NULL, NULL, NULL),"
                   " (5, 2, 2, '5550199', '1', NULL, NULL),"
                   " (6, 3, 2, 'guy@x.example', '2', NULL, NULL),"
                   " (7, 6, 2, '1 Main St', '1', NULL, NULL),"
                   " (8, 4, 2, '1974-01-28', '3', NULL, NULL),"
                   " (9, 7, 2, 'call after six', NULL, NULL, NULL);"
                   "DELETE FROM data WHERE raw_contact_id = 2 OR _id = 3;"
                   "DELETE FROM raw_contacts WHERE _id = 2; DELETE FROM contacts WHERE _id = 2;") &&
           writeDatabase(
               (sms / "mmssms.db").string(),
               keep + "CREATE TABLE threads (_id INTEGER PRIMARY KEY);"
                      "CREATE TABLE canonical_addresses (_id INTEGER PRIMARY KEY, address TEXT);"
                      "CREATE TABLE sms (_id INTEGER PRIMARY KEY, thread_id INTEGER, address TEXT,"
                      " person INTEGER, date INTEGER, date_sent INTEGER, read INTEGER,"
                      " type INTEGER, body TEXT);"
                      "INSERT INTO threads VALUES (1); INSERT INTO canonical_addresses VALUES (1,"
                      " '18950061093');"
                      "INSERT INTO sms VALUES (1, 1, '18950061093', 1, 1500000100000, 0, 1, 1,"
                      " 'live first'), (2, 1, '18950061093', 1, 1500000300000, 0, 1, 2,"
                      " 'live last'), (3, 1, '18950061093', 1, 1500000200000, 0, 1, 2,"
                      " 'deleted sent'), (4, 9, '+8618950061093', 0, 1500000000000, 0, 1, 1,"
                      " 'deleted by number'), (5, 1, '18950061093', 1, NULL, 0, 1, 1,"
                      " 'deleted undated'), (6, 7, '10086', 0, 1500000400000, 0, 1, 1,"
                      " 'deleted code 4711');"
                      "DELETE FROM sms WHERE _id > 2;");
}

} // namespace

class MainWindowTests : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        skin::SetImageFolder(QStringLiteral(FENNARO_IMAGE_DIR));
        // The window keeps the report's examiner in the user's settings
        // file: the tests keep theirs apart.
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    }

    // Connect screen, data screen, both categories, check marks in step, and
    // Recover writing what the command line writes for the same checks.
    void wholeRun() {
        WindowRig rig;
        CMainDlg& w = rig.open();
        QCOMPARE(w.screen(), 1);
        QCOMPARE(w.loadState(), -1);
        QVERIFY(waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); }));

        const fennaro::RecordStore& store = w.store();
        const int contacts = int(store.contactLists.contacts.size() + store.deletedContacts.size());
        const int messages = int(store.smsLists.threads.size() + store.deletedSms.size());
        QVERIFY(!store.deletedContacts.empty());
        QVERIFY(!store.deletedSms.empty());
        QCOMPARE(w.tree()->GetItemText(w.contactsItem()), QString("Contacts (%1)").arg(contacts));
        QCOMPARE(w.tree()->GetItemText(w.messageItem()), QString("Message (%1)").arg(messages));
        QVERIFY(shown(w, CMainDlg::IDC_BACK) && shown(w, CMainDlg::IDC_RECOVER));
        QVERIFY(!shown(w, CMainDlg::IDC_PAUSE) && !w.progressBar()->isVisible());

        // Contacts are selected; deleted rows first, in red, every row checked.
        skin::CListViewCheck1* list = w.recordList();
        QCOMPARE(w.currentCategory(), w.contactsItem());
        QVERIFY(list->isVisible());
        QCOMPARE(list->ListKind(), 1);
        QCOMPARE(list->geometry(), QRect(225, 32, 507, 576));
        QVERIFY(list->IsRowDeleted(0));
        QVERIFY(!list->IsRowDeleted(list->GetItemCount() - 1));
        QVERIFY(list->Header()->IsCheckAll());

        // Unchecking one row unchecks the category and the root; checking it
        // again checks both.
        clickRowBox(list, 1);
        QCOMPARE(list->GetStateImage(1), 1);
        QCOMPARE(w.tree()->GetStateImage(w.contactsItem()), 1);
        QCOMPARE(w.tree()->GetStateImage(w.rootItem()), 1);
        auto* record = static_cast<fennaro::ContactNode*>(list->GetItemData(1));
        QCOMPARE(record->checked, 0);
        clickRowBox(list, 1);
        QCOMPARE(record->checked, 1);
        QCOMPARE(w.tree()->GetStateImage(w.contactsItem()), 2);
        QCOMPARE(w.tree()->GetStateImage(w.rootItem()), 2);

        // Space on the focused row toggles it like a click.
        list->setFocus();
        list->setCurrentIndex(list->model()->index(2, 0));
        auto* third = static_cast<fennaro::ContactNode*>(list->GetItemData(2));
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(third->checked, 0);
        QCOMPARE(w.tree()->GetStateImage(w.contactsItem()), 1);
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(third->checked, 1);
        QCOMPARE(w.tree()->GetStateImage(w.contactsItem()), 2);

        // A clicked row shows on the contact board: a deleted one as name and
        // "Mobile:" number, a live one with its name and labelled values.
        fennaro::CContactInfoBoard* contactBoard = w.contactBoard();
        QVERIFY(contactBoard != nullptr && contactBoard->isVisible());
        clickRow(list, 0);
        QCOMPARE(contactBoard->name(), list->GetItemText(0, 0));
        QCOMPARE(contactBoard->items().front().label, QString("Mobile:"));
        QCOMPARE(contactBoard->items().front().value, list->GetItemText(0, 1));
        const int liveRow = list->GetItemCount() - 1;
        clickRow(list, liveRow);
        auto* live = static_cast<const fennaro::ContactNode*>(list->GetItemData(liveRow));
        const fennaro::ContactDataIndex index(store.contactLists);
        const fennaro::ContactBoardFields fields = fennaro::contactBoardFields(*live, index);
        QCOMPARE(contactBoard->name(), QString::fromUtf8(fields.name));
        QCOMPARE(contactBoard->items().size() >= fields.items.size(), true);
        for (size_t i = 0; i < fields.items.size(); ++i) {
            QCOMPARE(contactBoard->items()[i].label, QString::fromUtf8(fields.items[i].label));
            QCOMPARE(contactBoard->items()[i].value, QString::fromUtf8(fields.items[i].value));
        }

        // The message list: its own columns and place, row 0 selected.
        w.tree()->setCurrentItem(w.messageItem());
        QCOMPARE(w.currentCategory(), w.messageItem());
        QCOMPARE(list->ListKind(), 2);
        QCOMPARE(list->geometry(), QRect(225, 32, 497, 576));
        QVERIFY(list->GetItemCount() > 0 && list->GetItemCount() <= messages);
        QCOMPARE(list->GetSelectedRow(), 0);
        QVERIFY(contactBoard->isHidden());

        // A live conversation shows every message under its date line,
        // received ones on the left and sent ones on the right.
        fennaro::CMsgInfoBoard* messageBoard = w.messageBoard();
        QVERIFY(messageBoard != nullptr && messageBoard->isVisible());
        int conversationRow = -1;
        for (int row = 0; row < list->GetItemCount() && conversationRow < 0; ++row)
            if (!list->IsRowDeleted(row))
                conversationRow = row;
        QVERIFY(conversationRow >= 0);
        clickRow(list, conversationRow);
        auto* thread = static_cast<const fennaro::ThreadNode*>(list->GetItemData(conversationRow));
        std::vector<const fennaro::MessageNode*> shownMessages;
        for (const fennaro::MessageNode& m : store.smsLists.messages)
            if (m.conversationId == thread->conversationId && !m.body.empty())
                shownMessages.push_back(&m);
        QCOMPARE(messageBoard->items().size(), shownMessages.size());
        for (size_t i = 0; i < shownMessages.size(); ++i) {
            const fennaro::CMsgInfoItem& item = messageBoard->items()[i];
            QCOMPARE(item.header, QString::fromUtf8(shownMessages[i]->dateLine));
            QCOMPARE(item.kind, shownMessages[i]->type == 1 ? 1 : 2);
            if (item.kind == 1)
                QCOMPARE(item.bubble.left, 0);
            else
                QCOMPARE(item.bubble.right, 215);
        }

        // Everything checked: the window writes what the command line writes.
        rig.pickedFolder = rig.outputRoot() + "/window";
        QDir().mkpath(*rig.pickedFolder);
        QSignalSpy exported(&w, &CMainDlg::exportFinished);
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(exported.wait(20000) || exported.count() == 1);
        QVERIFY(shown(w, CMainDlg::IDC_RECOVER) && !shown(w, CMainDlg::IDC_BACK));
        QCOMPARE(rig.asked.last().kind, skin::CMsgBox::kRight);
        QVERIFY(rig.asked.last().text.startsWith(
            QString("Recovering finished, %1 files have been recovered.\nSaveFile:")
                .arg(contacts + messages)));

        const QString cliRoot = rig.outputRoot() + "/cli";
        QDir().mkpath(cliRoot);
        QProcess cli;
        cli.start(QStringLiteral(FENNARO_RECOVER_PATH),
                  {"export", QString::fromStdString(w.localCopies().localContactsDb),
                   QString::fromStdString(w.localCopies().localSmsDb), cliRoot});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const auto windowFiles = apptest::filesBelow(onlyRunFolder(*rig.pickedFolder));
        QVERIFY(!windowFiles.isEmpty());
        QCOMPARE(windowFiles, apptest::filesBelow(onlyRunFolder(cliRoot)));

        // Unchecking the Message category in the tree leaves its rows out.
        QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {},
                          w.tree()->CheckBoxRect(w.messageItem()).center());
        QCOMPARE(list->GetStateImage(0), 1);
        QVERIFY(!list->Header()->IsCheckAll());
        QCOMPARE(w.tree()->GetStateImage(w.rootItem()), 1);
        rig.pickedFolder = rig.outputRoot() + "/second";
        QDir().mkpath(*rig.pickedFolder);
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(exported.wait(20000) || exported.count() == 2);
        const QStringList folders =
            QDir(onlyRunFolder(*rig.pickedFolder)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(folders, QStringList{QString("Contacts (%1)").arg(contacts)});

        // Nothing checked: a warning, and no folder.
        QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {},
                          w.tree()->CheckBoxRect(w.contactsItem()).center());
        rig.pickedFolder = rig.outputRoot() + "/none";
        w.onCommand(CMainDlg::IDC_RECOVER);
        QCOMPARE(rig.asked.last().text, QString("Please select the file(s) you want to recover."));
        QVERIFY(!QDir(*rig.pickedFolder).exists());
    }

    // Back asks first; Yes goes to the connect screen and loads afresh.
    void back() {
        WindowRig rig;
        CMainDlg& w = rig.openLoaded();
        const QString caption = w.tree()->GetItemText(w.contactsItem());
        rig.answers = {skin::CMsgBox::IDC_NO};
        w.onCommand(CMainDlg::IDC_BACK);
        QCOMPARE(rig.asked.last().text,
                 QString("Are you sure to go back to reload the data from Android phone?"));
        QCOMPARE(rig.asked.last().flags, skin::CMsgBox::kYes | skin::CMsgBox::kNo);
        QCOMPARE(w.screen(), 2);
        QVERIFY(w.recordList()->GetItemCount() > 0);

        rig.answers = {skin::CMsgBox::IDC_YES};
        QSignalSpy loaded(&w, &CMainDlg::loadFinished);
        w.tree()->setCurrentItem(w.messageItem());
        w.onCommand(CMainDlg::IDC_BACK);
        QCOMPARE(w.screen(), 1);
        QCOMPARE(w.loadState(), -1);
        QVERIFY(!w.tree()->isVisible() && !w.recordList()->isVisible());
        QCOMPARE(w.contactBoard(), nullptr);
        QVERIFY(loaded.wait(20000));
        QCOMPARE(w.tree()->GetItemText(w.contactsItem()), caption);
        QCOMPARE(w.store().totalCount, w.store().loadedCount);
        // Contacts alone is selected again, whatever was selected before.
        QCOMPARE(w.tree()->selectedItems(), QList<QTreeWidgetItem*>{w.contactsItem()});
    }

    // Without a helper the failure screen shows; Refresh tries again without
    // deleting anything.
    void failureAndRefresh() {
        WindowRig rig(WindowRig::smallPhone(), false);
        CMainDlg& w = rig.open();
        QVERIFY(waitUntil([&] { return w.loadState() == 0; }));
        QCOMPARE(w.screen(), 1);
        QVERIFY(shown(w, CMainDlg::IDC_REFRESH));
        QVERIFY(w.problemsLink()->isVisible());
        QCOMPARE(w.problemsLink()->Label(), QString("Have Problems?"));
        QVERIFY(!w.gifTimerRunning());
        const QImage surface = w.composeSurface();
        QVERIFY(hasPixel(surface, QRect(100, 570, 300, 16), QColor(189, 58, 6)));
        QVERIFY(hasPixel(surface, QRect(120, 590, 300, 16), QColor(10, 0, 0)));

        // A stale copy left by an earlier run stays through a Refresh.
        const std::string stale = w.localCopies().localSmsDb;
        QFile(QString::fromStdString(stale)).open(QIODevice::WriteOnly);
        // The empty copy carves nothing: the deep scan is offered; not now.
        rig.answers = {skin::CMsgBox::IDC_NO};
        w.onCommand(CMainDlg::IDC_REFRESH);
        QCOMPARE(w.loadState(), -1);
        QVERIFY(!shown(w, CMainDlg::IDC_REFRESH) && !w.problemsLink()->isVisible());
        QVERIFY(fennaro::platform::fileExists(stale));
        // The empty copy arrived (it stands on disk), so the window goes on
        // to an empty data screen rather than crashing on it.
        QVERIFY(waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); }));
        QCOMPARE(w.tree()->GetItemText(w.messageItem()), QString("Message"));
        QVERIFY(rig.asked.last().text.contains("Deep Scan"));
        QVERIFY(!w.deepMode());
    }

    // A phone with MMS and the messaging app's own store: their messages,
    // live and deleted, join the conversations of the SMS, marked by the
    // store they came from, and none shows twice.
    void otherStoresJoinTheConversations() {
        namespace fs = std::filesystem;
        QTemporaryDir program, made;
        std::error_code error;
        fs::copy(FENNARO_DEMO_BIN, program.path().toStdString(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
        QVERIFY(!error);
        const testdata::StorePhoneTruth truth = testdata::generateStorePhone(
            testdata::StoreKind::Bugle, made.path().toStdString(), 1, 4096);
        const fs::path phone = fs::path(program.path().toStdString()) / "modern-phone" / "data";
        const fs::path sms = phone / "user_de/0/com.android.providers.telephony/databases";
        const fs::path app = phone / "data/com.google.android.apps.messaging/databases";
        fs::remove_all(sms, error);
        fs::remove_all(app, error);
        fs::create_directories(sms);
        fs::create_directories(app);
        for (const auto& entry : fs::directory_iterator(made.path().toStdString())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("mmssms.db", 0) == 0)
                fs::copy(entry.path(), sms / name);
            else if (name.rfind("bugle_db", 0) == 0)
                fs::copy(entry.path(), app / name);
        }
        WindowRig rig(WindowRig::smallPhone(), false);
        CMainDlg& w = rig.open(std::chrono::milliseconds(0), program.path());
        QVERIFY(runDeepScan(rig, w));

        using fennaro::deep::MessageStore;
        const fennaro::RecordStore& store = w.store();
        size_t liveMms = 0, appOnly = 0;
        int conversationWithBoth = -1;
        for (size_t row = 0; row < store.deep.conversations.size(); ++row) {
            const auto& conversation = store.deep.conversations[row];
            std::set<std::pair<std::string_view, std::string_view>> seen;
            bool mms = false, bugle = false;
            for (const fennaro::deep::ConversationEntry& entry : conversation.messages) {
                QVERIFY2(seen.emplace(entry.dateLine, entry.body).second,
                         std::string(entry.body).c_str());
                if (!entry.deleted)
                    continue;
                const bool isMms = entry.deleted->store == MessageStore::Mms;
                const bool isApp = entry.deleted->store == MessageStore::Bugle;
                // An MMS deleted from mmssms.db that the app still holds is
                // live as well, but no live MMS of mmssms.db.
                liveMms += isMms && !entry.deleted->deleted && entry.deleted->deletedIn.empty();
                appOnly += isApp;
                mms = mms || isMms;
                bugle = bugle || isApp;
            }
            if (conversationWithBoth < 0 && mms && bugle)
                conversationWithBoth = int(row);
        }
        QCOMPARE(liveMms, truth.liveMms);
        // Live SMS the app's store holds too are known as such.
        size_t liveInApp = 0;
        for (const auto& conversation : store.deep.conversations) {
            for (const auto& entry : conversation.messages)
                liveInApp += entry.liveAlsoInApp ? 1 : 0;
        }
        QVERIFY(liveInApp > 0);
        QCOMPARE(liveInApp, store.deep.liveSmsInBugle.size());
        QVERIFY(appOnly > 0);
        QVERIFY(conversationWithBoth >= 0);

        // Its board marks each message of another store beside the date
        // line, and only the deleted ones as deleted.
        w.tree()->setCurrentItem(w.messageItem());
        clickRow(w.recordList(), conversationWithBoth);
        const auto& conversation = store.deep.conversations[size_t(conversationWithBoth)];
        const auto& items = w.messageBoard()->items();
        QCOMPARE(items.size(), conversation.messages.size());
        for (size_t i = 0; i < items.size(); ++i) {
            const fennaro::deep::DeletedMessage* record = conversation.messages[i].deleted;
            QCOMPARE(items[i].deleted, record != nullptr && record->deleted);
            if (conversation.messages[i].liveAlsoInApp)
                QVERIFY(items[i].header.endsWith("[+app]"));
            if (record && record->store == MessageStore::Mms)
                QVERIFY(items[i].header.contains("[MMS"));
            if (record && record->store == MessageStore::Bugle)
                QVERIFY(items[i].header.endsWith("[app]"));
        }
        if (const char* shot = std::getenv("FENNARO_STORES_SHOT"))
            w.grab().save(QString::fromLocal8Bit(shot));
    }

    // A copy that changes on this computer between the pull and the end of
    // the loading (its manifest is checked beside the loading) is refused:
    // nothing read from it stays shown, and the user is told which file.
    void deepScanRefusesCopiesChangedWhileLoading() {
        WindowRig rig(WindowRig::smallPhone(), false);
        CMainDlg& w = rig.open(std::chrono::milliseconds(0), QStringLiteral(FENNARO_DEMO_BIN));
        QVERIFY(waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); }));
        QObject::connect(&w, &CMainDlg::acquireFinished, [&w] {
            QFile copy(QString::fromStdString(w.localCopies().localContactsDb));
            if (w.deepMode() && copy.open(QIODevice::Append))
                copy.write("x");
        });
        rig.menuChoices = {fennaro::ID_MENU_DEEP_SCAN};
        rig.answers = {skin::CMsgBox::IDC_YES};
        QSignalSpy loaded(&w, &CMainDlg::loadFinished);
        w.onCommand(CMainDlg::IDC_MENU);
        QVERIFY(loaded.wait(30000));
        QVERIFY2(rig.asked.last().text.contains("so they are not used") &&
                     rig.asked.last().text.contains("contacts2.db"),
                 qPrintable(rig.asked.last().text));
        QCOMPARE(w.screen(), 1);
        QVERIFY(!w.workerRunning());
        QVERIFY(!w.store().deep.loaded);
        QVERIFY(w.store().contactLists.contacts.empty());
        QCOMPARE(w.tree()->GetItemText(w.contactsItem()), QString("Contacts"));
    }

    // The menu's Deep Scan asks first, then reads the modern demo phone
    // without changing it, and loads what the deep engine recovers beside the
    // live records of the databases' current state.
    // The timeline holds every dated message and call of a deep scan,
    // newest first; a click opens a message in its conversation, scrolled to
    // it, and a call on the call board; a row's box is its record's. Report
    // asks for the case details first: they head the entry page, escaped,
    // and the examiner is offered again the next time.
    void timelineAndCaseDetails() {
        WindowRig rig(WindowRig::smallPhone(), false);
        rig.afterDeepLoad = [](fennaro::RecordStore& store) {
            fennaro::deep::CallRecord call;
            call.number = "5550123";
            call.date = int64_t{4102444800000}; // newer than every message
            call.dateLine = "2100-01-01 00:00:00";
            call.type = 1;
            call.duration = 65;
            call.file = "calllog.db";
            store.deep.calls.push_back(call);
        };
        CMainDlg& w = rig.open(std::chrono::milliseconds(0), QStringLiteral(FENNARO_DEMO_BIN));
        QVERIFY(waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); }));
        QVERIFY(w.timelineItem()->isHidden()); // the classic pass has none
        rig.menuChoices = {fennaro::ID_MENU_DEEP_SCAN};
        rig.answers = {skin::CMsgBox::IDC_YES};
        QSignalSpy loaded(&w, &CMainDlg::loadFinished);
        w.onCommand(CMainDlg::IDC_MENU);
        QVERIFY(loaded.wait(30000));

        fennaro::RecordStore& store = w.store();
        int dated = 0;
        for (const fennaro::deep::DeepConversation& conversation : store.deep.conversations)
            for (const fennaro::deep::ConversationEntry& message : conversation.messages)
                dated += message.dateMs ? 1 : 0;
        for (const fennaro::deep::CallRecord& call : store.deep.calls)
            dated += call.date ? 1 : 0;
        QVERIFY(!w.timelineItem()->isHidden());
        QCOMPARE(w.rootItem()->indexOfChild(w.timelineItem()), 3);
        QCOMPARE(w.tree()->GetItemText(w.timelineItem()), QString("Timeline (%1)").arg(dated));

        w.tree()->setCurrentItem(w.timelineItem());
        skin::CListViewCheck1* list = w.recordList();
        QCOMPARE(list->GetItemCount(), dated);
        QCOMPARE(list->GetItemText(0, 0), QString("2100-01-01 00:00:00"));
        QCOMPARE(list->GetItemText(0, 1), QString("Call, Incoming"));
        QCOMPARE(list->GetItemText(0, 4), QString("1:05"));
        QVERIFY(w.contactBoard()->isVisible() && !w.messageBoard()->isVisible());
        // Newest first; the deleted message deepest in its conversation.
        int pick = -1;
        for (int row = 0; row < list->GetItemCount(); ++row) {
            const auto* event = static_cast<const fennaro::TimelineEvent*>(list->GetItemData(row));
            if (row > 0)
                QVERIFY(static_cast<const fennaro::TimelineEvent*>(list->GetItemData(row - 1))
                            ->dateMs >= event->dateMs);
            QCOMPARE(list->IsRowDeleted(row), event->deleted);
            if (event->deleted && event->conversation != nullptr &&
                (pick < 0 ||
                 event->entry >
                     static_cast<const fennaro::TimelineEvent*>(list->GetItemData(pick))->entry))
                pick = row;
        }
        QVERIFY(pick > 0);
        const auto& event = *static_cast<const fennaro::TimelineEvent*>(list->GetItemData(pick));
        QVERIFY(list->GetItemText(pick, 1).startsWith("SMS ") ||
                list->GetItemText(pick, 1).startsWith("MMS ") ||
                list->GetItemText(pick, 1).startsWith("App "));
        clickRow(list, pick);
        QVERIFY(w.messageBoard()->isVisible() && !w.contactBoard()->isVisible());
        const auto& items = w.messageBoard()->items();
        QCOMPARE(items.size(), event.conversation->messages.size());
        const fennaro::CMsgInfoItem& item = items[event.entry];
        QVERIFY(item.deleted);
        const int top =
            item.y - w.messageBoard()->scrollPosition() * fennaro::CMsgInfoBoard::kScrollUnit;
        QVERIFY2(top >= 0 && top < w.messageBoard()->height(), qPrintable(QString::number(top)));

        // The row's box is its conversation's: every row of it follows, and
        // the Message category is no longer all checked.
        clickRowBox(list, pick);
        QVERIFY(waitUntil([&] { return w.tree()->GetStateImage(w.messageItem()) == 1; }));
        QCOMPARE(int(event.conversation->checked), 0);
        for (int row = 0; row < list->GetItemCount(); ++row) {
            const auto* other = static_cast<const fennaro::TimelineEvent*>(list->GetItemData(row));
            if (other->conversation == event.conversation)
                QCOMPARE(list->GetStateImage(row), 1);
        }
        QCOMPARE(w.tree()->GetStateImage(w.timelineItem()), 2);

        // Report: the case details, escaped, on the entry page.
        const QString reportFolder = rig.outputRoot() + "/report";
        QDir().mkpath(reportFolder);
        rig.pickedFolder = reportFolder;
        rig.caseDetails = fennaro::CaseDetails{"Case <7>", " Dr. A & B ", "first\nsecond <b>"};
        rig.menuChoices = {fennaro::ID_MENU_REPORT};
        w.onCommand(CMainDlg::IDC_MENU);
        QCOMPARE(rig.caseDetailsOffered.size(), 1);
        QCOMPARE(rig.caseDetailsOffered.last().examiner, QString());
        QFile page(reportFolder + "/report.html");
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        QVERIFY(html.contains("Case &lt;7&gt;"));
        QVERIFY(html.contains("Dr. A &amp; B"));
        QVERIFY(html.contains("second &lt;b&gt;"));
        QVERIFY(QFile::exists(reportFolder + "/timeline.html"));

        // Cancelled: no folder is asked for; the examiner was kept.
        rig.caseDetails.reset();
        rig.pickedFolder.reset();
        const int boxes = rig.asked.size();
        rig.menuChoices = {fennaro::ID_MENU_REPORT};
        w.onCommand(CMainDlg::IDC_MENU);
        QCOMPARE(rig.caseDetailsOffered.size(), 2);
        QCOMPARE(rig.caseDetailsOffered.last().examiner, QString("Dr. A & B"));
        QCOMPARE(rig.asked.size(), boxes);
    }

    void deepScan() {
        WindowRig rig(WindowRig::smallPhone(), false);
        CMainDlg& w = rig.open(std::chrono::milliseconds(0), QStringLiteral(FENNARO_DEMO_BIN));
        QVERIFY(waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); }));
        QVERIFY(!w.deepMode());

        // Not confirmed: nothing changes.
        rig.menuChoices = {fennaro::ID_MENU_DEEP_SCAN};
        rig.answers = {skin::CMsgBox::IDC_NO};
        w.onCommand(CMainDlg::IDC_MENU);
        QVERIFY(rig.asked.last().text.contains("Start the Deep Scan?"));
        QCOMPARE(w.screen(), 2);

        rig.menuChoices = {fennaro::ID_MENU_DEEP_SCAN};
        rig.answers = {skin::CMsgBox::IDC_YES};
        QSignalSpy loaded(&w, &CMainDlg::loadFinished);
        w.tree()->setCurrentItem(w.messageItem());
        w.onCommand(CMainDlg::IDC_MENU);
        QVERIFY(w.deepMode());
        QCOMPARE(w.screen(), 1);
        QCOMPARE(w.rootItem()->text(0), QString("android phone (deep scan)"));
        QVERIFY(loaded.wait(30000));
        QCOMPARE(w.screen(), 2);
        QCOMPARE(w.tree()->selectedItems(), QList<QTreeWidgetItem*>{w.contactsItem()});

        // Both copies arrived with a manifest beside each.
        const fennaro::LocalDbPaths copies = w.localCopies();
        for (const std::string& db : {copies.localContactsDb, copies.localSmsDb}) {
            QVERIFY(fennaro::platform::fileExists(db));
            QVERIFY(fennaro::platform::fileExists(fennaro::platform::parentFolder(db) +
                                                  "/manifest.sha256"));
        }
        const fennaro::RecordStore& store = w.store();
        QVERIFY(!store.contactLists.contacts.empty());
        QVERIFY(!store.smsLists.threads.empty());
        // Deep mode lists conversations, deleted messages inside them.
        QVERIFY(store.deep.loaded);
        QVERIFY(!store.deep.messages.empty());
        QCOMPARE(w.tree()->GetItemText(w.messageItem()),
                 QString("Message (%1)").arg(store.deep.conversations.size()));

        // The first conversation holds deleted messages: the list marks it,
        // and its board shows them among the live ones, marked, in date order.
        w.tree()->setCurrentItem(w.messageItem());
        skin::CListViewCheck1* list = w.recordList();
        QVERIFY(list->IsRowDeleted(0));
        clickRow(list, 0);
        const fennaro::deep::DeepConversation& first = store.deep.conversations.front();
        const auto& items = w.messageBoard()->items();
        QCOMPARE(items.size(), first.messages.size());
        size_t deletedItems = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            QCOMPARE(items[i].deleted, fennaro::deep::isDeletedEntry(first.messages[i]));
            QCOMPARE(items[i].kind, first.messages[i].received ? 1 : 2);
            deletedItems += items[i].deleted ? 1 : 0;
            if (i > 0 && first.messages[i].dateMs && first.messages[i - 1].dateMs)
                QVERIFY(*first.messages[i - 1].dateMs <= *first.messages[i].dateMs);
        }
        QCOMPARE(deletedItems, first.deletedCount);

        // Everything checked, the window writes what export --deep writes
        // for the same copies, and the copies are still as pulled.
        rig.pickedFolder = rig.outputRoot() + "/window";
        QDir().mkpath(*rig.pickedFolder);
        QSignalSpy exported(&w, &CMainDlg::exportFinished);
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(exported.wait(20000) || exported.count() == 1);
        QVERIFY(!rig.asked.last().text.contains("changed on this computer"));
        const QString cliRoot = rig.outputRoot() + "/cli";
        QDir().mkpath(cliRoot);
        QProcess cli;
        cli.start(QStringLiteral(FENNARO_RECOVER_PATH),
                  {"export", "--deep", QString::fromStdString(copies.localContactsDb),
                   QString::fromStdString(copies.localSmsDb), cliRoot});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const auto windowFiles = apptest::filesBelow(onlyRunFolder(*rig.pickedFolder));
        QVERIFY(!windowFiles.isEmpty());
        QCOMPARE(windowFiles, apptest::filesBelow(onlyRunFolder(cliRoot)));

        // Report, after Deep Scan in the menu: the same table as the command's.
        const QString reportFolder = rig.outputRoot() + "/report";
        QDir().mkpath(reportFolder);
        rig.pickedFolder = reportFolder;
        rig.menuChoices = {fennaro::ID_MENU_REPORT};
        w.onCommand(CMainDlg::IDC_MENU);
        QVERIFY2(rig.asked.last().text.contains("report.html"), qPrintable(rig.asked.last().text));
        QFile windowCsv(reportFolder + "/records.csv");
        QVERIFY(windowCsv.open(QIODevice::ReadOnly));
        const QByteArray windowTable = windowCsv.readAll();
        QVERIFY(windowTable.startsWith("\xEF\xBB\xBFkind,deleted,evidence,name,number,date,"));
        QFile page(reportFolder + "/report.html");
        QVERIFY(page.open(QIODevice::ReadOnly));
        // The copies' hashes are the ones their manifests recorded.
        QVERIFY(page.readAll().count("as in the manifest") >= 2);
        const QString cliReport = rig.outputRoot() + "/cli-report";
        QDir().mkpath(cliReport);
        cli.start(QStringLiteral(FENNARO_RECOVER_PATH),
                  {"report", "--deep", QString::fromStdString(copies.localContactsDb),
                   QString::fromStdString(copies.localSmsDb), cliReport});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QFile cliCsv(cliReport + "/records.csv");
        QVERIFY(cliCsv.open(QIODevice::ReadOnly));
        QCOMPARE(windowTable, cliCsv.readAll());

        // A copy changed on this computer is named at the end of a Recover.
        QFile changed(QString::fromStdString(copies.localSmsDb));
        QVERIFY(changed.open(QIODevice::Append));
        changed.write("x");
        changed.close();
        rig.pickedFolder = rig.outputRoot() + "/changed";
        QDir().mkpath(*rig.pickedFolder);
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(exported.wait(20000) || exported.count() == 2);
        QVERIFY2(rig.asked.last().text.contains("changed on this computer") &&
                     rig.asked.last().text.contains("\nmmssms.db"),
                 qPrintable(rig.asked.last().text));

        // Check marks are per row: the unchecked conversation, with its
        // deleted messages, is left out, and the folder counts the rest.
        w.tree()->setCurrentItem(w.messageItem());
        clickRowBox(list, 0);
        QCOMPARE(int(store.deep.conversations.front().checked), 0);
        rig.pickedFolder = rig.outputRoot() + "/unchecked";
        QDir().mkpath(*rig.pickedFolder);
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(exported.wait(20000) || exported.count() == 3);
        const size_t conversations = store.deep.conversations.size();
        const QString messageFolder =
            onlyRunFolder(*rig.pickedFolder) + QString("/Message (%1)/").arg(conversations - 1);
        QVERIFY2(QDir(messageFolder).exists(), qPrintable(messageFolder));
        bool nameShared = false;
        for (size_t i = 1; i < conversations; ++i)
            nameShared |= store.deep.conversations[i].name == first.name;
        if (!nameShared)
            QVERIFY(!QFile::exists(
                messageFolder + QString::fromStdString(fennaro::conversationFileName(first.name))));
        QCOMPARE(QDir(messageFolder).entryList(QDir::Files).size() > 0, conversations > 1);
    }

    // A Deep Scan of a phone made for it: deleted messages in a live thread,
    // in threads that are gone and without a date; a deleted contact of six
    // kinds of field; a deleted field of a live contact. The list rows, the
    // bubbles' order, sides and marks, the board texts and the Recover files.
    void deepScanOfACraftedPhone() {
        QTemporaryDir program;
        QVERIFY(makeCraftedModernPhone(program.path()));
        WindowRig rig(WindowRig::smallPhone(), false);
        CMainDlg& w = rig.open(std::chrono::milliseconds(0), program.path());
        QVERIFY(runDeepScan(rig, w));
        QCOMPARE(w.tree()->GetItemText(w.messageItem()), QString("Message (2)"));
        QCOMPARE(w.tree()->GetItemText(w.contactsItem()), QString("Contacts (2)"));

        // Messages: the gone thread first, red with the trash mark, then
        // Ann's live conversation, black with a badge of its three deleted
        // messages.
        w.tree()->setCurrentItem(w.messageItem());
        skin::CListViewCheck1* list = w.recordList();
        QCOMPARE(list->GetItemCount(), 2);
        QCOMPARE(list->GetItemText(0, 0), QString("10086"));
        QCOMPARE(list->GetItemText(1, 0), QString("Ann"));
        QVERIFY(list->IsRowDeleted(0) && list->IsRowDeleted(1));
        QCOMPARE(list->RowDeletedParts(0), 0);
        QCOMPARE(list->RowTextColor(0), QColor(Qt::red));
        QCOMPARE(list->RowDeletedParts(1), 3);
        QCOMPARE(list->RowTextColor(1), QColor(Qt::black));
        clickRow(list, 1);
        const auto& items = w.messageBoard()->items();
        QStringList bubbles;
        for (const fennaro::CMsgInfoItem& item : items)
            bubbles
                << QString("%1%2:%3").arg(item.deleted ? "x" : "").arg(item.kind).arg(item.body);
        QCOMPARE(bubbles, QStringList({"x1:deleted by number", "1:live first", "x2:deleted sent",
                                       "2:live last", "x1:deleted undated"}));
        QCOMPARE(items.back().header, QString("(no date)"));

        // Contacts: Gone Guy is one red row; Ann's live row stays black with
        // the badge of her one deleted field.
        w.tree()->setCurrentItem(w.contactsItem());
        QCOMPARE(list->GetItemCount(), 2);
        QCOMPARE(list->GetItemText(0, 0), QString("Gone Guy"));
        QCOMPARE(list->GetItemText(0, 1), QString("5550199"));
        QVERIFY(list->IsRowDeleted(0));
        QCOMPARE(list->RowTextColor(0), QColor(Qt::red));
        QCOMPARE(list->RowDeletedParts(1), 1);
        QCOMPARE(list->RowTextColor(1), QColor(Qt::black));
        if (const char* shot = std::getenv("FENNARO_STATES_SHOT"))
            w.grab().save(QString::fromLocal8Bit(shot));
        clickRow(list, 0);
        fennaro::CContactInfoBoard* board = w.contactBoard();
        QCOMPARE(board->name(), QString("Gone Guy"));
        QVERIFY(board->deletedContact());
        QStringList fields;
        for (const fennaro::BoardItem& item : board->items())
            if (!item.label.isEmpty())
                fields << item.label + "=" + item.value + (item.deleted ? "*" : "");
        QCOMPARE(fields,
                 QStringList({"Home=5550199*", "Work Email=guy@x.example*", "Address=1 Main St*",
                              "Birthday=1974-01-28*", "Note=call after six*"}));
        clickRow(list, 1);
        fields.clear();
        for (const fennaro::BoardItem& item : board->items())
            if (!item.label.isEmpty())
                fields << item.label + "=" + item.value + (item.deleted ? "*" : "");
        QCOMPARE(fields, QStringList({"Mobile=18950061093", "Website=ann.example*"}));

        // Recover: the live layout, deleted lines marked.
        rig.pickedFolder = rig.outputRoot() + "/crafted";
        QDir().mkpath(*rig.pickedFolder);
        QSignalSpy exported(&w, &CMainDlg::exportFinished);
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(exported.wait(20000) || exported.count() == 1);
        const QString run = onlyRunFolder(*rig.pickedFolder);
        QCOMPARE(exportedText(run + "/Contacts (2)/contacts.txt"),
                 QString("Contacts:\nAnn(Mobile) : 18950061093\n[deleted] Ann(Website) : "
                         "ann.example\n%1\nDeleted:\n[deleted] Gone Guy(Home) : 5550199\n"
                         "[deleted] Gone Guy(Work Email) : guy@x.example\n[deleted] Gone "
                         "Guy(Address) : 1 Main St\n[deleted] Gone Guy(Birthday) : 1974-01-28\n"
                         "[deleted] Gone Guy(Note) : call after six\n")
                     .arg(QString(66, '-')));
        const QString ann = exportedText(run + "/Message (2)/Ann.txt");
        const QStringList annLines = ann.split('\n');
        QCOMPARE(annLines.mid(0, 4),
                 QStringList({"", annLines[1], "[deleted]", "Ann : deleted by number"}));
        QVERIFY(ann.contains("\nAnn : live first\n\n"));
        QVERIFY(ann.contains("[deleted]\nMe : deleted sent\n\n"));
        QVERIFY(ann.endsWith("(no date)\n[deleted]\nAnn : deleted undated\n\n"));
        QVERIFY(ann.indexOf("deleted sent") > ann.indexOf("live first") &&
                ann.indexOf("live last") > ann.indexOf("deleted sent"));
        QVERIFY(exportedText(run + "/Message (2)/10086.txt")
                    .contains("[deleted]\n10086 : deleted code 4711\n"));
    }

    // The call log of a deep scan: its category after Message, its rows
    // (deleted ones first, each group newest first, deleted ones marked), the
    // board of a deleted and of a live call, check marks and calls.txt. The
    // calls are handed in as the readers would leave them, out of order.
    void callLogCategory() {
        QTemporaryDir program;
        QVERIFY(makeCraftedModernPhone(program.path()));
        WindowRig rig(WindowRig::smallPhone(), false);
        rig.afterDeepLoad = [](fennaro::RecordStore& store) {
            using fennaro::deep::CallRecord;
            CallRecord old;
            old.number = "5550100";
            old.date = 1000;
            old.dateLine = "2021-03-04 05:06:07";
            old.duration = 3723;
            old.type = 2;
            old.file = "calllog.db";
            CallRecord ann = old;
            ann.number = "18950061093";
            ann.cachedName = ann.name = "Ann";
            ann.date = 2000;
            ann.dateLine = "2021-03-05 10:00:00";
            ann.duration = 65;
            ann.type = 1;
            CallRecord missed;
            missed.deleted = true;
            missed.number = "5550199";
            missed.name = "Gone Guy"; // from the contacts: none was cached
            missed.date = 500;
            missed.dateLine = "2020-01-01 00:00:00";
            missed.duration = 0;
            missed.type = 3;
            missed.file = "calllog.db";
            missed.evidence = "cell";
            missed.place = {"/copies/calllog.db-wal", 12, 3408, 7};
            CallRecord hidden = missed;
            hidden.number.clear();
            hidden.name.clear();
            hidden.date = 900;
            hidden.dateLine = "2020-02-02 00:00:00";
            hidden.type = 9;
            hidden.duration.reset();
            hidden.file = "contacts2.db";
            hidden.evidence = "header lost, dropped table";
            hidden.place = {"/copies/contacts2.db", 40, 163880, std::nullopt};
            store.deep.calls = {old, missed, ann, hidden};
        };
        CMainDlg& w = rig.open(std::chrono::milliseconds(0), program.path());
        QVERIFY(waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); }));
        // The classic pass has no call log.
        QVERIFY(w.callLogItem()->isHidden());
        rig.menuChoices = {fennaro::ID_MENU_DEEP_SCAN};
        rig.answers = {skin::CMsgBox::IDC_YES};
        QSignalSpy loaded(&w, &CMainDlg::loadFinished);
        w.onCommand(CMainDlg::IDC_MENU);
        QVERIFY(loaded.wait(30000));
        QVERIFY(!w.callLogItem()->isHidden());
        QCOMPARE(w.rootItem()->indexOfChild(w.callLogItem()), 2);
        QCOMPARE(w.tree()->GetItemText(w.callLogItem()), QString("Call log (4)"));

        w.tree()->setCurrentItem(w.callLogItem());
        skin::CListViewCheck1* list = w.recordList();
        QStringList rows;
        for (int row = 0; row < list->GetItemCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < 5; ++column)
                cells << list->GetItemText(row, column);
            rows << (list->IsRowDeleted(row) ? "x " : "") + cells.join('|');
        }
        QCOMPARE(rows, QStringList({"x |Unknown number|2020-02-02 00:00:00|9|",
                                    "x Gone Guy|5550199|2020-01-01 00:00:00|Missed|0:00",
                                    "Ann|18950061093|2021-03-05 10:00:00|Incoming|1:05",
                                    "|5550100|2021-03-04 05:06:07|Outgoing|1:02:03"}));

        // A deleted call's board: every item marked, its evidence and place.
        const auto boardText = [&] {
            fennaro::CContactInfoBoard* board = w.contactBoard();
            QStringList lines{board->name() + (board->deletedContact() ? "*" : ""),
                              board->company()};
            for (const fennaro::BoardItem& item : board->items())
                if (!item.label.isEmpty())
                    lines << item.label + "=" + item.value + (item.deleted ? "*" : "");
            return lines;
        };
        QVERIFY(w.contactBoard()->isVisible());
        QCOMPARE(boardText(),
                 QStringList({"Unknown number*", "", "Number=(unknown)*", "Date=2020-02-02*",
                              "Time=00:00:00*", "Type=9*", "Duration=(unknown)*",
                              "Evidence=header lost, dropped table*", "File=contacts2.db*",
                              "Page=40*", "Offset=163880*"}));
        clickRow(list, 1);
        QCOMPARE(
            boardText(),
            QStringList({"Gone Guy*", "(from the contacts)", "Number=5550199*", "Date=2020-01-01*",
                         "Time=00:00:00*", "Type=Missed*", "Duration=0:00 (0 s)*", "Evidence=cell*",
                         "File=calllog.db-wal*", "Page=12*", "Offset=3408*", "Frame=7*"}));
        // The picture of the README, when asked for.
        if (const char* shot = std::getenv("FENNARO_CALL_LOG_SHOT"))
            w.grab().save(QString::fromLocal8Bit(shot));
        clickRow(list, 2);
        QCOMPARE(boardText(),
                 QStringList({"Ann", "", "Number=18950061093", "Date=2021-03-05", "Time=10:00:00",
                              "Type=Incoming", "Duration=1:05 (65 s)", "File=calllog.db"}));

        // Check marks: a row's box reaches its call and the category's box;
        // the category's box reaches every call.
        clickRowBox(list, 3);
        const auto& calls = w.store().deep.calls;
        QCOMPARE(calls[3].checked, 0);
        QCOMPARE(w.tree()->GetStateImage(w.callLogItem()), 1);
        QCOMPARE(w.tree()->GetStateImage(w.rootItem()), 1);

        // Recover writes the checked calls beside the other categories.
        rig.pickedFolder = rig.outputRoot() + "/calls";
        QDir().mkpath(*rig.pickedFolder);
        QSignalSpy exported(&w, &CMainDlg::exportFinished);
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(exported.wait(20000) || exported.count() == 1);
        const QString run = onlyRunFolder(*rig.pickedFolder);
        QVERIFY(QFile::exists(run + "/Contacts (2)/contacts.txt"));
        QCOMPARE(exportedText(run + "/Call log (3)/calls.txt"),
                 QString("2020-02-02 00:00:00\nType 9\nUnknown number\nDuration: (unknown)\n"
                         "[deleted]\n\n2020-01-01 00:00:00\nMissed\nGone Guy (5550199)\n"
                         "Duration: 0:00\n[deleted]\n\n2021-03-05 10:00:00\nIncoming\n"
                         "Ann (18950061093)\nDuration: 1:05\n"));

        // Unchecking the category leaves the call log out of Recover.
        w.tree()->SetCheckState(w.callLogItem(), 0x1000);
        emit w.tree()->treeItemCheck(w.callLogItem(), 0);
        for (const fennaro::deep::CallRecord& call : calls)
            QCOMPARE(call.checked, 0);
        rig.pickedFolder = rig.outputRoot() + "/none";
        QDir().mkpath(*rig.pickedFolder);
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(exported.wait(20000) || exported.count() == 2);
        QVERIFY(QDir(onlyRunFolder(*rig.pickedFolder)).entryList({"Call log*"}).isEmpty());

        // Back empties the category; the deep scan it repeats fills it anew,
        // every call checked again.
        w.onCommand(CMainDlg::IDC_BACK);
        QVERIFY(w.callLogItem()->isHidden());
        QCOMPARE(w.tree()->GetItemText(w.callLogItem()), QString("Call log"));
        QVERIFY(loaded.wait(30000));
        QVERIFY(!w.callLogItem()->isHidden());
        QCOMPARE(w.tree()->GetStateImage(w.callLogItem()), 2);
        QCOMPARE(w.store().deep.calls.size(), size_t(4));
        for (const fennaro::deep::CallRecord& call : w.store().deep.calls)
            QCOMPARE(call.checked, 1);
    }

    // Phone files stand in for the phone: the modern demo phone's files, as a
    // folder and as a tar.gz, load exactly what a Deep Scan of the phone
    // loads, under the files' name; Back reads them again; Report names the
    // archive the copies came from.
    void phoneFilesLoadAsTheDeepScanOfThePhone() {
        WindowRig rig(WindowRig::smallPhone(), false);
        CMainDlg& w = rig.open(std::chrono::milliseconds(0), QStringLiteral(FENNARO_DEMO_BIN));
        QVERIFY(runDeepScan(rig, w));
        const auto counts = [&w] {
            const fennaro::RecordStore& store = w.store();
            return QStringList{w.tree()->GetItemText(w.contactsItem()),
                               w.tree()->GetItemText(w.messageItem()),
                               QString::number(store.deep.messages.size()),
                               QString::number(store.contactLists.contacts.size())};
        };
        const QStringList phone = counts();
        QVERIFY(w.store().deep.loaded && !w.store().deep.messages.empty());
        QVERIFY(!w.filesLink()->isVisible());

        // Cancelled, then not confirmed: nothing changes.
        const QString folder = QStringLiteral(FENNARO_DEMO_BIN "/modern-phone");
        rig.menuChoices = {fennaro::ID_MENU_OPEN_FILES};
        rig.pickedPhoneFiles.reset();
        const qsizetype boxes = rig.asked.size();
        w.onCommand(CMainDlg::IDC_MENU);
        QCOMPARE(rig.asked.size(), boxes);
        rig.menuChoices = {fennaro::ID_MENU_OPEN_FILES};
        rig.pickedPhoneFiles = folder;
        rig.answers = {skin::CMsgBox::IDC_NO};
        w.onCommand(CMainDlg::IDC_MENU);
        QCOMPARE(rig.asked.last().text, QString("Open the phone's files in modern-phone? They are "
                                                "only read: nothing in them is changed."));
        QCOMPARE(w.screen(), 2);
        QCOMPARE(w.rootItem()->text(0), QString("android phone (deep scan)"));

        QSignalSpy loaded(&w, &CMainDlg::loadFinished);
        rig.menuChoices = {fennaro::ID_MENU_OPEN_FILES};
        w.onCommand(CMainDlg::IDC_MENU);
        QCOMPARE(w.rootItem()->text(0), QString("phone files: modern-phone (deep scan)"));
        QVERIFY(loaded.wait(30000));
        QCOMPARE(w.screen(), 2);
        QVERIFY(w.deepMode());
        QCOMPARE(counts(), phone);
        // The copy is the phone's file, and its manifest says where it came from.
        const fennaro::LocalDbPaths copies = w.localCopies();
        QFile original(folder + "/data/data/com.android.providers.contacts/databases/contacts2.db");
        QFile copy(QString::fromStdString(copies.localContactsDb));
        QVERIFY(original.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), original.readAll());
        QFile manifest(QString::fromStdString(
            fennaro::platform::parentFolder(copies.localContactsDb) + "/manifest.sha256"));
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        QVERIFY(manifest.readAll().contains("#source folder " + folder.toUtf8()));

        // Back reads the same files again.
        rig.answers = {skin::CMsgBox::IDC_YES};
        w.onCommand(CMainDlg::IDC_BACK);
        QVERIFY(loaded.wait(30000));
        QCOMPARE(w.rootItem()->text(0), QString("phone files: modern-phone (deep scan)"));
        QCOMPARE(counts(), phone);

        // Another user's databases beside the owner's are told of once
        // read, and left out of what is loaded.
        namespace fs = std::filesystem;
        const fs::path shared = (rig.outputRoot() + "/shared").toStdString();
        fs::copy(folder.toStdString(), shared, fs::copy_options::recursive);
        const fs::path work = shared / "data/user/10/com.android.providers.contacts/databases";
        fs::create_directories(work);
        fs::copy_file(fs::path(original.fileName().toStdString()), work / "contacts2.db");
        rig.menuChoices = {fennaro::ID_MENU_OPEN_FILES};
        rig.pickedPhoneFiles = QString::fromStdString(shared.string());
        w.onCommand(CMainDlg::IDC_MENU);
        QVERIFY(loaded.wait(30000));
        QVERIFY2(rig.asked.last().text.startsWith("Seen in the phone's files and left out:\nuser "
                                                  "10 has its own contacts2.db"),
                 qPrintable(rig.asked.last().text));
        QCOMPARE(w.rootItem()->text(0), QString("phone files: shared (deep scan)"));
        QCOMPARE(counts(), phone);

        // The same files in a tar.gz.
        const QString archive = rig.outputRoot() + "/modern-phone.tar.gz";
        QProcess tar;
        tar.start("tar", {"-czf", archive, "-C", QStringLiteral(FENNARO_DEMO_BIN), "modern-phone"});
        if (!tar.waitForFinished(30000) || tar.exitCode() != 0)
            QSKIP("no tar to pack the demo phone");
        rig.menuChoices = {fennaro::ID_MENU_OPEN_FILES};
        rig.pickedPhoneFiles = archive;
        w.onCommand(CMainDlg::IDC_MENU);
        QVERIFY(loaded.wait(30000));
        QCOMPARE(w.rootItem()->text(0), QString("phone files: modern-phone.tar.gz (deep scan)"));
        QCOMPARE(counts(), phone);
        const QString reportFolder = rig.outputRoot() + "/report";
        QDir().mkpath(reportFolder);
        rig.pickedFolder = reportFolder;
        rig.menuChoices = {fennaro::ID_MENU_REPORT};
        w.onCommand(CMainDlg::IDC_MENU);
        QFile page(reportFolder + "/report.html");
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(page.readAll().contains("from modern-phone.tar.gz (SHA-256 "));
    }

    // Phone files opened from the connect screen's link: a source that
    // gives nothing shows the failure screen with what is wrong with it (and
    // Refresh reads it again); Stop while an archive is read takes every copy
    // back and looks for the phone again.
    void phoneFilesThatFailOrAreStopped() {
        WindowRig rig(WindowRig::smallPhone(), false);
        CMainDlg& w = rig.open(std::chrono::milliseconds(60000));
        QVERIFY(w.filesLink()->isVisible());
        const auto clickLink = [&w] {
            QTest::mouseClick(w.filesLink(), Qt::LeftButton, {},
                              w.filesLink()->LabelRect().center());
        };
        QSignalSpy acquired(&w, &CMainDlg::acquireFinished);
        rig.pickedPhoneFiles = rig.outputRoot() + "/absent.zip";
        clickLink();
        QVERIFY(acquired.wait(20000));
        QCOMPARE(w.screen(), 1);
        QCOMPARE(w.loadState(), 0);
        QVERIFY(shown(w, CMainDlg::IDC_REFRESH));
        QVERIFY(w.filesLink()->isVisible());
        QCOMPARE(w.rootItem()->text(0), QString("phone files: absent.zip (deep scan)"));
        QCOMPARE(w.failureText(), QString("Cannot open the phone's files in absent.zip:\n"
                                          "No such file or directory"));

        // A folder without the phone's databases; Refresh reads it again.
        const QString empty = rig.outputRoot() + "/empty";
        QDir().mkpath(empty + "/data/data");
        rig.pickedPhoneFiles = empty;
        clickLink();
        QVERIFY(acquired.wait(20000));
        QCOMPARE(w.loadState(), 0);
        const QString noDatabases = "Cannot open the phone's files in empty:\n"
                                    "no contacts2.db or mmssms.db in " +
                                    empty;
        QCOMPARE(w.failureText(), noDatabases);
        w.onCommand(CMainDlg::IDC_REFRESH);
        QVERIFY(acquired.wait(20000));
        QCOMPARE(w.loadState(), 0);
        QCOMPARE(w.failureText(), noDatabases);
        QVERIFY(!w.workerRunning());

        // A large archive is read on the loading screen: Stop alone is
        // offered; once the progress bar moved, Stop ends the reading.
        const QString filler = rig.outputRoot() + "/big/filler.bin";
        QDir().mkpath(rig.outputRoot() + "/big");
        QFile fill(filler);
        QVERIFY(fill.open(QIODevice::WriteOnly) && fill.resize(qint64(96) << 20));
        fill.close();
        const QString archive = rig.outputRoot() + "/big.tar";
        QProcess tar;
        tar.start("tar", {"-cf", archive, "-C", rig.outputRoot() + "/big", "filler.bin", "-C",
                          QStringLiteral(FENNARO_DEMO_BIN), "modern-phone"});
        if (!tar.waitForFinished(60000) || tar.exitCode() != 0)
            QSKIP("no tar to pack the demo phone");
        QFile::remove(filler);
        rig.pickedPhoneFiles = archive;
        QSignalSpy progress(w.progressBar(), &QProgressBar::valueChanged);
        clickLink();
        QCOMPARE(w.screen(), 2);
        QVERIFY(shown(w, CMainDlg::IDC_STOP));
        QVERIFY(!shown(w, CMainDlg::IDC_PAUSE));
        QVERIFY(!w.filesLink()->isVisible());
        QVERIFY(waitUntil([&] { return w.progressBar()->value() > 0 || !w.workerRunning(); }));
        w.onCommand(CMainDlg::IDC_PAUSE);
        QVERIFY(!shown(w, CMainDlg::IDC_CONTINUE));
        w.onCommand(CMainDlg::IDC_STOP);
        QVERIFY(acquired.wait(20000));
        QVERIFY(progress.count() > 0);
        QCOMPARE(w.screen(), 1);
        QCOMPARE(w.loadState(), -1);
        QVERIFY(!w.deepMode());
        QCOMPARE(w.rootItem()->text(0), QString("android phone"));
        QVERIFY(w.filesLink()->isVisible());
        QVERIFY(!fennaro::platform::fileExists(w.localCopies().localContactsDb));
        QVERIFY(!fennaro::platform::fileExists(w.localCopies().localSmsDb));
    }

    // Copies that are not databases, or cut short, end in empty categories
    // or in what could be read, never in a crash.
    void brokenCopies() {
        WindowRig rig;
        const QString phone = QString::fromStdString(rig.programFolder()) + "/demo-phone/";
        QFile contacts(phone + "contacts2.db");
        QVERIFY(contacts.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (int i = 0; i < 20000; ++i)
            contacts.write(QByteArray::number(i * 7919 % 65521));
        contacts.close();
        QFile sms(phone + "mmssms.db");
        QVERIFY(sms.resize(sms.size() / 3));
        rig.answers = {skin::CMsgBox::IDC_NO};
        CMainDlg& w = rig.open();
        QVERIFY(waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); }));
        QCOMPARE(w.tree()->GetItemText(w.contactsItem()), QString("Contacts"));
        QVERIFY(w.store().contactLists.contacts.empty());
        w.tree()->setCurrentItem(w.messageItem());
        rig.pickedFolder = rig.outputRoot();
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(waitUntil([&] { return !w.workerRunning(); }));
    }

    // Texts of any bytes show without holding the window up: a name of
    // 100,000 characters, invalid UTF-8, a body of nothing but line breaks.
    void oddTexts() {
        WindowRig rig;
        const std::string phone = rig.programFolder() + "/demo-phone/";
        const std::string longName(100000, 'N');
        for (const auto& [db, sql] : std::vector<std::pair<std::string, std::string>>{
                 {"contacts2.db", "UPDATE raw_contacts SET display_name = '" + longName +
                                      "' WHERE _id = (SELECT MIN(_id) FROM raw_contacts);"
                                      "UPDATE raw_contacts SET display_name = CAST(X'41FF80C3' "
                                      "AS TEXT) WHERE _id = (SELECT MAX(_id) FROM raw_contacts);"},
                 {"mmssms.db", "UPDATE sms SET body = char(10, 10, 13, 10, 10) WHERE _id = "
                               "(SELECT MIN(_id) FROM sms);"}}) {
            sqlite3* handle = nullptr;
            QCOMPARE(sqlite3_open((phone + db).c_str(), &handle), SQLITE_OK);
            QCOMPARE(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(handle);
        }
        CMainDlg& w = rig.open();
        QVERIFY(waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); }));
        skin::CListViewCheck1* list = w.recordList();
        bool sawLongName = false;
        for (int row = 0; row < list->GetItemCount(); ++row) {
            clickRow(list, row);
            sawLongName = sawLongName || list->GetItemText(row, 0).startsWith("NNNN");
        }
        QVERIFY(sawLongName);
        w.tree()->setCurrentItem(w.messageItem());
        for (int row = 0; row < list->GetItemCount(); ++row)
            clickRow(list, row);
        QVERIFY(!w.grab().isNull());
    }

    // Pause holds the loading worker until Continue; Stop ends it early.
    void pauseContinueStopLoading() {
        testdata::PhoneSpec spec = WindowRig::smallPhone();
        spec.contacts = 400;
        WindowRig rig(spec);
        CMainDlg& w = rig.open();
        // Pause at the first move of the progress bar: the worker waits for
        // the window there, so the pause is in place before its next record.
        bool paused = false;
        connect(w.progressBar(), &QProgressBar::valueChanged, &w, [&] {
            if (!paused) {
                paused = true;
                w.onCommand(CMainDlg::IDC_PAUSE);
            }
        });
        QVERIFY(waitUntil([&] { return paused; }));
        QVERIFY(shown(w, CMainDlg::IDC_CONTINUE) && !shown(w, CMainDlg::IDC_PAUSE));
        const int progress = w.progressBar()->value();
        QTest::qWait(300);
        QVERIFY(w.workerRunning());
        QCOMPARE(w.progressBar()->value(), progress);
        QVERIFY(w.store().loadedCount < w.store().totalCount);

        w.onCommand(CMainDlg::IDC_CONTINUE);
        QVERIFY(shown(w, CMainDlg::IDC_PAUSE) && !shown(w, CMainDlg::IDC_CONTINUE));
        QVERIFY(waitUntil([&] { return !w.workerRunning(); }));
        QCOMPARE(w.store().loadedCount, w.store().totalCount);

        // Stop while nothing runs changes nothing; Back then loads everything.
        w.onCommand(CMainDlg::IDC_STOP);
        QVERIFY(shown(w, CMainDlg::IDC_RECOVER));
        bool stopped = false;
        disconnect(w.progressBar(), nullptr, &w, nullptr);
        connect(w.progressBar(), &QProgressBar::valueChanged, &w, [&](int value) {
            if (!stopped && value > 0 && w.workerRunning()) {
                stopped = true;
                w.onCommand(CMainDlg::IDC_STOP);
            }
        });
        w.onCommand(CMainDlg::IDC_BACK);
        QVERIFY(waitUntil([&] { return stopped && !w.workerRunning() && w.screen() == 2; }));
        // Stopped during the contacts: only live contacts loaded so far, no
        // messages.
        QVERIFY(w.store().loadedCount < w.store().totalCount);
        QCOMPARE(w.tree()->GetItemText(w.messageItem()), QString("Message"));
        QVERIFY(shown(w, CMainDlg::IDC_BACK) && shown(w, CMainDlg::IDC_RECOVER));
    }

    // Pause and Stop during a Recover.
    void pauseAndStopExport() {
        testdata::PhoneSpec spec = WindowRig::smallPhone();
        spec.contacts = 400;
        WindowRig rig(spec);
        CMainDlg& w = rig.openLoaded();
        rig.pickedFolder = rig.outputRoot();
        bool paused = false;
        connect(w.progressBar(), &QProgressBar::valueChanged, &w, [&](int value) {
            if (!paused && value > 0 && w.workerRunning()) {
                paused = true;
                w.onCommand(CMainDlg::IDC_PAUSE);
            }
        });
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(waitUntil([&] { return paused; }));
        const int handled = w.store().loadedCount;
        QTest::qWait(300);
        QCOMPARE(w.store().loadedCount, handled);
        // Check marks stay usable while the export waits.
        clickRowBox(w.recordList(), 0);

        w.onCommand(CMainDlg::IDC_STOP);
        QVERIFY(waitUntil([&] { return !w.workerRunning(); }));
        QVERIFY2(rig.asked.last().text.startsWith(
                     QString("Recovering finished, %1 files have been recovered.").arg(handled)),
                 qPrintable(rig.asked.last().text));
        // Stopped during the contacts: no Message folder.
        const QStringList folders =
            QDir(onlyRunFolder(rig.outputRoot())).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(folders.size(), 1);
        QVERIFY(folders.first().startsWith("Contacts"));
    }

    // Closing in any state ends within moments, whatever runs, and leaves no
    // copy behind.
    void closeInEveryState() {
        enum class State { Connecting, Failed, LoadingPaused, Loaded, ExportPaused };
        for (State state : {State::Connecting, State::Failed, State::LoadingPaused, State::Loaded,
                            State::ExportPaused}) {
            WindowRig rig(WindowRig::smallPhone(), state != State::Failed);
            CMainDlg& w = rig.open(state == State::Connecting ? std::chrono::milliseconds(5000)
                                                              : std::chrono::milliseconds(0));
            bool paused = false;
            const auto pauseAtFirstStep = [&] {
                connect(w.progressBar(), &QProgressBar::valueChanged, &w, [&](int value) {
                    if (!paused && value > 0 && w.workerRunning()) {
                        paused = true;
                        w.onCommand(CMainDlg::IDC_PAUSE);
                    }
                });
            };
            if (state == State::LoadingPaused)
                pauseAtFirstStep();
            if (state == State::Failed)
                QVERIFY(waitUntil([&] { return w.loadState() == 0; }));
            if (state == State::Loaded || state == State::ExportPaused)
                QVERIFY(waitUntil([&] { return w.screen() == 2 && !w.workerRunning(); }));
            if (state == State::ExportPaused) {
                pauseAtFirstStep();
                rig.pickedFolder = rig.outputRoot();
                w.onCommand(CMainDlg::IDC_RECOVER);
            }
            if (state == State::LoadingPaused || state == State::ExportPaused)
                QVERIFY(waitUntil([&] { return paused; }));
            const fennaro::LocalDbPaths copies = w.localCopies();

            QElapsedTimer clock;
            clock.start();
            w.onCommand(CMainDlg::IDC_CLOSE);
            // Well below the acquisition's five-second pause: nothing is waited out.
            QVERIFY2(clock.elapsed() < 3000, "closing waited for a worker");
            QCOMPARE(w.result(), CMainDlg::kClosedByButton);
            QVERIFY(!w.isVisible());
            rig.destroyWindow();
            QVERIFY(!fennaro::platform::fileExists(copies.localContactsDb));
            QVERIFY(!fennaro::platform::fileExists(copies.localSmsDb));
        }
    }

    // The window system's close gives 0; Enter and Escape leave the window open.
    void keysAndSystemClose() {
        WindowRig rig(WindowRig::smallPhone(), false);
        CMainDlg& w = rig.open();
        QTest::keyClick(&w, Qt::Key_Escape);
        QTest::keyClick(&w, Qt::Key_Return);
        QTest::keyClick(&w, Qt::Key_Enter);
        QVERIFY(w.isVisible());
        QCOMPARE(w.size(), QSize(CMainDlg::kWidth, CMainDlg::kHeight));
        QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
        w.onCommand(CMainDlg::IDC_HOME);
        w.onCommand(CMainDlg::IDC_HELP);
        QCOMPARE(rig.openedUrls, QStringList({"https://www.quillmet.example/",
                                              "https://www.quillmet.example/support"}));
        w.close();
        QCOMPARE(w.result(), CMainDlg::kClosedBySystem);
    }

    // The menu's Home and Help open the pages, Update the download page, no
    // choice does nothing, and Exit closes like the window system (status 0).
    void mainMenu() {
        WindowRig rig;
        CMainDlg& w = rig.openLoaded();
        rig.menuChoices = {fennaro::ID_MENU_HOME, fennaro::ID_MENU_HELP, fennaro::ID_MENU_UPDATE,
                           0};
        for (int i = 0; i < 4; ++i)
            w.onCommand(CMainDlg::IDC_MENU);
        QCOMPARE(rig.openedUrls, QStringList({"https://www.quillmet.example/",
                                              "https://www.quillmet.example/support",
                                              "https://www.quillmet.example/download/"}));
        QVERIFY(w.isVisible());
        const fennaro::LocalDbPaths copies = w.localCopies();
        rig.menuChoices = {fennaro::ID_MENU_EXIT};
        w.onCommand(CMainDlg::IDC_MENU);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), CMainDlg::kClosedBySystem);
        QVERIFY(!fennaro::platform::fileExists(copies.localContactsDb));
    }

    // On a real window system the window is frameless, rounded and centred.
    void windowShape() {
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QSKIP("shapes need a window system; run under Xvfb");
        WindowRig rig(WindowRig::smallPhone(), false);
        CMainDlg& w = rig.open();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.size(), QSize(CMainDlg::kWidth, CMainDlg::kHeight));
        QVERIFY(!w.mask().isEmpty() && !w.mask().contains(QPoint(0, 0)));
        QVERIFY(w.mask().contains(QPoint(2, 2)));
        QVERIFY(w.mask().contains(QPoint(CMainDlg::kWidth - 1, CMainDlg::kHeight / 2)));
        const QRect screen = w.QWidget::screen()->availableGeometry();
        QVERIFY(qAbs(w.geometry().center().x() - screen.center().x()) <= 1);
        // A press on the background and a move drag the window along.
        const QPoint before = w.pos();
        QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(500, 400));
        QMouseEvent move(QEvent::MouseMove, QPointF(540, 420), w.mapToGlobal(QPointF(540, 420)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &move);
        QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(540, 420));
        QTRY_VERIFY(w.pos() != before);
        w.onCommand(CMainDlg::IDC_CLOSE);
    }

    // A second start ends at once with status 0 while the first runs; without
    // a window system the program ends with -1.
    void singleInstanceAndExitStatus() {
        QTemporaryDir runtime;
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("HOME", home.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(FENNARO_DEMO_WINDOW), {});
        QVERIFY(first.waitForStarted());
        QVERIFY(waitUntil([&] { return QFile::exists(runtime.filePath("Quillmet Fennaro")); }));
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(FENNARO_DEMO_WINDOW), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(10000));

        QProcessEnvironment bare = env;
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            bare.remove(name);
        QProcess headless;
        headless.setProcessEnvironment(bare);
        headless.start(QStringLiteral(FENNARO_DEMO_WINDOW), {});
        QVERIFY(headless.waitForFinished(10000));
        QCOMPARE(headless.exitCode(), 255);
    }

  private:
    QTemporaryDir m_config;
};

QTEST_MAIN(MainWindowTests)
#include "main_window_tests.moc"
