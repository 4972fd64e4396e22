// The contact board: what it shows for deleted and live contacts, how items
// stack and wrap, scrolling, its colours, odd texts, and that it lets go of
// the records when asked.
#include "board_records.h"
#include "board_test_support.h"
#include "skin_test_pictures.h"

#include "skin/font_pool.h"
#include "skin/image_path.h"
#include "views/contact_info_board.h"

#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace fennaro;
using skintest::Near;

namespace {

const QColor kPictureColor(255, 0, 255);

// Compares a left/top/right/bottom rectangle with expected edges.
bool sameRect(const skin::SkinRect& r, int left, int top, int right, int bottom) {
    return r.left == left && r.top == top && r.right == right && r.bottom == bottom;
}

} // namespace

class ContactBoardTests : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_window;
    CContactInfoBoard* m_board = nullptr;
    int m_lineHeight = 0;
    int m_right = 0; // the client's right edge, R

  private slots:
    void initTestCase() {
        skin::SetImageFolder(m_dir.path());
        QVERIFY(skintest::WriteSolid(skin::MakeImagePath("contactperson.png"), QSize(62, 62),
                                     kPictureColor));
        skin::RegisterSkinFonts();
        m_lineHeight = QFontMetrics(skin::PoolFontOr(256)).height();
    }

    void init() {
        m_window = std::make_unique<QWidget>();
        m_window->resize(984, 674);
        m_board = new CContactInfoBoard(m_window.get());
        m_right = m_board->clientRect().width();
    }

    void placeAndDeletedContacts() {
        QCOMPARE(m_board->geometry(), QRect(733, 34, 241, 575));
        QVERIFY(!m_board->isHidden());
        test::BoardRecords r;
        const size_t ann = r.deletedContact("Ann\t555");
        const size_t noTab = r.deletedContact("NoTab");
        const size_t empty = r.deletedContact("\t");
        m_board->showContact(&r.contacts.contacts[ann]);
        QCOMPARE(m_board->name(), QString("Ann"));
        QVERIFY(m_board->company().isEmpty());
        QCOMPARE(m_board->items().size(), size_t(1));
        const BoardItem& item = m_board->items()[0];
        QCOMPARE(item.label, QString("Mobile:"));
        QCOMPARE(item.value, QString("555"));
        const int h = m_lineHeight;
        QVERIFY(sameRect(item.labelRect, 5, 100, 95, 100 + h));
        QVERIFY(sameRect(item.valueRect, 100, 100, m_right - 5, 100 + h));
        // Null leaves the board as it is.
        m_board->showContact(nullptr);
        QCOMPARE(m_board->name(), QString("Ann"));
        // Without a TAB nothing is shown; a lone TAB gives an empty pair
        // that takes no room.
        m_board->showContact(&r.contacts.contacts[noTab]);
        QVERIFY(m_board->name().isEmpty());
        QVERIFY(m_board->items().empty());
        m_board->showContact(&r.contacts.contacts[empty]);
        QCOMPARE(m_board->items().size(), size_t(1));
        QCOMPARE(m_board->items()[0].valueRect.bottom, 100);
    }

    void liveContactFieldsInDataRowOrder() {
        test::BoardRecords r;
        const size_t ann = r.contact(1, "Ann");
        r.row(1, test::kPhoneMime, "111", "2");
        r.row(2, test::kPhoneMime, "not Ann's", "2");
        r.row(1, test::kEmailMime, "ann@example.org", "7");
        r.row(1, test::kOrganizationMime, "Acme", "1", "CEO", "Board");
        r.row(1, test::kNameMime, "Ann");
        r.row(1, test::kPhoneMime, "222", " 1");
        r.row(1, test::kPhoneMime, "333", "12");
        const ContactDataIndex index(r.contacts);
        m_board->setIndex(&index);
        m_board->showContact(&r.contacts.contacts[ann]);
        QCOMPARE(m_board->name(), QString("Ann"));
        QCOMPARE(m_board->company(), QString("Acme"));
        QCOMPARE(m_board->secondLine(), QString("CEO"));
        QCOMPARE(m_board->thirdLine(), QString("Board"));
        const std::vector<BoardItem>& items = m_board->items();
        const QStringList labels = {"Mobile", "Email", "Home", ""};
        const QStringList values = {"111", "ann@example.org", "222", "333"};
        QCOMPARE(items.size(), size_t(4));
        int top = 100;
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(items[size_t(i)].label, labels[i]);
            QCOMPARE(items[size_t(i)].value, values[i]);
            QCOMPARE(items[size_t(i)].labelRect.top, top);
            QCOMPARE(items[size_t(i)].valueRect.top, top);
            top = items[size_t(i)].valueRect.bottom;
        }
        QCOMPARE(top, 100 + 4 * m_lineHeight);
        // Without an index a live contact shows its name only.
        m_board->setIndex(nullptr);
        m_board->showContact(&r.contacts.contacts[ann]);
        QCOMPARE(m_board->name(), QString("Ann"));
        QVERIFY(m_board->items().empty());
    }

    void wrappedValuesPushTheNextItemDown() {
        test::BoardRecords r;
        const size_t ann = r.contact(1, "Ann");
        const std::string longValue = "0123456789 0123456789 0123456789 0123456789 0123456789";
        r.row(1, test::kPhoneMime, longValue, "2");
        r.row(1, test::kPhoneMime, "a\r\nb", "1");
        r.row(1, test::kPhoneMime, "999", "3");
        const ContactDataIndex index(r.contacts);
        m_board->setIndex(&index);
        m_board->showContact(&r.contacts.contacts[ann]);
        const std::vector<BoardItem>& items = m_board->items();
        QCOMPARE(items.size(), size_t(3));
        const BoardItem& wrapped = items[0];
        const int lines = int(wrapped.valueLines.size());
        QVERIFY(lines > 1);
        QCOMPARE(wrapped.valueRect.bottom - wrapped.valueRect.top, lines * m_lineHeight);
        QCOMPARE(wrapped.labelRect.bottom - wrapped.labelRect.top, m_lineHeight);
        // No character is lost, and no line runs past the value column.
        QString joined;
        for (const QString& line : wrapped.valueLines)
            joined += line;
        QCOMPARE(joined, QString::fromStdString(longValue));
        const QFontMetricsF fm(skin::PoolFontOr(256));
        for (const QString& line : wrapped.valueLines)
            QVERIFY(fm.horizontalAdvance(line) < wrapped.valueRect.right - wrapped.valueRect.left);
        // CR and LF each count a line; the pair shows as one break.
        const BoardItem& pair = items[1];
        QCOMPARE(pair.valueRect.top, wrapped.valueRect.bottom);
        QCOMPARE(pair.valueRect.bottom - pair.valueRect.top, 3 * m_lineHeight);
        QCOMPARE(pair.valueLines, std::vector<QString>({"a", "b"}));
        QCOMPARE(items[2].valueRect.top, pair.valueRect.bottom);
    }

    void longContactScrollsByBarWheelAndKeys() {
        test::BoardRecords r;
        const size_t many = r.contact(1, "Many");
        const size_t few = r.contact(2, "Few");
        for (int i = 0; i < 50; ++i)
            r.row(1, test::kPhoneMime, std::to_string(1000 + i), "2");
        r.row(2, test::kPhoneMime, "1", "2");
        const ContactDataIndex index(r.contacts);
        m_board->setIndex(&index);
        m_board->showContact(&r.contacts.contacts[many]);
        const std::vector<BoardItem>& items = m_board->items();
        QCOMPARE(items.size(), size_t(51));
        const int y = 100 + 50 * m_lineHeight;
        const BoardItem& spacer = items.back();
        QVERIFY(spacer.label.isEmpty() && spacer.value.isEmpty());
        QVERIFY(sameRect(spacer.labelRect, 10, y, 80, y + 15));
        QVERIFY(sameRect(spacer.valueRect, 85, y, m_right - 5, y + 15));
        QCOMPARE(m_board->scrollExtent(), y + 15);
        QCOMPARE(m_board->scrollMaximum(), y + 15 - 575);
        QVERIFY(m_board->verticalBar()->isEnabled());
        test::turnWheel(*m_board, -120);
        QCOMPARE(m_board->scrollPosition(), 10);
        test::turnWheel(*m_board, -120);
        test::turnWheel(*m_board, 120);
        QCOMPARE(m_board->scrollPosition(), 10);
        test::turnWheel(*m_board, -60); // half a notch waits for the other half
        QCOMPARE(m_board->scrollPosition(), 10);
        test::turnWheel(*m_board, -60);
        QCOMPARE(m_board->scrollPosition(), 20);
        QTest::keyClick(m_board, Qt::Key_End);
        QCOMPARE(m_board->scrollPosition(), m_board->scrollMaximum());
        test::turnWheel(*m_board, -120); // clamped at the bottom
        QCOMPARE(m_board->scrollPosition(), m_board->scrollMaximum());
        // Another contact starts at the top; a short one cannot scroll.
        m_board->showContact(&r.contacts.contacts[few]);
        QCOMPARE(m_board->scrollPosition(), 0);
        QCOMPARE(m_board->scrollMaximum(), 0);
        QCOMPARE(m_board->scrollExtent(), 100 + m_lineHeight);
        QVERIFY(!m_board->verticalBar()->isEnabled());
        // A left click takes the focus, so the wheel and keys reach the board.
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        QTest::mouseClick(m_board, Qt::LeftButton, {}, QPoint(100, 300));
        QTRY_VERIFY(m_board->hasFocus());
    }

    void colorsAndPictureFollowTheScroll() {
        test::BoardRecords r;
        const size_t ann = r.contact(1, "Ann");
        for (int i = 0; i < 60; ++i)
            r.row(1, test::kPhoneMime, "555", "2");
        const ContactDataIndex index(r.contacts);
        m_board->setIndex(&index);
        m_board->showContact(&r.contacts.contacts[ann]);
        QImage shot = m_board->grab().toImage();
        QVERIFY(Near(shot.pixelColor(150, 60), QColor(240, 245, 255)));
        QVERIFY(Near(shot.pixelColor(0, 300), QColor(200, 200, 200)));
        QVERIFY(Near(shot.pixelColor(50, 81), kPictureColor));
        QVERIFY(Near(shot.pixelColor(50, 83), QColor(240, 245, 255)));
        const QRect name = m_board->nameRect();
        QCOMPARE(name.left(), 35 + 62);
        QVERIFY(test::countPixels(shot, name, [](const QColor& c) {
                    return Near(c, QColor(100, 100, 240), 40);
                }) > 0);
        m_board->setScrollPosition(10);
        shot = m_board->grab().toImage();
        QVERIFY(Near(shot.pixelColor(50, 71), kPictureColor));
        QVERIFY(Near(shot.pixelColor(50, 73), QColor(240, 245, 255)));
        QVERIFY(Near(shot.pixelColor(0, 300), QColor(200, 200, 200)));
    }

    void oddTextsShowWithoutHanging() {
        test::BoardRecords r;
        const std::string longName(10000, 'W');
        const size_t badBytes = r.contact(1, "A\xff"
                                             "B");
        const size_t longNamed = r.contact(2, longName);
        std::string words;
        while (words.size() < 100000)
            words += "lorem ipsum ";
        r.row(2, test::kPhoneMime, words, "2");
        r.row(2, test::kPhoneMime, std::string(10000, '\n'), "1");
        const ContactDataIndex index(r.contacts);
        m_board->setIndex(&index);
        m_board->showContact(&r.contacts.contacts[badBytes]);
        QCOMPARE(m_board->name(), QString("A\uFFFDB"));
        m_board->showContact(&r.contacts.contacts[longNamed]);
        const std::vector<BoardItem>& items = m_board->items();
        QCOMPARE(items.size(), size_t(3)); // two values and the spacer
        int shownCharacters = 0;
        for (const QString& line : items[0].valueLines)
            shownCharacters += int(line.size());
        QCOMPARE(shownCharacters, int(words.size()));
        QCOMPARE(items[1].valueRect.bottom - items[1].valueRect.top, 10000 * m_lineHeight);
        QImage shot = m_board->grab().toImage();
        // The long name ends with an ellipsis inside its rectangle.
        const QRect name = m_board->nameRect();
        const auto nameColored = [](const QColor& c) { return Near(c, QColor(100, 100, 240), 60); };
        QVERIFY(test::countPixels(shot, name, nameColored) > 0);
        QCOMPARE(test::countPixels(shot, QRect(name.right() + 1, 0, 50, 60), nameColored), 0);
        m_board->setScrollPosition(m_board->scrollMaximum());
        shot = m_board->grab().toImage();
        QVERIFY(Near(shot.pixelColor(150, 300), QColor(240, 245, 255)));
    }

    void clearContentLetsGoOfTheRecords() {
        auto r = std::make_unique<test::BoardRecords>();
        const size_t ann = r->contact(1, "Ann");
        for (int i = 0; i < 60; ++i)
            r->row(1, test::kPhoneMime, "555", "2");
        auto index = std::make_unique<ContactDataIndex>(r->contacts);
        m_board->setIndex(index.get());
        m_board->showContact(&r->contacts.contacts[ann]);
        m_board->setScrollPosition(30);
        m_board->clearContent();
        index.reset();
        r.reset();
        QVERIFY(m_board->name().isEmpty());
        QVERIFY(m_board->items().empty());
        QCOMPARE(m_board->scrollPosition(), 0);
        QVERIFY(!m_board->grab().isNull());
        // The index went with the records: a new store's contact shows only
        // its name until the window hands over the new index.
        test::BoardRecords fresh;
        const size_t bob = fresh.contact(1, "Bob");
        fresh.row(1, test::kPhoneMime, "777", "2");
        m_board->showContact(&fresh.contacts.contacts[bob]);
        QCOMPARE(m_board->name(), QString("Bob"));
        QVERIFY(m_board->items().empty());
    }

    void cleanup() {
        m_window.reset();
        m_board = nullptr;
    }
};

QTEST_MAIN(ContactBoardTests)
#include "contact_board_tests.moc"
