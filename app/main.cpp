// quillmet-fennaro: the window program. Start-up takes the single-instance
// lock, fixes the image folder beside the program file, runs the main window
// and returns its result as the exit status.
#include <QApplication>
#include <cstdlib>
#include <new>

#include "app/main_dlg.h"
#include "app/program_info.h"
#include "platform/instance_lock.h"
#include "platform/product_identity.h"
#include "platform/program_paths.h"
#include "skin/font_pool.h"
#include "skin/image_path.h"

namespace {

// The exit status when the window cannot be made.
constexpr int kNoWindow = -1;

// True when Qt has a window system to talk to: a display, a Wayland
// socket, or a platform named explicitly (offscreen, for instance).
bool windowSystemAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (auto status = fennaro::handleInfoOption(argc, argv, fennaro::kWindowProgramName,
                                                fennaro::windowHelpText()))
        return *status;
    // A second start ends at once, with no window and no message. A lock
    // that cannot be made at all counts as the first instance.
    if (fennaro::platform::acquireInstanceLock(fennaro::kProductName) ==
        fennaro::platform::InstanceLock::HeldElsewhere)
        return 0;
    if (!windowSystemAvailable())
        return kNoWindow;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(fennaro::kProductName));
    skin::RegisterSkinFonts();
    const std::string programFolder = fennaro::platform::programFolder();
    skin::SetImageFolder(QString::fromStdString(programFolder) + QStringLiteral("/image/"));

    fennaro::MainDlgOptions options;
    options.programFolder = programFolder;
    options.homeFolder = fennaro::platform::homeFolder();
    try {
        fennaro::CMainDlg dialog(options);
        return dialog.exec();
    } catch (const std::bad_alloc&) {
        return kNoWindow;
    }
}
