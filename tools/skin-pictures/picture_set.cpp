#include "picture_set.h"

#include "bubble_pieces.h"
#include "button_strips.h"
#include "connect_pictures.h"
#include "dialog_pictures.h"
#include "gif_writer.h"
#include "list_tree_pictures.h"
#include "paint_kit.h"
#include "window_pictures.h"

#include <QDir>

#include <utility>
#include <vector>

namespace {

// The main window's title-bar buttons are 20 high; home and help are a little wider.
const QSize kTitleButton(20, 20);
const QSize kWideTitleButton(24, 20);
// Dialog buttons and the main window's action buttons are 28 high.
const QSize kDialogButton(80, 28);

// Returns every still picture of the skin with its file name.
std::vector<std::pair<QString, QImage>> stillPictures() {
    using K = ButtonKind;
    std::vector<std::pair<QString, QImage>> pictures = {
        {"mainbg1.png", connectScreenBackground()},
        {"mainbg2.png", dataScreenBackground()},
        {"step1.png", stepGuidePicture()},
        {"loadfail.png", connectFailedPicture()},
        {"contacts.png", treeRowPicture(Glyph::Person, QColor(tone::teal))},
        {"message.png", treeRowPicture(Glyph::Bubble, QColor(0x2F7FC1))},
        {"calllog.png", treeRowPicture(Glyph::Phone, QColor(0x3C9A5F))},
        {"treeroot.png", treeRowPicture(Glyph::Phone, QColor(tone::navyLight))},
        {"min.png", iconButtonStrip(Glyph::Minimise, kTitleButton, 4)},
        {"close.png", iconButtonStrip(Glyph::Close, kTitleButton, 4, true)},
        {"menu.png", iconButtonStrip(Glyph::Menu, kTitleButton, 3)},
        {"btn_home.png", iconButtonStrip(Glyph::Home, kWideTitleButton, 4)},
        {"btn_help.png", iconButtonStrip(Glyph::Help, kWideTitleButton, 4)},
        {"back.png", textButtonStrip("Back", Glyph::Back, {76, 28}, 3, K::Secondary)},
        {"pause.png", textButtonStrip("Pause", Glyph::Pause, {76, 28}, 4, K::Secondary)},
        {"continue.png", textButtonStrip("Continue", Glyph::Play, {76, 28}, 4, K::Primary)},
        {"stop.png", textButtonStrip("Stop", Glyph::Stop, {64, 28}, 4, K::Secondary)},
        {"recover.png", textButtonStrip("Recover", Glyph::Recover, {100, 28}, 3, K::Primary)},
        {"refresh.png", textButtonStrip("Refresh", Glyph::Refresh, {100, 28}, 3, K::Primary)},
        {"ok.png", textButtonStrip("OK", std::nullopt, kDialogButton, 4, K::Primary)},
        {"yes.png", textButtonStrip("Yes", std::nullopt, kDialogButton, 4, K::Primary)},
        {"no.png", textButtonStrip("No", std::nullopt, kDialogButton, 4, K::Secondary)},
        {"cancel.png", textButtonStrip("Cancel", std::nullopt, kDialogButton, 4, K::Secondary)},
        {"animate.png", busyStrip()},
        {"checkbox.png", listCheckStrip()},
        {"checkboxes.png", treeCheckStrip()},
        {"deleted.png", deletedMarker()},
        {"list_hearder.bmp", headerBackground()},
        {"inc.png", sortArrow(true)},
        {"dec.png", sortArrow(false)},
        {"tree_closed.bmp", treeExpandPicture(false)},
        {"tree_opened.bmp", treeExpandPicture(true)},
        {"contactperson.png", contactPicture()},
        {"msgbox.png", messageBoxBackground()},
        {"aboutbk.png", aboutBoxBackground()},
        {"warn.png", messageIcon(Glyph::Exclamation, QColor(tone::amber), true)},
        {"error.png", messageIcon(Glyph::Cross, QColor(tone::danger))},
        {"info.png", messageIcon(Glyph::Info, QColor(tone::teal))},
        {"right.png", messageIcon(Glyph::Check, QColor(tone::success))},
    };
    for (bool sent : {false, true}) {
        for (BubblePiece& piece : bubblePieces(sent))
            pictures.emplace_back(piece.fileName, piece.image);
    }
    return pictures;
}

} // namespace

QStringList writeSkinPictures(const QString& dir) {
    QStringList failed;
    const QDir out(dir);
    for (const auto& [name, image] : stillPictures()) {
        if (!savePicture(image, out.filePath(name)))
            failed.append(name);
    }
    if (!writeGif(out.filePath(QStringLiteral("loaddata.gif")), connectingAnimation()))
        failed.append(QStringLiteral("loaddata.gif"));
    return failed;
}
