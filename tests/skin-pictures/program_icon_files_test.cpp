// The checked-in desktop icons: one square PNG per size the package installs, with a transparent
// margin round an opaque mark, and the same pixels a fresh run of the generator draws.
#include <QDir>
#include <QImageReader>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const int kSizes[] = {48, 128, 256};

// The checked-in icons.
const QString kCheckedInDir = QStringLiteral(FENNARO_ICON_SOURCE_DIR);

// The folder under test: the checked-in icons, or a fresh run of the generator when
// FENNARO_ICON_DIR names one.
const QString kIconDir = qEnvironmentVariableIsEmpty("FENNARO_ICON_DIR")
                             ? kCheckedInDir
                             : qEnvironmentVariable("FENNARO_ICON_DIR");

// Returns the path of the icon of one size in a folder.
QString iconPath(const QString& dir, int size) {
    return dir + QStringLiteral("/quillmet-fennaro-%1.png").arg(size);
}

} // namespace

TEST(ProgramIcons, EachSizeIsASquarePngWithATransparentMargin) {
    QStringList expected;
    for (int size : kSizes) {
        SCOPED_TRACE(size);
        expected.append(QStringLiteral("quillmet-fennaro-%1.png").arg(size));
        QImageReader reader(iconPath(kIconDir, size));
        EXPECT_EQ(reader.format(), QByteArray("png"));
        const QImage icon = reader.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(icon.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size - 1, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    }
    expected.sort();
    EXPECT_EQ(QDir(kIconDir).entryList(QDir::Files, QDir::Name), expected);
}

TEST(ProgramIcons, TheCheckedInIconsAreTheGeneratorsOwn) {
    if (kIconDir == kCheckedInDir)
        GTEST_SKIP() << "needs a fresh run of the generator in FENNARO_ICON_DIR";
    for (int size : kSizes) {
        SCOPED_TRACE(size);
        const QImage fresh =
            QImage(iconPath(kIconDir, size)).convertToFormat(QImage::Format_ARGB32);
        const QImage stored =
            QImage(iconPath(kCheckedInDir, size)).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(fresh.size(), stored.size());
        // Antialiasing may round a channel differently on another machine; a changed drawing
        // moves far more than that.
        int worst = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb a = fresh.pixel(x, y);
                const QRgb b = stored.pixel(x, y);
                for (int shift : {0, 8, 16, 24})
                    worst = std::max(worst,
                                     std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
            }
        }
        EXPECT_LE(worst, 2) << "run: build/bin/fennaro-skin-pictures image packaging/icons";
    }
}
