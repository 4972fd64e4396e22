// One message of the message board: its texts and its geometry, worked out
// once when the conversation is shown. Items are not widgets: the board paints
// those that meet its visible area, so a conversation of thousands of messages
// costs no more to scroll than a short one.
#pragma once

#include <QRect>
#include <QString>
#include <string_view>
#include <vector>

#include "skin/ui_helpers.h"
#include "views/bubble_text.h"

class QPainter;

namespace fennaro {

class BubblePictures;
class CMsgInfoBoard;

inline constexpr int kMsgKindReceived = 1;
inline constexpr int kMsgKindSent = 2;

// Items stand in one column, 10 pixels from the board's left, each 215 wide.
inline constexpr int kMsgItemX = 10;
inline constexpr int kMsgItemWidth = 215;
// The first item starts 30 pixels below the board's top.
inline constexpr int kFirstMsgItemY = 30;
// The band above a bubble that holds the date line.
inline constexpr int kMsgHeaderHeight = 30;
// A body wider than this on one line wraps.
inline constexpr int kMaxBubbleTextWidth = 160;
// The board's content never grows past this height: far beyond any phone's
// messages, and low enough that no position overflows.
inline constexpr long long kMaxMsgContentHeight = 1LL << 30;

struct CMsgInfoItem {
    // The message text and the date line above its bubble.
    QString body;
    QString header;
    // Place and size on the board, in content pixels.
    int x = kMsgItemX;
    int y = 0;
    int height = 0;
    int width = kMsgItemWidth;
    // The bubble inside the item.
    skin::SkinRect bubble;
    // 1 received (left, "in_" frame), 2 sent (right, "out_" frame).
    int kind = kMsgKindReceived;
    // Selects the sent bubble's alternate fill; no item sets it.
    int alternateColour = 0;
    // A deleted message: its bubble gets a red edge and the trash mark.
    bool deleted = false;
    // The body's width on one line in the measuring font, and the bubble's
    // text width taken from it.
    int oneLineWidth = 0;
    int textWidth = 0;
    // The body's lines as drawn, each lineHeight tall.
    std::vector<TextLine> lines;
    int lineHeight = 0;

    // Returns the rectangle inside the bubble that holds the body.
    QRect innerRect() const;
};

// The fonts the items are measured and drawn with, with their advance tables.
struct MsgItemFonts {
    MsgItemFonts();

    // Font 512 measures a body on one line, for the bubble's width.
    AdvanceTable measuring;
    // Font 256 draws the date lines and the bodies.
    AdvanceTable drawing;
};

// Works out an item's geometry for a body at content height y: the bubble's
// width from the body's one-line width, its height from the body wrapped to
// the bubble's inner width in the drawing font, so no line is cut off.
CMsgInfoItem layoutMsgInfoItem(MsgItemFonts& fonts, QString header, QString body, int kind, int y);

// Adds a message to a board below its last item. Texts are UTF-8; bytes that
// are not show as U+FFFD. Returns 1 when an item was made, 0 without a board,
// with an empty body, or when the board could not hold another item.
int addMessageItem(CMsgInfoBoard* board, std::string_view header, std::string_view body, int kind);

// Paints a deleted item's marks: a red edge round its bubble and the trash
// mark beside it.
void paintDeletedMarks(QPainter& p, const CMsgInfoItem& item, int left, int top,
                       const BubblePictures& pictures, const QRect& visible);

struct ItemHighlight;

// Paints an item whose top left is at (left, top) of the painter; visible is
// the area that can show. Only what meets it is drawn. With a highlight, the
// search's text is marked in the body.
void paintMsgInfoItem(QPainter& p, const CMsgInfoItem& item, int left, int top, MsgItemFonts& fonts,
                      const BubblePictures& pictures, const QRect& visible,
                      const ItemHighlight* highlight = nullptr);

} // namespace fennaro
