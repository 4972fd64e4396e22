// The colours of the two detail boards.
#pragma once

#include <QColor>

namespace fennaro {

inline const QColor kContactBoardBackground(240, 245, 255);
inline const QColor kMsgBoardBackground(244, 247, 250);
// The one-pixel line along the left edge of both boards.
inline const QColor kBoardEdgeLine(200, 200, 200);
inline const QColor kContactNameColor(100, 100, 240);
inline const QColor kOrganizationColor(0, 0, 0);
inline const QColor kItemLabelColor(150, 150, 150);
inline const QColor kItemValueColor(50, 50, 50);
// The edge and the texts of deleted records on the boards.
inline const QColor kDeletedEdgeColor(208, 0, 0);
inline const QColor kReceivedBubbleFill(216, 216, 216);
inline const QColor kSentBubbleFill(136, 193, 33);
// The sent fill an item's alternate colour flag selects; no item sets it.
inline const QColor kSentBubbleAlternateFill(152, 200, 253);
inline const QColor kMessageTextColor(0, 0, 0);

} // namespace fennaro
