// Check-box list and header: the box hit rectangle, toggling, the check-all
// box, checking all from the header, sorting, and deleted rows.
#include "skin/image_path.h"
#include "skin/list_view_check1.h"
#include "skin/skin_messages.h"
#include "skin_test_pictures.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace skin;
using skintest::Near;

namespace {

// A stand-in for a record: only the deleted flag matters to the list.
struct FakeRecord {
    bool deleted = false;
};

} // namespace

class ListViewTests : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::unique_ptr<QWidget> parent_;
    CListViewCheck1* list_ = nullptr;
    FakeRecord records_[3];

    // Returns the centre of a row's check box.
    QPoint BoxCentre(int row) { return list_->CheckBoxRect(row).center(); }

    // Counts strongly red pixels inside a rectangle of a grabbed viewport.
    int RedPixels(const QImage& img, const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 90 && c.blue() < 90)
                    ++n;
            }
        return n;
    }

  private slots:
    void initTestCase() {
        SetImageFolder(dir_.path());
        QVERIFY(skintest::WriteStrip(MakeImagePath("checkbox.png"), QSize(12, 12),
                                     {Qt::gray, Qt::cyan, Qt::darkGreen, Qt::magenta}));
        QVERIFY(skintest::WriteSolid(MakeImagePath("deleted.png"), QSize(10, 10), Qt::darkBlue));
        QVERIFY(skintest::WriteSolid(MakeImagePath("list_hearder.bmp"), QSize(4, 30),
                                     QColor(230, 230, 230)));
        QVERIFY(skintest::WriteSolid(MakeImagePath("inc.png"), QSize(8, 8), Qt::black));
        QVERIFY(skintest::WriteSolid(MakeImagePath("dec.png"), QSize(8, 8), Qt::black));
    }

    void init() {
        parent_ = std::make_unique<QWidget>();
        parent_->resize(600, 400);
        list_ = new CListViewCheck1();
        list_->SetRowHeight(30);
        QVERIFY(list_->Create(parent_.get(), QRect(0, 0, 500, 300), 1004));
        list_->Init();
        list_->InsertColumn(0, "Name", 150);
        list_->InsertColumn(1, "Phone", 170);
        const char* names[] = {"bob", "ann", "cid"};
        for (int i = 0; i < 3; ++i) {
            records_[i] = FakeRecord{};
            const int row = list_->InsertItem(i, names[i]);
            list_->SetItemText(row, 1, QString::number(100 + i));
            list_->SetItem(row, 0, CListViewCheck1::LVIF_PARAM, QString(), &records_[i]);
            list_->SetCheckState(row, false);
        }
        parent_->show();
        QVERIFY(QTest::qWaitForWindowExposed(parent_.get()));
    }

    void cleanup() { parent_.reset(); }

    void clickOnBoxTogglesAndLeavesSelection() {
        const QRect box = list_->CheckBoxRect(1);
        const QRect row = list_->visualRect(list_->model()->index(1, 0));
        QCOMPARE(box, QRect(5, row.top() + (30 - 12) / 2, 12, 12));
        QSignalSpy spy(list_, &CListViewCheck1::listItemCheck);
        QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, BoxCentre(1));
        QCOMPARE(list_->GetStateImage(1), kStateChecked);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0), (QList<QVariant>{1, 1}));
        QCOMPARE(list_->GetSelectedRow(), -1);
        QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, BoxCentre(1));
        QCOMPARE(list_->GetStateImage(1), kStateUnchecked);
        QCOMPARE(spy.at(1), (QList<QVariant>{1, 0}));
        // Just outside the box: the row is selected and the mark stays.
        QTest::mouseClick(list_->viewport(), Qt::LeftButton, {},
                          QPoint(box.right() + 3, box.center().y()));
        QCOMPARE(list_->GetSelectedRow(), 1);
        QCOMPARE(list_->GetStateImage(1), kStateUnchecked);
        QCOMPARE(spy.count(), 2);
    }

    void checkAllBoxFollowsTheRows() {
        CHeaderCtrlCheck* header = list_->Header();
        for (int row = 0; row < 3; ++row) {
            QVERIFY(!header->IsCheckAll());
            QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, BoxCentre(row));
        }
        QVERIFY(header->IsCheckAll());
        QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, BoxCentre(2));
        QVERIFY(!header->IsCheckAll());
    }

    void headerCheckAllChecksEveryRowWithOneMessageEach() {
        QSignalSpy spy(list_, &CListViewCheck1::listItemCheck);
        QTest::mouseClick(list_->Header()->CheckAllBox(), Qt::LeftButton);
        QVERIFY(list_->Header()->IsCheckAll());
        QCOMPARE(spy.count(), 3);
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(spy.at(row), (QList<QVariant>{row, 1}));
            QCOMPARE(list_->GetStateImage(row), kStateChecked);
        }
        spy.clear();
        list_->OnHeaderCheckAll(7); // anything but 1 unchecks
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.at(2), (QList<QVariant>{2, 0}));
        QCOMPARE(list_->GetStateImage(0), kStateUnchecked);
        list_->DeleteAllItems();
        spy.clear();
        list_->OnHeaderCheckAll(1);
        QCOMPARE(spy.count(), 0);
    }

    void columnClicksSortAscendingThenDescending() {
        list_->SetCheckState(0, true); // "bob" travels with its mark and record
        const QPoint phoneHeader(list_->Header()->sectionViewportPosition(1) + 40, 15);
        QTest::mouseClick(list_->Header()->viewport(), Qt::LeftButton, {},
                          QPoint(list_->Header()->sectionViewportPosition(0) + 75, 15));
        QCOMPARE(list_->Header()->SortColumn(), 0);
        QCOMPARE(list_->Header()->Ascending(), 1);
        QCOMPARE(list_->GetItemText(0, 0), QString("ann"));
        QCOMPARE(list_->GetItemText(1, 0), QString("bob"));
        QCOMPARE(list_->GetItemText(2, 0), QString("cid"));
        QCOMPARE(list_->GetStateImage(1), kStateChecked);
        QCOMPARE(list_->GetItemData(1), static_cast<void*>(&records_[0]));
        list_->OnColumnClick(0);
        QCOMPARE(list_->Header()->Ascending(), 0);
        QCOMPARE(list_->GetItemText(0, 0), QString("cid"));
        QCOMPARE(list_->GetItemText(2, 0), QString("ann"));
        QTest::mouseClick(list_->Header()->viewport(), Qt::LeftButton, {}, phoneHeader);
        QCOMPARE(list_->Header()->SortColumn(), 1);
        QCOMPARE(list_->Header()->Ascending(), 1);
        QCOMPARE(list_->GetItemText(0, 1), QString("100"));
    }

    void equalTextsKeepTheirOrder() {
        list_->SetItemText(0, 1, "same");
        list_->SetItemText(1, 1, "same");
        list_->SetItemText(2, 1, "same");
        list_->OnColumnClick(1);
        QCOMPARE(list_->GetItemText(0, 0), QString("bob"));
        QCOMPARE(list_->GetItemText(2, 0), QString("cid"));
    }

    void rowsPaintStripesSelectionAndDeletedMarker() {
        records_[1].deleted = true;
        list_->SetDeletedTest([](const void* r, int kind) {
            return kind == 1 && static_cast<const FakeRecord*>(r)->deleted;
        });
        list_->SetListKind(1);
        list_->SetCheckState(2, true);
        list_->SelectRow(2);
        const QImage img = list_->viewport()->grab().toImage();
        const QRect r0 = list_->visualRect(list_->model()->index(0, 0));
        const QRect r1 = list_->visualRect(list_->model()->index(1, 0));
        const QRect r2 = list_->visualRect(list_->model()->index(2, 0));
        QVERIFY(Near(img.pixelColor(400, r0.top() + 3), QColor(245, 245, 245)));
        QVERIFY(Near(img.pixelColor(400, r1.top() + 3), Qt::white));
        QVERIFY(Near(img.pixelColor(400, r2.top() + 3), QColor(161, 219, 238)));
        QVERIFY(Near(img.pixelColor(400, r0.bottom()), QColor(220, 220, 220)));
        // Boxes: frame 0 unchecked, frame 2 checked.
        QVERIFY(Near(img.pixelColor(list_->CheckBoxRect(0).center()), Qt::gray));
        QVERIFY(Near(img.pixelColor(list_->CheckBoxRect(2).center()), Qt::darkGreen));
        // The deleted row shows its marker beside the box and red text.
        QVERIFY(Near(img.pixelColor(12 + 10 + 2, r1.center().y()), Qt::darkBlue));
        QVERIFY(RedPixels(img, QRect(0, r1.top(), 500, r1.height() - 1)) > 10);
        QCOMPARE(RedPixels(img, QRect(0, r0.top(), 500, r0.height() - 1)), 0);
        // Another list kind knows no deleted rows.
        list_->SetListKind(0);
        const QImage plain = list_->viewport()->grab().toImage();
        QCOMPARE(RedPixels(plain, QRect(0, r1.top(), 500, r1.height() - 1)), 0);
        // A row whose state image is 0 is drawn checked.
        list_->SetStateImage(0, 0);
        const QImage zero = list_->viewport()->grab().toImage();
        QVERIFY(Near(zero.pixelColor(list_->CheckBoxRect(0).center()), Qt::darkGreen));
    }

    void manyRowsNeedNoWidgetPerRow() {
        list_->DeleteAllItems();
        for (int i = 0; i < 50000; ++i)
            list_->AppendRow({QString::number(i), "x", "dropped: no such column"}, nullptr, false);
        QCOMPARE(list_->GetItemCount(), 50000);
        QCOMPARE(list_->GetItemText(49999, 1), QString("x"));
        QCOMPARE(list_->GetItemText(49999, 2), QString());
        list_->EnsureVisible(49999);
        QVERIFY(list_->viewport()->rect().intersects(
            list_->visualRect(list_->model()->index(49999, 0))));
        const int children = list_->viewport()->findChildren<QWidget*>().size();
        QVERIFY(children < 5);
        QSignalSpy spy(list_, &CListViewCheck1::listItemCheck);
        list_->OnHeaderCheckAll(1);
        QCOMPARE(spy.count(), 50000);
        list_->OnColumnClick(0);
        QCOMPARE(list_->GetItemText(0, 0), QString("0"));
        QVERIFY(!list_->viewport()->grab().isNull());
    }

    void rowsWithoutTextsAskForThemAndSortByThem() {
        list_->DeleteAllItems();
        list_->SetCellSource([this](const void* record, int column) {
            const int i = int(static_cast<const FakeRecord*>(record) - records_);
            return QStringLiteral("%1-%2").arg(QString("zxy")[i]).arg(column);
        });
        std::vector<ListRow> rows;
        for (int i = 0; i < 3; ++i)
            rows.push_back({{}, &records_[i], kStateUnchecked});
        rows.push_back({{"w", "own"}, &records_[0], kStateChecked}); // texts win
        list_->AppendRows(std::move(rows));
        QCOMPARE(list_->GetItemText(0, 1), QString("z-1"));
        QCOMPARE(list_->GetItemText(3, 1), QString("own"));
        list_->OnColumnClick(0);
        QCOMPARE(list_->GetItemText(0, 0), QString("w"));
        QCOMPARE(list_->GetItemText(1, 0), QString("x-0"));
        QCOMPARE(list_->GetItemData(1), static_cast<void*>(&records_[1]));
        QCOMPARE(list_->GetItemText(3, 0), QString("z-0"));
        QVERIFY(!list_->viewport()->grab().isNull());
        list_->SetCellSource(nullptr);
        QCOMPARE(list_->GetItemText(1, 0), QString());
    }

    void longTextsAreCutNotSpilled() {
        list_->SetItemText(0, 1, QString(5000, 'W'));
        const QImage img = list_->viewport()->grab().toImage();
        const QRect r0 = list_->visualRect(list_->model()->index(0, 0));
        // The Phone column ends at 320; beyond it the row stays background.
        QVERIFY(Near(img.pixelColor(330, r0.center().y()), QColor(245, 245, 245)));
    }
};

QTEST_MAIN(ListViewTests)
#include "list_view_tests.moc"
