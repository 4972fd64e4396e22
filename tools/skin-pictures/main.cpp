// fennaro-skin-pictures OUT_DIR [ICON_DIR]: draws the skin pictures of the program into OUT_DIR
// and, when given, the program's desktop icons into ICON_DIR.
#include "picture_set.h"
#include "program_icons.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

// Makes a folder and writes one set of pictures into it; returns whether all were written.
template <typename Write>
bool writeInto(const char* folder, Write write) {
    const QString dir = QString::fromLocal8Bit(folder);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "fennaro-skin-pictures: cannot create %s\n", folder);
        return false;
    }
    const QStringList failed = write(dir);
    for (const QString& name : failed)
        std::fprintf(stderr, "fennaro-skin-pictures: cannot write %s\n", qPrintable(name));
    return failed.isEmpty();
}

// Checks the arguments, makes the folders and writes every picture; exit status 0 on success,
// 1 when a picture could not be written, 2 on a wrong command line.
int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: fennaro-skin-pictures OUT_DIR [ICON_DIR]\n");
        return 2;
    }
    // Text needs a GUI application, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    bool written = writeInto(argv[1], writeSkinPictures);
    if (argc == 3)
        written = writeInto(argv[2], writeProgramIcons) && written;
    return written ? 0 : 1;
}
