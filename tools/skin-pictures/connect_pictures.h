// The connect screen's pictures: the three-step guide, the connecting animation, the failure.
#pragma once

#include "gif_writer.h"

#include <QImage>
#include <QList>

// The step picture drawn at (1, 74): connect by USB, turn on USB debugging, allow root.
QImage stepGuidePicture();

// The frames of the connecting animation (785 x 331): data flowing from phone to computer.
QList<GifFrame> connectingAnimation();

// The failure picture (785 x 331): the link between phone and computer is broken.
QImage connectFailedPicture();
