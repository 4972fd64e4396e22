// The message board: every message of the selected conversation as a bubble,
// received ones on the left and sent ones on the right, each under its date
// line, scrolled by its own bar in steps of 10 pixels.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "records/conversation_index.h"
#include "records/deep_conversations.h"
#include "records/record_nodes.h"
#include "views/msg_info_item.h"

class QScrollBar;

namespace fennaro {

class BubblePictures;

class CMsgInfoBoard : public QWidget {
    Q_OBJECT
  public:
    // One scroll unit of the bar is this many pixels.
    static constexpr int kScrollUnit = 10;
    // A wheel notch moves this many units.
    static constexpr int kWheelUnits = 5;

    // Places the board at (723, 34) of the main window, 251 x 575, shown.
    explicit CMsgInfoBoard(QWidget* mainDlg);
    ~CMsgInfoBoard() override;

    // Sets the index the messages of live conversations are found through;
    // null: none, so live conversations show nothing.
    void setIndex(const ConversationIndex* index);
    // Shows every message of a live conversation, or the one message of a
    // deleted SMS, from the top; null clears the board.
    void showConversation(const ThreadNode* record);
    // Shows a deep mode conversation: its live and deleted messages in date
    // order, the deleted ones marked; undated ones under "(no date)". Null
    // clears the board.
    void showDeepConversation(const deep::DeepConversation* conversation);
    // Shows a deep mode conversation scrolled so that one of its messages
    // (by its place in conversation->messages) stands near the top
    // (msg_info_board_jump.cpp).
    void showDeepMessage(const deep::DeepConversation* conversation, size_t entry);
    // Drops every item and the index, so the board holds nothing of the
    // records the store is about to free.
    void clearContent();

    // The items in order from the top.
    const std::vector<CMsgInfoItem>& items() const { return m_items; }
    // Returns the content height of the next item's top: 30 for the first.
    int nextItemY() const;
    // Appends an item made for nextItemY(); addMessageItem calls it.
    void appendItem(CMsgInfoItem item);
    // The fonts items are measured and drawn with.
    MsgItemFonts& itemFonts() { return *m_fonts; }

    // Returns the height of everything shown: 30 plus the items' heights.
    int contentHeight() const;
    // Sets the bar's range to the content; the position is kept in range.
    void updateScrollRange();
    // Returns the bar's position in units of 10 pixels, and its maximum.
    int scrollPosition() const;
    int scrollMaximum() const;
    // Moves the bar to a position (clamped), repainting when it changed.
    void setScrollPosition(int units);
    // The bar, for tests and timing.
    QScrollBar* verticalBar() const { return m_bar; }
    // Returns the area the items are painted in: the board without the bar.
    QRect clientRect() const;

    // Marks the search's text in the bodies (case ignored; empty: none) and
    // forgets the current match.
    void setHighlight(const QString& term);
    // Makes the next (or previous) message holding the text the current
    // match, from the current one or, without one, from the top (bottom),
    // and scrolls it into view. False when none lies that way.
    bool stepMatch(bool forward);
    // The item of the current match; -1 without one.
    int currentMatch() const { return m_currentMatch; }

  protected:
    // Paints the background, the edge line and the items that show.
    void paintEvent(QPaintEvent* event) override;
    // Moves 5 units per wheel notch: down when turned towards the user.
    void wheelEvent(QWheelEvent* event) override;
    // A left click takes the keyboard focus, so the wheel and keys reach the board.
    void mousePressEvent(QMouseEvent* event) override;
    // Arrow, page, Home and End keys scroll as the bar's own buttons would.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Takes a new bar position as the drawing offset and repaints.
    void scrolledTo(int units);
    // Returns the first item whose bottom lies below a content height.
    std::size_t firstItemBelow(long long contentY) const;

    const ConversationIndex* m_index = nullptr;
    std::vector<CMsgInfoItem> m_items;
    std::unique_ptr<MsgItemFonts> m_fonts;
    std::unique_ptr<BubblePictures> m_pictures;
    QScrollBar* m_bar = nullptr;
    // The content row shown at the board's top, in pixels.
    int m_offset = 0;
    // Wheel turning not yet worth a whole notch.
    int m_wheelRest = 0;
    // The search's text and the item of the current match.
    QString m_highlight;
    int m_currentMatch = -1;
};

} // namespace fennaro
