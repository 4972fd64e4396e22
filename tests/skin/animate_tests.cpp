// Strip animation: frame sequence, one timer however often it is started,
// placement, and a strip that did not load.
#include "skin/animate_img.h"
#include "skin/image_path.h"
#include "skin_test_pictures.h"

#include <QTemporaryDir>
#include <QTimerEvent>
#include <QtTest>

using namespace skin;
using skintest::Near;

class AnimateTests : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QList<QColor> colors_;

    // Delivers one timer tick with an id to the control.
    void Tick(CAnimateImg& a, int id) {
        QTimerEvent e(id);
        QCoreApplication::sendEvent(&a, &e);
    }

  private slots:
    void initTestCase() {
        SetImageFolder(dir_.path());
        for (int i = 0; i < 8; ++i)
            colors_.append(QColor(20 * i, 200 - 20 * i, 100));
        QVERIFY(skintest::WriteStrip(MakeImagePath("animate.png"), QSize(10, 6), colors_));
    }

    void framesRunInTurnAndWrap() {
        QWidget parent;
        parent.resize(100, 100);
        CAnimateImg a(&parent);
        QVERIFY(a.Load(MakeImagePath("animate.png")));
        QCOMPARE(a.FrameCount(), 1);
        a.SetFrames();
        QCOMPARE(a.FrameCount(), 8);
        QCOMPARE(a.FrameWidth(), 10);
        a.MoveTo(20, 41, CAnimateStaticBase::kMoveShow);
        QCOMPARE(a.geometry(), QRect(20, 41, 10, 6));
        QVERIFY(a.isVisibleTo(&parent));
        a.Start();
        QList<int> seen;
        for (int i = 0; i < 9; ++i) {
            Tick(a, a.TimerId());
            seen.append(a.CurrentFrame());
        }
        QCOMPARE(seen, (QList<int>{1, 2, 3, 4, 5, 6, 7, 0, 1}));
        QVERIFY(Near(a.grab().toImage().pixelColor(5, 3), colors_[1]));
        Tick(a, a.TimerId() + 1000); // other timers are ignored
        QCOMPARE(a.CurrentFrame(), 1);
        // Stopping keeps the frame; a restart goes on from it.
        a.Stop();
        a.Start();
        Tick(a, a.TimerId());
        QCOMPARE(a.CurrentFrame(), 2);
        a.MoveTo(0, 0, CAnimateStaticBase::kMoveHide);
        QVERIFY(!a.isVisibleTo(&parent));
    }

    void startTwiceSetsOneTimer() {
        CAnimateImg a;
        a.Load(MakeImagePath("animate.png"));
        a.SetFrames();
        a.SetPeriod(5);
        a.Start();
        const int id = a.TimerId();
        QVERIFY(id != 0);
        a.Start();
        QCOMPARE(a.TimerId(), id);
        QCOMPARE(a.Running(), 1);
        QTRY_VERIFY(a.CurrentFrame() != 0);
        a.Stop();
        a.Stop();
        QCOMPARE(a.Running(), 0);
        // Had a second timer been set, it would still move the frames.
        const int frame = a.CurrentFrame();
        QTest::qWait(40);
        QCOMPARE(a.CurrentFrame(), frame);
    }

    void missingStripPaintsOnlyTheBackground() {
        CAnimateImg a;
        a.Load(MakeImagePath("none.png"));
        a.SetFrames();
        a.MoveTo(0, 0, 0);
        QCOMPARE(a.size(), QSize(0, 0));
        a.resize(12, 12);
        QVERIFY(Near(a.grab().toImage().pixelColor(6, 6), QColor(240, 240, 239)));
    }
};

QTEST_MAIN(AnimateTests)
#include "animate_tests.moc"
