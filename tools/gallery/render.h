// Renders the skinned controls in their states to PNG files.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace gallery {

// Where the pictures go and which files were written.
struct Shots {
    QString outDir;
    QStringList written;
    int failures = 0;

    // Saves a widget's rendering as name.png and records the result.
    void Save(QWidget& w, const QString& name);
};

// Image buttons in each state, the list, the tree, the animation frames,
// links and message bubbles.
void RenderControls(Shots& shots);

// The message box for every kind and button set, and the About box.
void RenderDialogs(Shots& shots);

} // namespace gallery
