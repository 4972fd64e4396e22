// fennaro-gallery OUT_DIR [IMAGE_DIR]: renders every skinned control in each
// of its states, the message boxes and the About box to PNG files. Pictures
// come from IMAGE_DIR (default: the image folder beside the program); any
// that are missing there are synthesised.
#include "render.h"
#include "synth_skin.h"

#include "skin/font_pool.h"
#include "skin/image_path.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    // Renders off screen unless a platform was asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: fennaro-gallery OUT_DIR [IMAGE_DIR]\n");
        return 2;
    }
    const QString outDir = args[1];
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "fennaro-gallery: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    const QString source = args.size() == 3 ? args[2] : app.applicationDirPath() + "/image";
    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "fennaro-gallery: no temporary folder\n");
        return 1;
    }
    int synthesised = 0;
    for (const QString& name : gallery::SkinFileNames()) {
        const QString from = source + "/" + name;
        if (QFile::exists(from) && QFile::copy(from, work.path() + "/" + name))
            continue;
        if (gallery::SynthesizeSkinFile(work.path(), name))
            ++synthesised;
        else
            std::fprintf(stderr, "fennaro-gallery: could not make %s\n", qPrintable(name));
    }
    skin::SetImageFolder(work.path());
    skin::RegisterSkinFonts();
    gallery::Shots shots{outDir, {}, 0};
    gallery::RenderControls(shots);
    gallery::RenderDialogs(shots);
    std::printf("fennaro-gallery: %d pictures written to %s (%d skin files synthesised)\n",
                int(shots.written.size()), qPrintable(outDir), synthesised);
    return shots.failures ? 1 : 0;
}
