// Message box and About box: button layouts per flags, return ids, text
// placement, and boxes whose pictures are missing.
#include "skin/about_box.h"
#include "skin/image_path.h"
#include "skin/msg_box.h"
#include "skin_test_pictures.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace skin;
using skintest::Near;

class MsgBoxTests : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QTemporaryDir empty_;

    // Clicks a message box button as soon as the modal loop runs.
    void ClickLater(CMsgBox& box, int id) {
        QTimer::singleShot(0, &box, [&box, id] {
            QTest::mouseClick(box.Button(id), Qt::LeftButton, {}, QPoint(3, 3));
        });
    }

  private slots:
    void initTestCase() {
        SetImageFolder(dir_.path());
        QVERIFY(skintest::WriteSolid(MakeImagePath("msgbox.png"), QSize(400, 200),
                                     QColor(250, 250, 250)));
        QVERIFY(skintest::WriteSolid(MakeImagePath("aboutbk.png"), QSize(490, 340),
                                     QColor(250, 250, 250)));
        QVERIFY(skintest::WriteSolid(MakeImagePath("warn.png"), QSize(20, 20), Qt::red));
        const QList<QColor> frames{Qt::blue, Qt::green, Qt::darkBlue, Qt::gray};
        QVERIFY(skintest::WriteStrip(MakeImagePath("close.png"), QSize(16, 16), frames));
        for (const char* f : {"ok.png", "yes.png", "no.png", "cancel.png"})
            QVERIFY(skintest::WriteStrip(MakeImagePath(f), QSize(60, 24), frames));
    }

    void oneButtonIsCentred() {
        CMsgBox box;
        box.Prepare(CMsgBox::kWarn, 1, "Please select the file(s) you want to recover.");
        QCOMPARE(box.size(), QSize(400, 200));
        QCOMPARE(box.Button(1011)->geometry(), QRect(170, 200 - 15 - 24, 60, 24));
        QCOMPARE(box.Button(1010)->geometry(), QRect(400 - 16 - 5, 5, 16, 16));
        QVERIFY(box.Button(1012)->isHidden());
        QVERIFY(box.Button(1014)->isHidden());
        QVERIFY(box.Button(1015)->isHidden());
        QCOMPARE(box.IconRect(), QRect(20, 80, 40, 40));
    }

    void twoButtonsSitEitherSideOfTheCentre() {
        CMsgBox okCancel;
        okCancel.Prepare(CMsgBox::kInfo, 5, "text");
        QCOMPARE(okCancel.Button(1011)->pos(), QPoint(200 - 60 - 20, 161));
        QCOMPARE(okCancel.Button(1015)->pos(), QPoint(220, 161));
        QVERIFY(okCancel.Button(1012)->isHidden());
        CMsgBox yesNo;
        yesNo.Prepare(CMsgBox::kInfo, 10, "New version found,are you sure to Update?");
        QCOMPARE(yesNo.Button(1012)->pos(), QPoint(120, 161));
        QCOMPARE(yesNo.Button(1014)->pos(), QPoint(220, 161));
        QVERIFY(yesNo.Button(1011)->isHidden());
    }

    void showReturnsTheIdOfTheButtonPressed() {
        for (int id : {1012, 1014, 1010}) {
            CMsgBox box;
            ClickLater(box, id);
            QCOMPARE(box.Show(CMsgBox::kWarn, 10, "Are you sure?"), id);
        }
        CMsgBox ok;
        ClickLater(ok, 1011);
        QCOMPARE(ok.Show(CMsgBox::kRight, 1, "done"), 1011);
        QWidget owner;
        owner.resize(800, 600);
        owner.show();
        QTimer::singleShot(0, &owner, [] {
            auto* box = qobject_cast<CMsgBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QTest::mouseClick(box->Button(1012), Qt::LeftButton, {}, QPoint(3, 3));
        });
        QCOMPARE(CMsgBox::Run(CMsgBox::kInfo, 10, "Update?", &owner), 1012);
        CMsgBox escaped;
        QTimer::singleShot(0, &escaped, [&escaped] { QTest::keyClick(&escaped, Qt::Key_Escape); });
        QCOMPARE(escaped.Show(CMsgBox::kWarn, 10, "Escape?"), 1010);
    }

    void paintsIconAndCentresTheText() {
        CMsgBox box;
        box.Prepare(CMsgBox::kWarn, 1, "short");
        QCOMPARE(box.TextRect(), QRect(70, 0, 320, 200));
        const QImage img = box.grab().toImage();
        QVERIFY(Near(img.pixelColor(40, 100), Qt::red)); // icon scaled to 40 x 40
        QVERIFY(Near(img.pixelColor(21, 81), Qt::red));
        box.Prepare(CMsgBox::kWarn, 1, QString("word ").repeated(20));
        const QRect wrapped = box.TextRect();
        QVERIFY(wrapped.height() < 200 && wrapped.height() > 20);
        QVERIFY(qAbs(wrapped.top() + wrapped.height() / 2 - 100) <= 1);
        // A huge text is cut to the room between the caption and the buttons.
        box.Prepare(CMsgBox::kWarn, 1, QString("x").repeated(100000));
        const QRect cut = box.TextRect();
        QVERIFY(cut.top() >= 35);
        QVERIFY(cut.bottom() < box.Button(1011)->y());
        const QImage shot = box.grab().toImage();
        QVERIFY(Near(shot.pixelColor(200, 34), QColor(250, 250, 250)));
        QVERIFY(Near(shot.pixelColor(200, box.Button(1011)->y() - 2), QColor(250, 250, 250)));
    }

    void missingPicturesStillLeaveAWayOut() {
        SetImageFolder(empty_.path());
        CMsgBox box;
        box.Prepare(CMsgBox::kError, 10, "no pictures");
        QVERIFY(box.width() > 100 && box.height() > 60);
        QVERIFY(!box.Button(1012)->size().isEmpty());
        QVERIFY(!box.Button(1010)->size().isEmpty());
        ClickLater(box, 1014);
        QCOMPARE(box.Show(CMsgBox::kError, 10, "no pictures"), 1014);
        CAboutBox about;
        QVERIFY(!about.Button(1027)->size().isEmpty());
        SetImageFolder(dir_.path());
    }

    void aboutBoxShowsVersionAndLink() {
        CAboutBox about(nullptr);
        QCOMPARE(about.size(), QSize(490, 340));
        QCOMPARE(about.Version(), QString("1.5.0.0"));
        QCOMPARE(about.Link()->Label(), QString("Homepage:") + kHomePageUrl);
        QCOMPARE(about.Link()->Target(), QString(kHomePageUrl));
        QCOMPARE(about.Link()->pos(), QPoint(40, 270));
        QCOMPARE(about.Button(1024)->pos(), QPoint(490 - 16 - 8, 5));
        QCOMPARE(about.Button(1027)->pos(), QPoint(490 - 60 - 20, 340 - 24 - 15));
        QTimer::singleShot(0, &about, [&about] {
            QTest::mouseClick(about.Button(1027), Qt::LeftButton, {}, QPoint(3, 3));
        });
        QCOMPARE(about.Show(), 1027);
    }
};

QTEST_MAIN(MsgBoxTests)
#include "msg_box_tests.moc"
