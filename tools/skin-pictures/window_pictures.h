// The two backgrounds of the 984 x 674 main window.
#pragma once

#include <QImage>

// The connect screen: title bar, a heading over the step picture, room for the animation and
// the failure texts.
QImage connectScreenBackground();

// The data screen: title bar, white panels behind the tree, the list and the detail board, and
// the status bar that holds the busy strip, the progress bar and the action buttons.
QImage dataScreenBackground();
