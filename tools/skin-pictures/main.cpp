// fennaro-skin-pictures OUT_DIR: draws the skin pictures of the program into OUT_DIR.
#include "picture_set.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

// Checks the argument, makes the folder and writes every picture; exit status 0 on success,
// 1 when a picture could not be written, 2 on a wrong command line.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fennaro-skin-pictures OUT_DIR\n");
        return 2;
    }
    // Text needs a GUI application, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "fennaro-skin-pictures: cannot create %s\n", argv[1]);
        return 1;
    }
    const QStringList failed = writeSkinPictures(dir);
    for (const QString& name : failed)
        std::fprintf(stderr, "fennaro-skin-pictures: cannot write %s\n", qPrintable(name));
    return failed.isEmpty() ? 0 : 1;
}
