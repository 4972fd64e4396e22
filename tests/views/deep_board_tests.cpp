// Deep mode's views on a hand-made phone: deleted messages among the live
// ones of their conversation (order, sides, the red edge and the trash
// mark, undated ones last), a deleted contact with many kinds of field and
// a live contact with a deleted field on the contact board, the list rows,
// and emoji drawn in colour.
#include "board_test_support.h"
#include "skin_test_pictures.h"

#include "phone/conversation_join.h"
#include "skin/bubble_frame.h"
#include "skin/font_pool.h"
#include "skin/image_path.h"
#include "views/board_colors.h"
#include "views/contact_info_board.h"
#include "views/msg_info_board.h"
#include "views/record_rows.h"

#include <QFontDatabase>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace fennaro;

namespace {

const QColor kFrame(30, 60, 200);
const QColor kMark(0, 200, 0);

// A phone: Ann (number 18950061093) with a live conversation, Bob with a
// deleted e-mail address, and deleted messages of every kind of home.
struct DeepPhone {
    RecordStore store;

    DeepPhone() {
        ContactLists& contacts = store.contactLists;
        contacts.mimeTypes = {{5, "vnd.android.cursor.item/phone_v2"}};
        contacts.contacts = {{1, 1, 1, 0, "Ann", 40}, {2, 1, 2, 0, "Bob", 40}};
        contacts.dataRows = {{5, 1, "189 5006 1093", "2", {}, {}}, {5, 2, "5550102", "2", {}, {}}};
        store.smsLists.threads = {{10, 1, 0, {}}};
        store.smsLists.messages = {
            {10, "18950061093", 1, "2017-07-14 02:40:00", 1, "live in", 1500000000000},
            {10, "18950061093", 1, "2017-07-14 02:46:40", 2, "live out", 1500000400000}};
        deep::DeepRecordSet& deep = store.deep;
        deep.messages = {message(10, "18950061093", 1500000200000, 2, "deleted out"),
                         message(99, "+8618950061093", 1499999000000, 1, "by number 😀"),
                         message(10, "", std::nullopt, 1, "undated"),
                         message(77, "10086", 1500000500000, 1, "in a thread that is gone")};
        deep.contacts.resize(2);
        deep.contacts[0].rawContactId = 2;
        deep.contacts[0].fields = {field(deep::FieldKind::Email, "Work Email", "bob@x.example")};
        deep.contacts[1].rawContactId = 40;
        deep.contacts[1].name = "Gone Guy";
        deep.contacts[1].fields = {field(deep::FieldKind::Name, "Name", "Gone Guy"),
                                   field(deep::FieldKind::Phone, "Mobile", "5550199"),
                                   field(deep::FieldKind::Email, "Home Email", "guy@x.example"),
                                   field(deep::FieldKind::Organization, "Company", "Acme"),
                                   field(deep::FieldKind::Address, "Address", "1 Main St"),
                                   field(deep::FieldKind::Website, "Website", "guy.example"),
                                   field(deep::FieldKind::Birthday, "Birthday", "1974-01-28"),
                                   field(deep::FieldKind::Note, "Note", "call after six")};
        deep::assembleDeepRecords(deep, contacts, store.smsLists);
    }

    static deep::DeletedMessage message(std::optional<int64_t> thread, std::string address,
                                        std::optional<int64_t> date, int64_t type,
                                        std::string body) {
        deep::DeletedMessage m;
        m.threadId = thread;
        m.address = std::move(address);
        m.date = date;
        m.type = type;
        m.body = std::move(body);
        return m;
    }
    static deep::ContactField field(deep::FieldKind kind, std::string label, std::string value) {
        deep::ContactField f;
        f.kind = kind;
        f.label = std::move(label);
        f.value = std::move(value);
        return f;
    }
};

// Tells whether a pixel is the deleted edge's red.
bool isDeletedRed(const QColor& c) {
    return c.red() > 180 && c.green() < 40 && c.blue() < 40;
}

} // namespace

class DeepBoardTests : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_window;

  private slots:
    void initTestCase() {
        skin::SetImageFolder(m_dir.path());
        for (int kind : {skin::kBubbleReceived, skin::kBubbleSent})
            for (const skin::BubblePiece& piece : skin::BubblePieces(0, 0, 100, 100, kind))
                QVERIFY(skintest::WriteSolid(skin::MakeImagePath(piece.fileName),
                                             piece.source.size(), kFrame));
        QVERIFY(skintest::WriteSolid(skin::MakeImagePath(QStringLiteral("deleted.png")),
                                     QSize(12, 12), kMark));
        skin::RegisterSkinFonts();
    }

    void init() {
        m_window = std::make_unique<QWidget>();
        m_window->resize(984, 674);
    }

    void deletedMessagesStandAmongTheLiveOnes() {
        DeepPhone phone;
        const auto& conversations = phone.store.deep.conversations;
        QCOMPARE(conversations.size(), size_t(2));
        // The gone thread's conversation comes first, then Ann's live one
        // with deleted messages.
        const deep::DeepConversation& ann = conversations[1];
        const deep::DeepConversation& gone = conversations[0];
        auto* board = new CMsgInfoBoard(m_window.get());
        board->showDeepConversation(&ann);
        const std::vector<CMsgInfoItem>& items = board->items();
        QCOMPARE(items.size(), size_t(5));
        // Date order, the undated one last; sides by type; deleted marked.
        const QStringList bodies = {"by number 😀", "live in", "deleted out", "live out", "undated"};
        const QList<int> kinds = {1, 1, 2, 2, 1};
        const QList<bool> deleted = {true, false, true, false, true};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(items[size_t(i)].body, bodies[i]);
            QCOMPARE(items[size_t(i)].kind, kinds[i]);
            QCOMPARE(items[size_t(i)].deleted, deleted[i]);
        }
        QCOMPARE(items[4].header, QString("(no date)"));
        QVERIFY(!items[0].header.isEmpty());

        // The red edge and the trash mark show at deleted bubbles only.
        const QImage shot = board->grab().toImage();
        const auto around = [&](const CMsgInfoItem& item) {
            return QRect(item.x + item.bubble.left - 20, item.y + item.bubble.top - 2,
                         item.bubble.right - item.bubble.left + 40,
                         item.bubble.bottom - item.bubble.top + 4);
        };
        const auto isMark = [](const QColor& c) { return skintest::Near(c, kMark); };
        for (size_t i = 0; i < 4; ++i) {
            const int red = test::countPixels(shot, around(items[i]), isDeletedRed);
            const int marks = test::countPixels(shot, around(items[i]), isMark);
            QVERIFY2(items[i].deleted ? red > 20 && marks > 50 : red == 0 && marks == 0,
                     qPrintable(QString("item %1: %2 red, %3 mark").arg(i).arg(red).arg(marks)));
        }

        // A thread that is gone: a conversation of its own, named by number.
        QCOMPARE(gone.thread, nullptr);
        QCOMPARE(QString::fromStdString(gone.name), QString("10086"));
    }

    void deletedContactShowsEveryField() {
        DeepPhone phone;
        const auto& rows = phone.store.deep.contactRows;
        QCOMPARE(rows.size(), size_t(3));
        const ContactDataIndex index(phone.store.contactLists);
        auto* board = new CContactInfoBoard(m_window.get());
        board->setIndex(&index);
        board->showDeepContact(&rows[2]);
        QVERIFY(board->deletedContact());
        QCOMPARE(board->name(), QString("Gone Guy"));
        QCOMPARE(board->company(), QString("Acme"));
        QStringList shown;
        for (const BoardItem& item : board->items()) {
            if (!item.label.isEmpty() || !item.value.isEmpty())
                shown << item.label + "=" + item.value + (item.deleted ? "*" : "");
        }
        QCOMPARE(shown, QStringList({"Mobile=5550199*", "Home Email=guy@x.example*",
                                     "Company=Acme*", "Address=1 Main St*", "Website=guy.example*",
                                     "Birthday=1974-01-28*", "Note=call after six*"}));

        // A live contact's deleted field follows its live ones, marked.
        board->showDeepContact(&rows[1]);
        QVERIFY(!board->deletedContact());
        QCOMPARE(board->name(), QString("Bob"));
        shown.clear();
        for (const BoardItem& item : board->items()) {
            if (!item.label.isEmpty() || !item.value.isEmpty())
                shown << item.label + "=" + item.value + (item.deleted ? "*" : "");
        }
        QCOMPARE(shown, QStringList({"Mobile=5550102", "Work Email=bob@x.example*"}));
    }

    void listRowsOfDeepMode() {
        DeepPhone phone;
        const ContactDataIndex index(phone.store.contactLists);
        const std::vector<RecordRow> contacts = makeContactRows(phone.store, index);
        QCOMPARE(contacts.size(), size_t(3));
        // The deleted contact first: one row with name, phone, company, e-mail.
        QCOMPARE(contacts[0].cells, QStringList({"Gone Guy", "5550199", "Acme", "guy@x.example"}));
        QCOMPARE(contacts[0].record, static_cast<void*>(&phone.store.deep.contactRows[2]));
        // Then Bob, live with a deleted field, then Ann, live.
        QCOMPARE(contacts[1].cells[0], QString("Bob"));
        QCOMPARE(contacts[2].cells[0], QString("Ann"));
        const ConversationIndex conversations(phone.store.contactLists, phone.store.smsLists);
        const std::vector<RecordRow> messages = makeMessageRows(phone.store, conversations);
        QCOMPARE(messages.size(), size_t(2));
        QCOMPARE(messages[0].cells, QStringList({"10086", "10086"}));
        QCOMPARE(messages[1].cells, QStringList({"Ann", "18950061093"}));
    }

    void emojiAreDrawnInColour() {
        if (!QFontDatabase::families().contains(QString::fromLatin1(skin::kColorEmojiFamily)))
            QSKIP("the colour emoji font (fonts-noto-color-emoji) is not installed");
        auto* board = new CMsgInfoBoard(m_window.get());
        QVERIFY(addMessageItem(board, "2017-07-14 02:40:00", "😀😀😀", kMsgKindReceived) == 1);
        board->update();
        const QImage shot = board->grab().toImage();
        const CMsgInfoItem& item = board->items().front();
        const QRect inner = item.innerRect().translated(item.x, item.y);
        // Yellow faces: strongly coloured pixels that are neither the frame
        // nor the bubble's fill nor text grey.
        const int coloured = test::countPixels(shot, inner, [](const QColor& c) {
            return c.saturation() > 120 && c.red() > 180 && c.green() > 120 && c.blue() < 120;
        });
        QVERIFY2(coloured > 30, qPrintable(QString("%1 coloured pixels").arg(coloured)));
    }

    // Bodies full of emoji are measured from cached advances, not laid out
    // by the text engine: every line must still fit its bubble, no line may
    // split a surrogate pair, and the lines must cover the whole body.
    void emojiBodiesWrapWholeAndFit() {
        auto* board = new CMsgInfoBoard(m_window.get());
        const QStringList bodies = {
            "😀😂🎉🙏❤️🚗 party at eight 😀 see you there "
            "🎉🎉🎉🎉🎉🎉🎉🎉🎉🎉🎉🎉🎉🎉",
            "family 👨‍👩‍👧 flags 🇨🇳🇩🇪🇫🇷 hands 👋🏻👋🏿 "
            "hearts "
            "❤️❤️❤️❤️❤️❤️❤️❤️❤️❤️❤️",
            QString(40, QChar(0x2764)) + "️", "😀" + QString(60, 'x') + "😀"};
        for (const QString& body : bodies)
            QVERIFY(addMessageItem(board, "2017-07-14 02:40:00", body.toStdString(),
                                   kMsgKindSent) == 1);
        const QFontMetricsF drawing(board->itemFonts().drawing.font());
        for (const CMsgInfoItem& item : board->items()) {
            int covered = 0;
            for (const TextLine& line : item.lines) {
                QVERIFY2(!item.body[line.start].isLowSurrogate(), qPrintable(item.body));
                QVERIFY(line.start >= covered);
                covered = line.start + line.length;
                const qreal width = drawing.horizontalAdvance(shownLineText(item.body, line));
                QVERIFY2(width <= item.innerRect().width() + 1,
                         qPrintable(QString("%1 px in %2: %3")
                                        .arg(width)
                                        .arg(item.innerRect().width())
                                        .arg(shownLineText(item.body, line))));
            }
            QCOMPARE(covered, int(item.body.size()));
        }
    }

    void cleanup() { m_window.reset(); }
};

QTEST_MAIN(DeepBoardTests)
#include "deep_board_tests.moc"
