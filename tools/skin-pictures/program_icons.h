// The program's icon for the desktop's menus and launchers, at the sizes the
// package installs, drawn from the same mark as the title bars.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <array>

// The icon sizes in pixels, one square picture each.
inline constexpr std::array<int, 3> kProgramIconSizes = {48, 128, 256};

// Returns the file name of the icon of one size: "quillmet-fennaro-48.png".
QString programIconFileName(int size);

// Draws the icon at size × size pixels on a transparent ground.
QImage programIcon(int size);

// Writes the icon at every size into dir (which must exist). Returns the file names that could
// not be written; empty on success.
QStringList writeProgramIcons(const QString& dir);
