// Image button: the frame shown per state, placement, and missing pictures.
#include "skin/image_path.h"
#include "skin/img_button.h"
#include "skin_test_pictures.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace skin;
using skintest::Near;

class ImgButtonTests : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    const QList<QColor> colors_{Qt::red, Qt::green, Qt::blue, Qt::yellow};

    // Returns the colour at the middle of the button's left half.
    QColor Shown(CImgButton& b) { return b.grab().toImage().pixelColor(2, b.height() / 2); }

    // Sends a mouse event with the left button held or not.
    void Mouse(CImgButton& b, QEvent::Type t, const QPoint& at, bool held) {
        QMouseEvent e(t, at, b.mapToGlobal(at), Qt::LeftButton,
                      held ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&b, &e);
    }

  private slots:
    void initTestCase() {
        SetImageFolder(dir_.path());
        QVERIFY(skintest::WriteStrip(MakeImagePath("btn.png"), QSize(10, 8), colors_));
    }

    void framesFollowNormalHoverPressedDisabled() {
        QWidget parent;
        parent.resize(200, 100);
        CImgButton b(&parent, 1011);
        QVERIFY(b.Init(MakeImagePath("btn.png"), 20, 30, 4));
        parent.show();
        QCOMPARE(b.geometry(), QRect(20, 30, 10, 8));
        QCOMPARE(b.CurrentFrame(), 0);
        QVERIFY(Near(Shown(b), Qt::red));

        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), b.mapToGlobal(QPointF(2, 2)));
        QCoreApplication::sendEvent(&b, &enter);
        QCOMPARE(b.CurrentFrame(), 1);
        QVERIFY(Near(Shown(b), Qt::green));

        QSignalSpy clicks(&b, &CImgButton::commandClicked);
        Mouse(b, QEvent::MouseButtonPress, QPoint(3, 3), true);
        QCOMPARE(b.CurrentFrame(), 2);
        QVERIFY(Near(Shown(b), Qt::blue));
        // Dragging out while pressed gives up the pressed frame; back in, it returns.
        Mouse(b, QEvent::MouseMove, QPoint(50, 50), true);
        QCOMPARE(b.CurrentFrame(), 0);
        Mouse(b, QEvent::MouseMove, QPoint(4, 4), true);
        QCOMPARE(b.CurrentFrame(), 2);
        Mouse(b, QEvent::MouseButtonRelease, QPoint(4, 4), false);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.at(0).at(0).toInt(), 1011);
        // The next move after release shows the hover frame again.
        Mouse(b, QEvent::MouseMove, QPoint(5, 4), false);
        QCOMPARE(b.CurrentFrame(), 1);

        b.setEnabled(false);
        QCOMPARE(b.CurrentFrame(), 3);
        QVERIFY(Near(Shown(b), Qt::yellow));
        QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(b.CurrentFrame(), 3);
    }

    void capturedBackgroundShowsThroughTransparentPixels() {
        QImage strip(40, 8, QImage::Format_ARGB32);
        strip.fill(Qt::transparent);
        QPainter(&strip).fillRect(QRect(0, 0, 5, 8), Qt::red); // left half of frame 0
        QVERIFY(strip.save(MakeImagePath("half.png")));
        QWidget parent;
        parent.resize(100, 50);
        CImgButton b(&parent);
        b.Init(MakeImagePath("half.png"), 10, 10, 4);
        QImage backdrop(100, 50, QImage::Format_ARGB32_Premultiplied);
        backdrop.fill(QColor(0, 0, 200));
        b.CaptureBackground(backdrop, 10, 10);
        const QImage shot = b.grab().toImage();
        QVERIFY(Near(shot.pixelColor(1, 4), Qt::red));
        QVERIFY(Near(shot.pixelColor(8, 4), QColor(0, 0, 200)));
    }

    void negativeCoordinatesCountFromFarEdges() {
        QWidget parent;
        parent.resize(200, 100);
        CImgButton topRight(&parent), bottomRight(&parent);
        topRight.Init(MakeImagePath("btn.png"), -8, 5, 4);
        bottomRight.Init(MakeImagePath("btn.png"), -20, -15, 4);
        QCOMPARE(topRight.pos(), QPoint(200 - 10 - 8, 5));
        QCOMPARE(bottomRight.pos(), QPoint(200 - 10 - 20, 100 - 8 - 15));
        // Resolved once: a later resize of the parent does not move them.
        parent.resize(300, 200);
        QCOMPARE(topRight.pos(), QPoint(182, 5));
    }

    void missingPictureLeavesAnInvisibleButton() {
        QWidget parent;
        parent.resize(100, 100);
        CImgButton b(&parent);
        QVERIFY(b.Init(MakeImagePath("nothing.png"), -8, 5, 4));
        QCOMPARE(b.size(), QSize(0, 0));
        QVERIFY(!b.Init(MakeImagePath("btn.png"), 0, 0, 0));
        CImgButton orphan;
        QVERIFY(!orphan.Init(MakeImagePath("btn.png"), 0, 0, 4));
        // The text face is offered only when the picture is missing.
        b.UseTextFallback("OK", QSize(80, 26));
        QCOMPARE(b.size(), QSize(80, 26));
        CImgButton pictured(&parent);
        pictured.Init(MakeImagePath("btn.png"), 0, 0, 4);
        pictured.UseTextFallback("OK", QSize(80, 26));
        QCOMPARE(pictured.size(), QSize(10, 8));
    }

    void threeFrameStripDrawsNothingWhenDisabled() {
        QVERIFY(skintest::WriteStrip(MakeImagePath("three.png"), QSize(10, 8),
                                     {Qt::red, Qt::green, Qt::blue}));
        QWidget parent;
        parent.resize(100, 100);
        CImgButton b(&parent);
        b.Init(MakeImagePath("three.png"), 0, 0, 3);
        QImage backdrop(100, 100, QImage::Format_ARGB32_Premultiplied);
        backdrop.fill(Qt::white);
        b.CaptureBackground(backdrop, 0, 0);
        b.setEnabled(false);
        QVERIFY(Near(Shown(b), Qt::white));
    }
};

QTEST_MAIN(ImgButtonTests)
#include "img_button_tests.moc"
