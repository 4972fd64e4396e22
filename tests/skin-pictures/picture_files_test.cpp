// The checked-in skin pictures: every file the program loads is there, in the format its
// extension promises, with the frame counts and sizes that the controls' fixed layout needs.
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QRect>
#include <gtest/gtest.h>

#include <map>

namespace {

// The folder under test: the checked-in pictures, or a fresh run of the generator when
// FENNARO_PICTURE_DIR names one.
const QString kImageDir = qEnvironmentVariableIsEmpty("FENNARO_PICTURE_DIR")
                              ? QStringLiteral(FENNARO_IMAGE_SOURCE_DIR)
                              : qEnvironmentVariable("FENNARO_PICTURE_DIR");

// What a picture must be: frames side by side, and its exact size when that is fixed.
struct Expected {
    int frames = 1;
    QSize exactSize; // invalid: free size
};

// Every picture file name the program opens, with its strip frame count and fixed size.
const std::map<QString, Expected>& expectedPictures() {
    static const std::map<QString, Expected> pictures = {
        {"mainbg1.png", {1, {984, 674}}},
        {"mainbg2.png", {1, {984, 674}}},
        {"step1.png", {}},
        {"contacts.png", {}},
        {"message.png", {}},
        {"calllog.png", {}},
        {"loaddata.gif", {1, {785, 331}}},
        {"loadfail.png", {1, {785, 331}}},
        {"min.png", {4, {}}},
        {"close.png", {4, {}}},
        {"menu.png", {3, {}}},
        {"btn_home.png", {4, {}}},
        {"btn_help.png", {4, {}}},
        {"back.png", {3, {}}},
        {"pause.png", {4, {}}},
        {"continue.png", {4, {}}},
        {"stop.png", {4, {}}},
        {"recover.png", {3, {}}},
        {"refresh.png", {3, {}}},
        {"animate.png", {8, {}}},
        {"checkbox.png", {4, {}}},
        {"deleted.png", {}},
        {"list_hearder.bmp", {}},
        {"inc.png", {}},
        {"dec.png", {}},
        {"tree_closed.bmp", {}},
        {"tree_opened.bmp", {}},
        {"checkboxes.png", {5, {}}},
        {"treeroot.png", {}},
        {"contactperson.png", {1, {62, 62}}},
        {"msgbox.png", {}},
        {"aboutbk.png", {}},
        {"warn.png", {1, {40, 40}}},
        {"error.png", {1, {40, 40}}},
        {"info.png", {1, {40, 40}}},
        {"right.png", {1, {40, 40}}},
        {"ok.png", {4, {}}},
        {"yes.png", {4, {}}},
        {"no.png", {4, {}}},
        {"cancel.png", {4, {}}},
        {"in_lefttop.bmp", {1, {18, 15}}},
        {"in_leftbottom.bmp", {1, {18, 18}}},
        {"in_righttop.bmp", {1, {12, 15}}},
        {"in_rightbottom.bmp", {1, {12, 18}}},
        {"in_topline.bmp", {1, {1, 15}}},
        {"in_bottomline.bmp", {1, {1, 18}}},
        {"in_leftline.bmp", {1, {18, 1}}},
        {"in_rightline.bmp", {1, {12, 1}}},
        {"out_lefttop.bmp", {1, {12, 18}}},
        {"out_leftbottom.bmp", {1, {12, 18}}},
        {"out_righttop.bmp", {1, {18, 18}}},
        {"out_rightbottom.bmp", {1, {18, 18}}},
        {"out_topline.bmp", {1, {1, 18}}},
        {"out_bottomline.bmp", {1, {1, 18}}},
        {"out_leftline.bmp", {1, {12, 1}}},
        {"out_rightline.bmp", {1, {18, 1}}},
    };
    return pictures;
}

// Returns the size of a picture file, or an invalid size when it does not load.
QSize pictureSize(const QString& name) {
    QImageReader reader(kImageDir + "/" + name);
    const QImage image = reader.read();
    return image.isNull() ? QSize() : image.size();
}

// Returns the size of one frame of a strip.
QSize frameSize(const QString& name) {
    const QSize size = pictureSize(name);
    return {size.width() / expectedPictures().at(name).frames, size.height()};
}

// Places a main-window button the way the image button does: negative coordinates count from
// the right or bottom edge of the 984 x 674 window.
QRect placeButton(const QString& name, int x, int y) {
    const QSize frame = frameSize(name);
    const int left = x < 0 ? 984 - frame.width() + x : x;
    const int top = y < 0 ? 674 - frame.height() + y : y;
    return {QPoint(left, top), frame};
}

// Fails when any two of the rectangles overlap.
void expectApart(const std::map<QString, QRect>& rects) {
    for (auto a = rects.begin(); a != rects.end(); ++a) {
        for (auto b = std::next(a); b != rects.end(); ++b) {
            EXPECT_FALSE(a->second.intersects(b->second))
                << a->first.toStdString() << " and " << b->first.toStdString();
        }
    }
}

} // namespace

TEST(PictureFiles, EveryPictureLoadsInTheFormatOfItsNameWithWholeFrames) {
    for (const auto& [name, expected] : expectedPictures()) {
        SCOPED_TRACE(name.toStdString());
        QImageReader reader(kImageDir + "/" + name);
        EXPECT_EQ(reader.format(), QFileInfo(name).suffix().toLatin1());
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(image.width() % expected.frames, 0);
        if (expected.exactSize.isValid()) {
            EXPECT_EQ(image.size(), expected.exactSize);
        }
    }
}

TEST(PictureFiles, TheFolderHoldsNothingElseAndStaysSmall) {
    qint64 total = 0;
    const QDir dir(kImageDir);
    for (const QFileInfo& file : dir.entryInfoList(QDir::Files)) {
        if (file.fileName() == "CMakeLists.txt")
            continue;
        EXPECT_EQ(expectedPictures().count(file.fileName()), 1u) << file.fileName().toStdString();
        total += file.size();
    }
    EXPECT_LT(total, 2 * 1024 * 1024);
}

TEST(PictureFiles, ConnectingAnimationHasSeveralTimedFramesThatLoop) {
    QImageReader reader(kImageDir + "/loaddata.gif");
    EXPECT_GT(reader.imageCount(), 1);
    EXPECT_NE(reader.loopCount(), 0);
    int frames = 0;
    while (!reader.read().isNull()) {
        EXPECT_GT(reader.nextImageDelay(), 0) << "frame " << frames;
        ++frames;
    }
    EXPECT_GT(frames, 1);
}

TEST(PictureFiles, MainWindowButtonsFitTheWindowAndDoNotOverlap) {
    const QRect window(0, 0, 984, 674);
    const QRect progressBar(42, 639, 730, 20);
    const std::map<QString, QRect> titleBar = {
        {"min", placeButton("min.png", -29, 5)},
        {"close", placeButton("close.png", -8, 5)},
        {"menu", placeButton("menu.png", -50, 5)},
        {"home", placeButton("btn_home.png", -120, 5)},
        {"help", placeButton("btn_help.png", -90, 5)},
    };
    const std::map<QString, QRect> loading = {{"pause", placeButton("pause.png", -92, -20)},
                                              {"stop", placeButton("stop.png", -20, -20)},
                                              {"progress", progressBar}};
    const std::map<QString, QRect> paused = {{"continue", placeButton("continue.png", -92, -20)},
                                             {"stop", placeButton("stop.png", -20, -20)},
                                             {"progress", progressBar}};
    const std::map<QString, QRect> loaded = {{"back", placeButton("back.png", 20, -20)},
                                             {"recover", placeButton("recover.png", -30, -20)}};
    for (const auto* group : {&titleBar, &loading, &paused, &loaded}) {
        expectApart(*group);
        for (const auto& [name, rect] : *group) {
            EXPECT_TRUE(window.contains(rect)) << name.toStdString();
            EXPECT_FALSE(rect.isEmpty()) << name.toStdString();
        }
    }
    // The title bar ends where the tree and the list begin.
    for (const auto& [name, rect] : titleBar)
        EXPECT_LE(rect.bottom(), 31) << name.toStdString();
    const QRect refresh = placeButton("refresh.png", -30, -35);
    EXPECT_TRUE(window.contains(refresh));
    EXPECT_GT(refresh.top(), 561); // below the failure picture
}

TEST(PictureFiles, ConnectScreenAndStripPiecesFitTheirPlaces) {
    // The step picture sits at (1, 74), above the animation rectangle that starts at y 230.
    const QSize step = pictureSize("step1.png");
    EXPECT_LE(1 + step.width(), 984);
    EXPECT_LE(74 + step.height(), 230);
    // The busy strip sits at (20, 641) left of the progress bar at x 42, in the bottom bar.
    const QSize busy = frameSize("animate.png");
    EXPECT_LE(20 + busy.width(), 42);
    EXPECT_LE(641 + busy.height(), 674);
    // The tree's hit test puts the group check box 26 pixels in: expand pictures 16 wide.
    EXPECT_EQ(pictureSize("tree_closed.bmp").width(), 16);
    EXPECT_EQ(pictureSize("tree_opened.bmp").width(), 16);
    for (const char* name : {"checkboxes.png", "treeroot.png", "contacts.png", "message.png",
                             "calllog.png", "tree_closed.bmp", "tree_opened.bmp"})
        EXPECT_LE(frameSize(name).height(), 25) << name; // tree rows are 25 high
    for (const char* name : {"checkbox.png", "deleted.png", "inc.png", "dec.png"})
        EXPECT_LE(frameSize(name).height(), 30) << name; // list rows and header are 30 high
    EXPECT_LE(pictureSize("inc.png").width(), 18);       // drawn 20 left of a column's edge
    EXPECT_EQ(pictureSize("list_hearder.bmp").height(), 30);
    EXPECT_GE(pictureSize("list_hearder.bmp").width(), 3); // the header stretches column 2
    // The About box draws its texts down to (40, 310) and its notice up to x 450.
    EXPECT_GE(pictureSize("aboutbk.png").width(), 460);
    EXPECT_GE(pictureSize("aboutbk.png").height(), 330);
    EXPECT_GE(pictureSize("msgbox.png").width(), 300);
}
