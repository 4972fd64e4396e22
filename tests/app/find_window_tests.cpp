// The data screen's search driven as a user drives it: typing filters the
// rows of the category shown and counts them, the board marks the text and
// F3 / Shift+F3 step through its messages, Escape brings every row back, and
// Recover after filtering writes every checked record, hidden ones included.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <map>

#include "skin/image_path.h"
#include "skin/list_view_check1.h"
#include "skin/msg_box.h"
#include "skin/tree_view_ex1.h"
#include "views/find_bar.h"
#include "views/msg_info_board.h"
#include "window_rig.h"

using apptest::waitUntil;
using apptest::WindowRig;
using fennaro::CMainDlg;

namespace {

// Returns a word of at least five letters that stands in two or more
// messages of the live conversation, or "" when there is none.
QString repeatedWord(const fennaro::RecordStore& store, int32_t conversationId) {
    std::map<QString, int> seen;
    for (const fennaro::MessageNode& message : store.smsLists.messages) {
        if (message.conversationId != conversationId)
            continue;
        std::set<QString> words;
        for (const QString& word : QString::fromUtf8(message.body).split(' '))
            if (word.size() >= 5 && std::all_of(word.begin(), word.end(), [](QChar c) {
                    return c.isLetter() && c.unicode() < 128;
                }))
                words.insert(word.toLower());
        for (const QString& word : words)
            if (++seen[word] >= 2)
                return word;
    }
    return {};
}

// Clicks a row's check box.
void clickRowBox(skin::CListViewCheck1* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->CheckBoxRect(row).center());
}

} // namespace

class FindWindowTests : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { skin::SetImageFolder(QStringLiteral(FENNARO_IMAGE_DIR)); }

    void filterStepClearAndRecover() {
        WindowRig rig;
        CMainDlg& w = rig.openLoaded();
        QVERIFY(w.screen() == 2);
        const fennaro::RecordStore& store = w.store();
        const int contacts = int(store.contactLists.contacts.size() + store.deletedContacts.size());
        const int messages = int(store.smsLists.threads.size() + store.deletedSms.size());
        fennaro::FindBar* bar = w.findBar();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->countText(), QString());

        w.tree()->setCurrentItem(w.messageItem());
        skin::CListViewCheck1* list = w.recordList();
        const int total = list->GetItemCount();
        const fennaro::ThreadNode* thread = nullptr;
        QString word;
        for (int row = 0; row < total && word.isEmpty(); ++row) {
            if (list->IsRowDeleted(row))
                continue;
            thread = static_cast<const fennaro::ThreadNode*>(list->GetItemData(row));
            word = repeatedWord(store, thread->conversationId);
        }
        QVERIFY(!word.isEmpty());

        // Typing (in capitals) filters the rows and counts them; the first
        // match of the first row found is the board's current match.
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->field()->hasFocus());
        QTest::keyClicks(bar->field(), word.toUpper());
        QVERIFY(bar->field()->hasFocus());
        const int shown = list->GetItemCount();
        QVERIFY(shown > 0 && shown <= total);
        QCOMPARE(bar->countText(), QString("%1 of %2").arg(shown).arg(total));
        bool threadShown = false;
        for (int row = 0; row < shown; ++row)
            threadShown = threadShown || list->GetItemData(row) == thread;
        QVERIFY(threadShown);

        // F3 steps through the messages holding the word, then on to the
        // next row; Shift+F3 steps back.
        for (int step = 0; step < 10000 && list->GetItemData(list->GetSelectedRow()) != thread;
             ++step)
            QTest::keyClick(&w, Qt::Key_F3);
        fennaro::CMsgInfoBoard* board = w.messageBoard();
        const auto current = [&] { return board->items()[size_t(board->currentMatch())].body; };
        QVERIFY(board->currentMatch() >= 0);
        QVERIFY(current().contains(word, Qt::CaseInsensitive));
        const int first = board->currentMatch();
        QTest::keyClick(&w, Qt::Key_F3);
        QCOMPARE(list->GetItemData(list->GetSelectedRow()), static_cast<const void*>(thread));
        QVERIFY(board->currentMatch() > first);
        QVERIFY(current().contains(word, Qt::CaseInsensitive));
        QVERIFY(board->scrollPosition() * 10 <= board->items()[size_t(board->currentMatch())].y);
        QTest::keyClick(&w, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(board->currentMatch(), first);

        // Escape brings every row back and empties the count.
        QTest::keyClick(&w, Qt::Key_Escape);
        QCOMPARE(bar->text(), QString());
        QCOMPARE(bar->countText(), QString());
        QCOMPARE(list->GetItemCount(), total);

        // A row unchecked while filtered: Recover writes every other record,
        // the hidden ones included, and filtering again never unchecked them.
        bar->field()->setFocus();
        QTest::keyClicks(bar->field(), word);
        QCOMPARE(list->GetItemCount(), shown);
        clickRowBox(list, 0);
        QCOMPARE(list->GetStateImage(0), 1);
        QTest::keyClicks(bar->field(), "x");
        QTest::keyClick(bar->field(), Qt::Key_Backspace);
        QCOMPARE(list->GetStateImage(0), 1);
        rig.pickedFolder = rig.outputRoot() + "/filtered";
        QDir().mkpath(*rig.pickedFolder);
        QSignalSpy exported(&w, &CMainDlg::exportFinished);
        w.onCommand(CMainDlg::IDC_RECOVER);
        QVERIFY(exported.wait(20000) || exported.count() == 1);
        QCOMPARE(rig.asked.last().kind, skin::CMsgBox::kRight);
        QVERIFY(rig.asked.last().text.startsWith(
            QString("Recovering finished, %1 files have been recovered.")
                .arg(contacts + messages - 1)));
    }
};

QTEST_MAIN(FindWindowTests)
#include "find_window_tests.moc"
