// Category tree: check propagation root to children and children to root,
// unavailable rows, swallowed double clicks, and the painted rows.
#include "skin/image_path.h"
#include "skin/skin_image.h"
#include "skin/tree_view_ex1.h"
#include "skin_test_pictures.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace skin;
using skintest::Near;

class TreeViewTests : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QImage rowImage_;
    std::unique_ptr<CTreeViewEx1> tree_;
    QTreeWidgetItem* root_ = nullptr;
    QTreeWidgetItem* contacts_ = nullptr;
    QTreeWidgetItem* messages_ = nullptr;

    // Clicks the centre of a row's check box.
    void ClickBox(QTreeWidgetItem* item) {
        QTest::mouseClick(tree_->viewport(), Qt::LeftButton, {},
                          tree_->CheckBoxRect(item).center());
    }

  private slots:
    void initTestCase() {
        SetImageFolder(dir_.path());
        QVERIFY(skintest::WriteStrip(MakeImagePath("checkboxes.png"), QSize(10, 10),
                                     {Qt::gray, Qt::cyan, Qt::cyan, Qt::darkGreen, Qt::magenta}));
        QVERIFY(skintest::WriteSolid(MakeImagePath("tree_closed.bmp"), QSize(16, 16), Qt::black));
        QVERIFY(skintest::WriteSolid(MakeImagePath("tree_opened.bmp"), QSize(16, 16), Qt::black));
        QVERIFY(skintest::WriteSolid(MakeImagePath("treeroot.png"), QSize(16, 16), Qt::black));
        QVERIFY(skintest::WriteSolid(MakeImagePath("contacts.png"), QSize(16, 16), Qt::darkRed));
        rowImage_ = LoadSkinImage("contacts.png");
    }

    void init() {
        tree_ = std::make_unique<CTreeViewEx1>();
        tree_->resize(221, 300);
        tree_->Init();
        root_ = tree_->InsertRootItem("android phone");
        contacts_ = tree_->InsertItem(root_, 0, "Contacts", &rowImage_);
        messages_ = tree_->InsertItem(root_, 1, "Message", &rowImage_);
        tree_->expandItem(root_);
        tree_->SetItemInfo(nullptr, contacts_, 12);
        tree_->SetItemInfo(nullptr, messages_, 3);
        tree_->show();
        QVERIFY(QTest::qWaitForWindowExposed(tree_.get()));
    }

    void cleanup() { tree_.reset(); }

    void boxRectanglesFollowTheRowKind() {
        const QRect rootRow = tree_->visualItemRect(root_);
        const QRect childRow = tree_->visualItemRect(contacts_);
        QCOMPARE(tree_->CheckBoxRect(root_), QRect(26, rootRow.top() + (25 - 10) / 2, 10, 10));
        QCOMPARE(tree_->CheckBoxRect(contacts_),
                 QRect(10 + 36, childRow.top() + (25 - 10) / 2, 10, 10));
        QCOMPARE(rootRow.height(), 25);
    }

    void rootCheckReachesEveryChangedChild() {
        tree_->SetCheckState(contacts_, 0x2000);
        QSignalSpy spy(tree_.get(), &CTreeViewEx1::treeItemCheck);
        ClickBox(root_);
        QCOMPARE(tree_->GetCheck(root_), 1);
        QCOMPARE(spy.count(), 1); // Contacts was checked already
        QCOMPARE(spy.at(0).at(0).value<QTreeWidgetItem*>(), messages_);
        QCOMPARE(spy.at(0).at(1).toInt(), 1);
        QCOMPARE(tree_->GetCheck(messages_), 1);
        spy.clear();
        ClickBox(root_);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).value<QTreeWidgetItem*>(), contacts_);
        QCOMPARE(spy.at(1).at(1).toInt(), 0);
        QCOMPARE(tree_->GetStateImage(contacts_), 1);
        // Unavailable children are included.
        tree_->SetItemInfo(nullptr, messages_, 0);
        spy.clear();
        ClickBox(root_);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(tree_->GetCheck(messages_), 1);
    }

    void childChecksSetTheRoot() {
        tree_->SetCheckState(root_, 0x2000);
        tree_->SetCheckState(contacts_, 0x2000);
        tree_->SetCheckState(messages_, 0x2000);
        QSignalSpy spy(tree_.get(), &CTreeViewEx1::treeItemCheck);
        ClickBox(contacts_);
        QCOMPARE(tree_->GetCheck(contacts_), 0);
        QCOMPARE(tree_->GetCheck(root_), 0);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<QTreeWidgetItem*>(), contacts_);
        QCOMPARE(spy.at(0).at(1).toInt(), 0);
        ClickBox(contacts_);
        QCOMPARE(tree_->GetCheck(root_), 1);
        // An unchecked but unavailable sibling does not hold the root back.
        tree_->SetItemInfo(nullptr, messages_, 0);
        tree_->SetCheckState(messages_, 0x1000);
        ClickBox(contacts_);
        ClickBox(contacts_);
        QCOMPARE(tree_->GetCheck(root_), 1);
    }

    void unavailableRowsIgnoreClicks() {
        QString caption("Message (0)");
        QVERIFY(tree_->SetItemInfo(&caption, messages_, 0));
        QCOMPARE(tree_->GetItemText(messages_), caption);
        QVERIFY(!tree_->SetItemInfo(nullptr, root_, 3)); // the root has no record
        QSignalSpy spy(tree_.get(), &CTreeViewEx1::treeItemCheck);
        ClickBox(messages_);
        QTest::mouseClick(tree_->viewport(), Qt::LeftButton, {},
                          tree_->visualItemRect(messages_).center() + QPoint(40, 0));
        QCOMPARE(spy.count(), 0);
        QVERIFY(!messages_->isSelected());
        QCOMPARE(tree_->GetCheck(messages_), 0);
        // With records the same row is selectable again.
        tree_->SetItemInfo(nullptr, messages_, 4);
        QTest::mouseClick(tree_->viewport(), Qt::LeftButton, {},
                          tree_->visualItemRect(messages_).center() + QPoint(40, 0));
        QVERIFY(messages_->isSelected());
        QCOMPARE(spy.count(), 0);
    }

    void doubleClicksAreSwallowed() {
        const QPoint onRoot = tree_->visualItemRect(root_).center();
        QTest::mouseDClick(tree_->viewport(), Qt::LeftButton, {}, onRoot);
        QVERIFY(root_->isExpanded());
        // The expand picture itself still opens and closes the group.
        QCOMPARE(tree_->ExpandRect(root_).left(), 5);
        QTest::mouseClick(tree_->viewport(), Qt::LeftButton, {}, tree_->ExpandRect(root_).center());
        QVERIFY(!root_->isExpanded());
        QTest::mouseClick(tree_->viewport(), Qt::LeftButton, {}, tree_->ExpandRect(root_).center());
        QVERIFY(root_->isExpanded());
    }

    void paintsBoxesBandAndGreyRows() {
        tree_->SetCheckState(contacts_, 0x2000);
        tree_->SetItemInfo(nullptr, messages_, 0);
        tree_->SetShowSelAlways(true);
        tree_->setCurrentItem(contacts_);
        const QImage img = tree_->viewport()->grab().toImage();
        QVERIFY(Near(img.pixelColor(tree_->CheckBoxRect(contacts_).center()), Qt::darkGreen));
        QVERIFY(Near(img.pixelColor(tree_->CheckBoxRect(messages_).center()), Qt::magenta));
        QVERIFY(Near(img.pixelColor(tree_->CheckBoxRect(root_).center()), Qt::gray));
        // The row image sits at left + 2g + 41; the band starts after it.
        const QRect row = tree_->visualItemRect(contacts_);
        QVERIFY(Near(img.pixelColor(20 + 41 + 2, row.center().y()), Qt::darkRed));
        const int bandLeft = 16 + 20 + 46;
        QVERIFY(Near(img.pixelColor(bandLeft, row.top() + 1), QColor(168, 229, 246), 6));
        // Without focus and without the always-show style, no band.
        tree_->SetShowSelAlways(false);
        tree_->clearFocus();
        const QImage plain = tree_->viewport()->grab().toImage();
        QVERIFY(Near(plain.pixelColor(bandLeft, row.top() + 1), Qt::white));
    }
};

QTEST_MAIN(TreeViewTests)
#include "tree_view_tests.moc"
