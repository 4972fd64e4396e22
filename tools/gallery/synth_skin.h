// Stand-in skin pictures for the gallery when the real ones are missing.
#pragma once

#include <QString>
#include <QStringList>

namespace gallery {

// Returns every skin picture file name the controls use.
QStringList SkinFileNames();

// Writes a stand-in picture for a skin file name into a folder; false when
// the name is unknown or the file cannot be written.
bool SynthesizeSkinFile(const QString& folder, const QString& fileName);

} // namespace gallery
