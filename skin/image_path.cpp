#include "skin/image_path.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace skin {

namespace {

// Holds the folder; empty until set or first read.
QString& FolderSlot() {
    static QString folder;
    return folder;
}

// Returns the program's own folder, from Qt when an application exists, else
// from the link to the running executable.
QString ProgramFolder() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2);
}

} // namespace

void SetImageFolder(const QString& folder) {
    QString f = folder;
    if (!f.endsWith('/'))
        f += '/';
    FolderSlot() = f;
}

QString ImageFolder() {
    if (FolderSlot().isEmpty())
        SetImageFolder(ProgramFolder() + QStringLiteral("/image/"));
    return FolderSlot();
}

QString MakeImagePath(const QString& fileName) {
    return ImageFolder() + fileName;
}

} // namespace skin
