// Writes the whole skin into a folder.
#pragma once

#include <QString>
#include <QStringList>

// Draws every picture of the skin and writes it into dir (which must exist). Returns the file
// names that could not be written; empty on success.
QStringList writeSkinPictures(const QString& dir);
