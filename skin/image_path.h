// Where the skin pictures live: one process-wide folder, set once at start-up.
#pragma once

#include <QString>

namespace skin {

// Sets the image folder; a missing trailing slash is added.
void SetImageFolder(const QString& folder);

// Returns the image folder, defaulting to the program's folder + "/image/".
QString ImageFolder();

// Returns the full path of a skin picture file inside the image folder.
QString MakeImagePath(const QString& fileName);

} // namespace skin
