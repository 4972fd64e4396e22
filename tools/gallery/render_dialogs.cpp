#include "render.h"

#include "skin/about_box.h"
#include "skin/image_path.h"
#include "skin/msg_box.h"

#include <QTemporaryDir>

namespace gallery {

using namespace skin;

void RenderDialogs(Shots& shots) {
    struct Case {
        const char* name;
        int kind;
        int flags;
        QString text;
    } cases[] = {
        {"msgbox_warn_yes_no", 0, 10,
         "Are you sure to go back to reload the data from Android phone?"},
        {"msgbox_warn_ok", 0, 1, "Please select the file(s) you want to recover."},
        {"msgbox_error_ok_cancel", 1, 5, "Something went wrong."},
        {"msgbox_info_yes_no", 2, 10, "New version found,are you sure to Update?"},
        {"msgbox_right_ok", 3, 1, "Recovering finished, 12 files have been recovered."},
        {"msgbox_huge_text", 0, 1, QString("A very long message that goes on. ").repeated(400)},
    };
    for (const Case& c : cases) {
        CMsgBox box;
        box.Prepare(c.kind, c.flags, c.text);
        shots.Save(box, c.name);
    }
    CAboutBox about;
    shots.Save(about, "about");
    // Without any pictures both boxes still show text and usable buttons.
    const QString folder = ImageFolder();
    QTemporaryDir empty;
    SetImageFolder(empty.path());
    CMsgBox bare;
    bare.Prepare(0, 10, "Shown without any skin pictures.");
    shots.Save(bare, "msgbox_no_pictures");
    CAboutBox bareAbout;
    shots.Save(bareAbout, "about_no_pictures");
    SetImageFolder(folder);
}

} // namespace gallery
