// The message board: bubble geometry for received and sent messages, wrapped
// bodies that always show whole, deleted SMS, scrolling, colours, odd texts,
// and that it lets go of the records when asked.
#include "board_records.h"
#include "board_test_support.h"
#include "skin_test_pictures.h"

#include "records/conversation_index.h"
#include "skin/bubble_frame.h"
#include "skin/font_pool.h"
#include "skin/image_path.h"
#include "views/msg_info_board.h"

#include <QScrollBar>
#include <QTemporaryDir>
#include <QtMath>
#include <QtTest>
#include <memory>

using namespace fennaro;
using skintest::Near;

namespace {

const QColor kInFrame(30, 60, 200);
const QColor kOutFrame(200, 60, 30);
const QColor kBackground(244, 247, 250);

// Compares a left/top/right/bottom rectangle with expected edges.
bool sameRect(const skin::SkinRect& r, int left, int top, int right, int bottom) {
    return r.left == left && r.top == top && r.right == right && r.bottom == bottom;
}

// Returns the width of a text on one line in the measuring font, rounded up.
int measuredWidth(const QString& text) {
    return qCeil(QFontMetricsF(skin::PoolFontOr(512)).horizontalAdvance(text));
}

// Tells whether the lines of an item cover its body without a gap: each line
// starts where the one before ended, or after one line break.
bool coversWholeBody(const CMsgInfoItem& item) {
    const QString& body = item.body;
    // Returns the length of the line break at pos: 2 for CR LF, 1, or 0.
    const auto breakAt = [&](int pos) {
        if (pos >= body.size())
            return 0;
        if (body[pos] == '\r')
            return pos + 1 < body.size() && body[pos + 1] == '\n' ? 2 : 1;
        return body[pos] == '\n' ? 1 : 0;
    };
    int end = 0;
    for (size_t i = 0; i < item.lines.size(); ++i) {
        const TextLine& line = item.lines[i];
        if (i > 0 && line.start != end && line.start != end + breakAt(end))
            return false;
        end = line.start + line.length;
    }
    return !item.lines.empty() && item.lines[0].start == 0 &&
           (end == body.size() || end + breakAt(end) == body.size());
}

} // namespace

class MsgBoardTests : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_window;
    CMsgInfoBoard* m_board = nullptr;
    int m_lineHeight = 0;

    // Shows a conversation and returns the board's picture.
    QImage show(const ThreadNode& thread) {
        m_board->showConversation(&thread);
        return m_board->grab().toImage();
    }

  private slots:
    void initTestCase() {
        skin::SetImageFolder(m_dir.path());
        // Solid frame pieces at their own sizes, one colour per kind.
        for (int kind : {skin::kBubbleReceived, skin::kBubbleSent})
            for (const skin::BubblePiece& piece : skin::BubblePieces(0, 0, 100, 100, kind))
                QVERIFY(skintest::WriteSolid(skin::MakeImagePath(piece.fileName),
                                             piece.source.size(),
                                             kind == skin::kBubbleReceived ? kInFrame : kOutFrame));
        skin::RegisterSkinFonts();
        m_lineHeight = QFontMetrics(skin::PoolFontOr(256)).height();
    }

    void init() {
        m_window = std::make_unique<QWidget>();
        m_window->resize(984, 674);
        m_board = new CMsgInfoBoard(m_window.get());
    }

    void receivedLeftSentRight() {
        QCOMPARE(m_board->geometry(), QRect(723, 34, 251, 575));
        test::BoardRecords r;
        const size_t thread = r.thread(3);
        r.thread(4);
        r.message(4, 1, "2023-01-01 00:00:00", "elsewhere");
        r.message(3, 1, "2023-05-01 09:14:03", "Hello");
        r.message(3, 2, "2023-05-01 09:15:40", "Hi");
        const ConversationIndex index(r.contacts, r.sms);
        m_board->setIndex(&index);
        const QImage shot = show(r.sms.threads[thread]);
        const std::vector<CMsgInfoItem>& items = m_board->items();
        QCOMPARE(items.size(), size_t(2));
        const int h = m_lineHeight;
        const CMsgInfoItem& in = items[0];
        const int tIn = measuredWidth("Hello");
        QCOMPARE(in.header, QString("2023-05-01 09:14:03"));
        QCOMPARE(in.kind, 1);
        QVERIFY(in.x == 10 && in.y == 30 && in.width == 215);
        QCOMPARE(in.textWidth, tIn);
        QVERIFY(sameRect(in.bubble, 0, 30, tIn + 30, h + 63));
        QCOMPARE(in.height, h + 63);
        const CMsgInfoItem& out = items[1];
        const int tOut = measuredWidth("Hi");
        QCOMPARE(out.kind, 2);
        QCOMPARE(out.y, 30 + in.height);
        QVERIFY(sameRect(out.bubble, 184 - tOut, 30, 215, 30 + h + 36));
        QCOMPARE(out.height, h + 66);
        QCOMPARE(m_board->contentHeight(), 30 + in.height + out.height);
        // The frames: received from the item's left edge, sent ending at 215.
        QVERIFY(Near(shot.pixelColor(10, 30 + 30 + 1), kInFrame));
        QVERIFY(Near(shot.pixelColor(9, 30 + 30 + 1), kBackground));
        QVERIFY(Near(shot.pixelColor(10 + 214, out.y + 30 + 5), kOutFrame));
        QVERIFY(Near(shot.pixelColor(10 + 215, out.y + 30 + 5), kBackground));
        QVERIFY(Near(shot.pixelColor(10 + 183 - tOut, out.y + 30 + 5), kBackground));
        // The fills, the date line, the board's background and its edge.
        const QRect inInner = in.innerRect().translated(in.x, in.y);
        const QRect outInner = out.innerRect().translated(out.x, out.y);
        QVERIFY(Near(shot.pixelColor(inInner.bottomRight()), QColor(216, 216, 216)));
        QVERIFY(Near(shot.pixelColor(outInner.bottomRight()), QColor(136, 193, 33)));
        QVERIFY(test::countPixels(shot, QRect(10, 30, 215, 30), test::isDark) > 0);
        QVERIFY(test::countPixels(shot, inInner, test::isDark) > 0);
        QVERIFY(Near(shot.pixelColor(5, 10), kBackground));
        QVERIFY(Near(shot.pixelColor(0, 300), QColor(200, 200, 200)));
        QVERIFY(Near(shot.pixelColor(120, 400), kBackground));
    }

    void wrappedBodiesShowEveryLine() {
        // A body about 400 pixels wide on one line takes the 160-pixel text
        // width and three lines.
        QString body;
        while (measuredWidth(body + "word ") <= 400)
            body += "word ";
        body += "word";
        QVERIFY(measuredWidth(body) > 320 + 40);
        // Words that each fill most of a line: the one-line width divided by
        // 160 promises far fewer lines than word wrapping needs.
        QString wide = "W";
        while (QFontMetricsF(skin::PoolFontOr(256)).horizontalAdvance(wide + "W") < 120)
            wide += "W";
        const QString sixWords = QStringList(6, wide).join(' ');
        QVERIFY(qCeil(measuredWidth(sixWords) / 160.0) < 6);
        test::BoardRecords r;
        const size_t thread = r.thread(1);
        r.message(1, 1, "d", body.toStdString());
        r.message(1, 2, "d", sixWords.toStdString());
        const ConversationIndex index(r.contacts, r.sms);
        m_board->setIndex(&index);
        const QImage shot = show(r.sms.threads[thread]);
        const std::vector<CMsgInfoItem>& items = m_board->items();
        QCOMPARE(items[0].textWidth, 160);
        QCOMPARE(int(items[0].lines.size()), 3);
        QCOMPARE(items[1].textWidth, 160);
        QCOMPARE(int(items[1].lines.size()), 6);
        const QFontMetricsF fm(skin::PoolFontOr(256));
        for (const CMsgInfoItem& item : items) {
            const QRect inner = item.innerRect();
            QCOMPARE(inner.height(), int(item.lines.size()) * m_lineHeight);
            QVERIFY(coversWholeBody(item));
            for (const TextLine& line : item.lines)
                QVERIFY(fm.horizontalAdvance(item.body.mid(line.start, line.length).trimmed()) <=
                        inner.width());
            // The last line is drawn inside the bubble.
            const QRect lastLine(inner.left() + item.x, inner.bottom() - m_lineHeight + 1 + item.y,
                                 inner.width(), m_lineHeight);
            QVERIFY(test::countPixels(shot, lastLine, test::isDark) > 0);
        }
    }

    void deletedSmsAndEmptyBodies() {
        test::BoardRecords r;
        const size_t whole = r.deletedSms("Bob\t555\tSecret\twith a tab");
        const size_t oneTab = r.deletedSms("Bob\t555");
        const size_t noTab = r.deletedSms("Secret");
        const size_t leadingTabs = r.deletedSms("\t\tX");
        QImage shot = show(r.sms.threads[whole]);
        QCOMPARE(m_board->items().size(), size_t(1));
        const CMsgInfoItem& item = m_board->items()[0];
        QCOMPARE(item.kind, 2);
        QVERIFY(item.header.isEmpty());
        QCOMPARE(item.body, QString("Secret\twith a tab"));
        QCOMPARE(test::countPixels(shot, QRect(10, 30, 215, 30), test::isDark), 0);
        for (size_t nothing : {oneTab, noTab}) {
            m_board->showConversation(&r.sms.threads[nothing]);
            QVERIFY(m_board->items().empty());
        }
        m_board->showConversation(&r.sms.threads[leadingTabs]);
        QCOMPARE(m_board->items()[0].body, QString("X"));
        QCOMPARE(addMessageItem(m_board, "h", "", 1), 0);
        QCOMPARE(addMessageItem(nullptr, "h", "body", 1), 0);
        QCOMPARE(addMessageItem(m_board, "h", "body", 7), 1); // any kind but 1 is sent
        QCOMPARE(m_board->items().back().kind, 2);
        // Null clears.
        m_board->showConversation(nullptr);
        QVERIFY(m_board->items().empty());
        QCOMPARE(m_board->scrollMaximum(), 0);
        shot = m_board->grab().toImage();
        QCOMPARE(test::countPixels(shot, QRect(10, 0, 215, 575), test::isDark), 0);
    }

    void scrollsInUnitsOfTenAndStartsAtTheTop() {
        test::BoardRecords r;
        const size_t longOne = r.thread(1);
        const size_t other = r.thread(2);
        for (int i = 0; i < 40; ++i)
            r.message(1, 1 + i % 2, "2023-05-01 10:00:00",
                      "A message of a few words " + std::to_string(i));
        r.message(2, 1, "2023-05-02 10:00:00", "Other");
        const ConversationIndex index(r.contacts, r.sms);
        m_board->setIndex(&index);
        m_board->showConversation(&r.sms.threads[longOne]);
        const int total = m_board->contentHeight();
        QCOMPARE(m_board->scrollMaximum(), (total - 575 + 9) / 10);
        QCOMPARE(m_board->verticalBar()->pageStep(), 57);
        test::turnWheel(*m_board, -120);
        QCOMPARE(m_board->scrollPosition(), 5);
        test::turnWheel(*m_board, 120);
        test::turnWheel(*m_board, 120);
        QCOMPARE(m_board->scrollPosition(), 0);
        // At the bottom the last bubble shows whole.
        QTest::keyClick(m_board, Qt::Key_End);
        QCOMPARE(m_board->scrollPosition(), m_board->scrollMaximum());
        const CMsgInfoItem& last = m_board->items().back();
        const int offset = m_board->scrollPosition() * 10;
        QVERIFY(last.y + last.height - offset <= 575);
        const QImage shot = m_board->grab().toImage();
        const QRect inner = last.innerRect().translated(last.x, last.y - offset);
        QVERIFY(Near(shot.pixelColor(inner.bottomRight()), QColor(136, 193, 33)));
        // Another conversation starts from the top.
        m_board->showConversation(&r.sms.threads[other]);
        QCOMPARE(m_board->scrollPosition(), 0);
        QCOMPARE(m_board->items().size(), size_t(1));
        QVERIFY(!m_board->verticalBar()->isEnabled());
    }

    void oddBodiesShowWhole() {
        std::string words;
        while (words.size() < 100000)
            words += "lorem ipsum ";
        test::BoardRecords r;
        const size_t thread = r.thread(1);
        r.message(1, 1, "d", words);
        r.message(1, 2, "d", std::string(100000, '\n'));
        r.message(1, 1, "d", "a\r\nb\rc\n");
        r.message(1, 1, "d", "bad \xff\xfe bytes");
        r.message(1, 2, "d",
                  "\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 \xd8\xa8\xd9\x83\xd9\x85 "
                  "\xd9\x81\xd9\x8a \xd8\xa7\xd9\x84\xd8\xb9\xd8\xa7\xd9\x84\xd9\x85 "
                  "\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 \xd8\xa8\xd9\x83\xd9\x85 "
                  "\xd9\x81\xd9\x8a \xd8\xa7\xd9\x84\xd8\xb9\xd8\xa7\xd9\x84\xd9\x85");
        r.message(1, 1, "d", "日本語のテキストはスペースなしで折り返されます。日本語のテキスト");
        const ConversationIndex index(r.contacts, r.sms);
        m_board->setIndex(&index);
        m_board->showConversation(&r.sms.threads[thread]);
        const std::vector<CMsgInfoItem>& items = m_board->items();
        QCOMPARE(items.size(), size_t(6));
        for (const CMsgInfoItem& item : items)
            QVERIFY(coversWholeBody(item));
        QCOMPARE(int(items[1].lines.size()), 100000);
        QCOMPARE(items[1].innerRect().height(), 100000 * m_lineHeight);
        QCOMPARE(int(items[2].lines.size()), 3); // CR LF one break; the final LF adds none
        QVERIFY(items[3].body.contains(QChar(0xFFFD)));
        const QFontMetricsF fm(skin::PoolFontOr(256));
        for (const CMsgInfoItem& item : {items[4], items[5]}) {
            QVERIFY(item.lines.size() > 1);
            for (const TextLine& line : item.lines)
                QVERIFY(fm.horizontalAdvance(item.body.mid(line.start, line.length).trimmed()) <=
                        item.innerRect().width() + 1);
        }
        // Painting anywhere in the tall conversation draws only what shows.
        for (int position : {m_board->scrollMaximum() / 3, m_board->scrollMaximum()}) {
            m_board->setScrollPosition(position);
            QVERIFY(!m_board->grab().isNull());
        }
    }

    void clearContentLetsGoOfTheRecords() {
        auto r = std::make_unique<test::BoardRecords>();
        const size_t thread = r->thread(1);
        for (int i = 0; i < 30; ++i)
            r->message(1, 1, "d", "body");
        auto index = std::make_unique<ConversationIndex>(r->contacts, r->sms);
        m_board->setIndex(index.get());
        m_board->showConversation(&r->sms.threads[thread]);
        m_board->setScrollPosition(10);
        m_board->clearContent();
        index.reset();
        r.reset();
        QVERIFY(m_board->items().empty());
        QCOMPARE(m_board->scrollPosition(), 0);
        QVERIFY(!m_board->grab().isNull());
    }

    void cleanup() {
        m_window.reset();
        m_board = nullptr;
    }
};

QTEST_MAIN(MsgBoardTests)
#include "msg_board_tests.moc"
