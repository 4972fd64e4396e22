// Shared skin pieces: the font pool keys, the image folder and picture
// loading, strips, the drawing helpers, links and the bubble frame.
#include "skin/bubble_frame.h"
#include "skin/font_pool.h"
#include "skin/hyper_link.h"
#include "skin/image_path.h"
#include "skin/my_hyper_link.h"
#include "skin/skin_image.h"
#include "skin/text_draw.h"
#include "skin/ui_helpers.h"
#include "skin_test_pictures.h"

#include <QDesktopServices>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace skin;
using skintest::Near;

// Collects the addresses the links ask the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    // Records one opened address.
    void open(const QUrl& url) { opened.append(url); }
};

class SkinBasicsTests : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    UrlCatcher catcher_;

    // Writes the eight pieces of a bubble kind, each in its own colour.
    void WritePieces(const QString& prefix, const QList<QSize>& sizes) {
        const char* names[] = {"lefttop", "leftbottom", "righttop", "rightbottom",
                               "topline", "bottomline", "leftline", "rightline"};
        for (int i = 0; i < 8; ++i)
            QVERIFY(skintest::WriteSolid(MakeImagePath(prefix + names[i] + ".bmp"), sizes[i],
                                         QColor(20 + 25 * i, 10, 200 - 20 * i)));
    }

    // Returns the colour piece i was written with.
    static QColor PieceColor(int i) { return QColor(20 + 25 * i, 10, 200 - 20 * i); }

  private slots:
    void initTestCase() {
        SetImageFolder(dir_.path());
        QDesktopServices::setUrlHandler("https", &catcher_, "open");
        QDesktopServices::setUrlHandler("http", &catcher_, "open");
        RegisterSkinFonts();
    }

    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("http");
    }

    void fontPoolKeys() {
        TkFontPool pool;
        QVERIFY(pool.Has(0)); // made with the pool
        const QFont* base = pool.GetPoolFont(0);
        QVERIFY(base);
        QCOMPARE(base->pixelSize(), 11);
        QCOMPARE(pool.GetPoolFont(0), base);
        const QFont* smaller = pool.GetPoolFont(65280);
        const QFont* larger = pool.GetPoolFont(1280);
        QCOMPARE(smaller->pixelSize(), 10);
        QCOMPARE(larger->pixelSize(), 16);
        QCOMPARE(pool.GetPoolFont(1280), larger);
        const QFont* bold = pool.GetPoolFont(260);
        QCOMPARE(bold->pixelSize(), 12);
        QVERIFY(bold->bold());
        const QFont* styled = pool.GetPoolFont(3);
        QVERIFY(styled->italic() && styled->underline() && !styled->bold());
        QCOMPARE(pool.GetPoolFont(512)->pixelSize(), 13);
        // A step that leaves no height cannot make a font; it is not stored.
        QVERIFY(!pool.GetPoolFont(0xF400));
        QVERIFY(!pool.Has(0xF400));
        QCOMPARE(&TkFontPool::Instance(), &TkFontPool::Instance());
        QCOMPARE(GetPoolFont(256), TkFontPool::Instance().GetPoolFont(256));
    }

    void imageFolderAndLoading() {
        SetImageFolder("/opt/some where/image");
        QCOMPARE(MakeImagePath("mainbg1.png"), QString("/opt/some where/image/mainbg1.png"));
        SetImageFolder(dir_.path());
        QVERIFY(LoadSkinImage("absent.png").isNull());
        QFile broken(MakeImagePath("broken.png"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("\x89PNG\r\n\x1a\n not really");
        broken.close();
        const QImage bad = LoadSkinImage("broken.png");
        QVERIFY(bad.isNull());
        QCOMPARE(bad.width(), 0);
        QCOMPARE(StripFrameWidth(bad, 4), 0);
        QVERIFY(skintest::WriteStrip(MakeImagePath("s.png"), QSize(10, 5),
                                     {Qt::red, Qt::green, Qt::blue}));
        const QImage strip = LoadSkinImage("s.png");
        QCOMPARE(StripFrameWidth(strip, 3), 10);
        QCOMPARE(StripFrameRect(strip, 3, 2), QRect(20, 0, 10, 5));
        QImage canvas(10, 5, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        {
            QPainter p(&canvas);
            DrawStripFrame(p, QPoint(0, 0), strip, 3, 1);
            DrawStripFrame(p, QPoint(0, 0), strip, 3, 3); // past the strip: nothing
            DrawStripFrame(p, QPoint(0, 0), bad, 3, 0);
        }
        QVERIFY(Near(canvas.pixelColor(5, 2), Qt::green));
        QCOMPARE(LoadAnimatedPicture(MakeImagePath("absent.gif")).frames.size(), size_t(0));
        QCOMPARE(LoadAnimatedPicture(MakeImagePath("broken.png")).frames.size(), size_t(0));
        const AnimatedPicture still = LoadAnimatedPicture(MakeImagePath("s.png"));
        QCOMPARE(still.frames.size(), size_t(1));
        QCOMPARE(still.delaysMs.size(), size_t(1));
    }

    void gradientAndSubrect() {
        QImage canvas(100, 10, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::black);
        {
            QPainter p(&canvas);
            gradient_fillrect(p, QRect(0, 0, 100, 10), 0xF6E5A8, 0xF9F7F1, 0);
        }
        QVERIFY(Near(canvas.pixelColor(0, 5), QColor(168, 229, 246), 4));
        QVERIFY(Near(canvas.pixelColor(99, 5), QColor(241, 247, 249), 4));
        const SkinRect r = calc_subrect({0, 0, 200, 200}, 0, 0);
        QCOMPARE(r.bottom - r.top, 200);
        const SkinRect collapsed = calc_subrect({0, 0, 10, 10}, 20, 20);
        QCOMPARE(collapsed.bottom - collapsed.top, 0);
        QCOMPARE(get_font("Arial", 16, 400).pixelSize(), 16);
        QVERIFY(get_font("Arial", 16, 700).bold());
    }

    void wrappedTextStaysInsideItsRectangle() {
        QImage canvas(200, 100, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        const QRect box(20, 20, 100, 40);
        {
            QPainter p(&canvas);
            p.setFont(PoolFontOr(256));
            p.setPen(Qt::black);
            DrawWrappedText(p, box, QString("long words and more ").repeated(500), Qt::AlignLeft,
                            true);
            DrawElidedLine(p, QRect(20, 70, 100, 20), QString(10000, 'M'), Qt::AlignLeft);
            QCOMPARE(WrappedLineCount(p, "a\nb\r\nc", 100, 10), 3);
        }
        int inside = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x) {
                const bool ink = canvas.pixelColor(x, y).lightness() < 200;
                const bool allowed = box.contains(x, y) || QRect(20, 70, 100, 20).contains(x, y);
                QVERIFY2(!ink || allowed, qPrintable(QString("ink at %1,%2").arg(x).arg(y)));
                inside += ink;
            }
        QVERIFY(inside > 50);
    }

    void bubbleOfThirtyPixelsShowsOnlyCorners() {
        WritePieces("in_",
                    {{18, 15}, {18, 18}, {12, 15}, {12, 18}, {1, 15}, {1, 18}, {18, 1}, {12, 1}});
        WritePieces("out_",
                    {{12, 18}, {12, 18}, {18, 18}, {18, 18}, {1, 18}, {1, 18}, {12, 1}, {18, 1}});
        const auto pieces = BubblePieces(0, 30, 30, 93, kBubbleReceived);
        QCOMPARE(pieces.size(), size_t(8));
        QCOMPARE(pieces[4].dest.width(), 0);            // top edge
        QCOMPARE(pieces[5].dest.width(), 0);            // bottom edge
        QCOMPARE(pieces[6].dest, QRect(0, 45, 18, 30)); // left edge, B - T - 33 high
        QCOMPARE(pieces[7].dest, QRect(18, 45, 12, 30));
        QCOMPARE(BubbleInnerRect(0, 30, 30, 93, kBubbleReceived), QRect(18, 45, 0, 30));

        QImage canvas(40, 100, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        {
            QPainter p(&canvas);
            DrawBubbleFrame(p, 0, 30, 30, 93, kBubbleReceived);
        }
        QVERIFY(Near(canvas.pixelColor(0, 30), PieceColor(0))); // left top at (L, T)
        QVERIFY(Near(canvas.pixelColor(17, 44), PieceColor(0)));
        QVERIFY(Near(canvas.pixelColor(18, 30), PieceColor(2))); // right top at (R - 12, T)
        QVERIFY(Near(canvas.pixelColor(29, 44), PieceColor(2)));
        QVERIFY(Near(canvas.pixelColor(0, 75), PieceColor(1))); // left bottom at B - 18
        QVERIFY(Near(canvas.pixelColor(29, 92), PieceColor(3)));
        QVERIFY(Near(canvas.pixelColor(5, 60), PieceColor(6))); // stretched left edge
        QVERIFY(Near(canvas.pixelColor(25, 60), PieceColor(7)));
        QVERIFY(Near(canvas.pixelColor(30, 60), Qt::white)); // nothing right of R
        QVERIFY(Near(canvas.pixelColor(5, 29), Qt::white));

        QImage sent(40, 100, QImage::Format_ARGB32_Premultiplied);
        sent.fill(Qt::white);
        {
            QPainter p(&sent);
            DrawBubbleFrame(p, 0, 0, 30, 60, kBubbleSent);
        }
        QVERIFY(Near(sent.pixelColor(11, 0), PieceColor(0)));
        QVERIFY(Near(sent.pixelColor(12, 0), PieceColor(2)));
        QVERIFY(Near(sent.pixelColor(20, 30), PieceColor(7)));
        QVERIFY(Near(sent.pixelColor(2, 30), PieceColor(6)));
        // A bubble drawn from a folder without pieces draws nothing.
        SetImageFolder(dir_.path() + "/none");
        QImage blank(40, 100, QImage::Format_ARGB32_Premultiplied);
        blank.fill(Qt::white);
        {
            QPainter p(&blank);
            DrawBubbleFrame(p, 0, 0, 30, 60, kBubbleSent);
        }
        QVERIFY(Near(blank.pixelColor(5, 5), Qt::white));
        SetImageFolder(dir_.path());
    }

    void linksOpenTheirTargetAndTurnVisited() {
        catcher_.opened.clear();
        QWidget parent;
        CHyperLink link(&parent);
        link.SetLabel("https://example.org/label");
        link.resize(link.IdealSize());
        QCOMPARE(link.TextColor(), QColor(0, 0, 255));
        QTest::mouseClick(&link, Qt::LeftButton, {}, link.LabelRect().center());
        QCOMPARE(catcher_.opened.size(), 1);
        QCOMPARE(catcher_.opened[0], QUrl("https://example.org/label"));
        QVERIFY(link.Visited());
        QCOMPARE(link.TextColor(), QColor(128, 0, 128));
        link.SetTarget("https://example.org/target");
        QTest::keyClick(&link, Qt::Key_Space);
        QCOMPARE(catcher_.opened.last(), QUrl("https://example.org/target"));
        QVERIFY(link.Visited());

        CHyperLink command(&parent, CHyperLink::kCommandButton);
        command.SetLabel("cmd");
        QSignalSpy commands(&command, &CHyperLink::commandClicked);
        command.Navigate();
        QCOMPARE(commands.count(), 1);
        QCOMPARE(catcher_.opened.size(), 2);

        CMyHyperLink help(&parent);
        help.SetLabel("Have Problems?");
        help.resize(help.IdealSize());
        QCOMPARE(help.Target(), QString(kSupportPageUrl));
        QTest::mouseClick(&help, Qt::LeftButton, {}, help.LabelRect().center());
        QCOMPARE(catcher_.opened.last(), QUrl(kProductPageUrl));
        QVERIFY(!help.Visited());
    }
};

QTEST_MAIN(SkinBasicsTests)
#include "skin_basics_tests.moc"
