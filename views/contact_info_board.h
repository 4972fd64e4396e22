// The contact board: the contact's picture, name and organization lines, then
// one label/value pair per phone number and e-mail address, scrolled by its
// own bar in pixels.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <vector>

#include "records/call_records.h"
#include "records/contact_fields.h"
#include "records/deep_conversations.h"
#include "records/record_nodes.h"
#include "skin/ui_helpers.h"

class QScrollBar;

namespace fennaro {

// One label/value pair of the contact board, in content pixels.
struct BoardItem {
    QString label;
    skin::SkinRect labelRect;
    QString value;
    skin::SkinRect valueRect;
    // The value's lines as they show, each lineHeight tall (0 for an empty
    // value).
    std::vector<QString> valueLines;
    int lineHeight = 0;
    // A deleted field: drawn in red with the trash mark.
    bool deleted = false;
};

class CContactInfoBoard : public QWidget {
    Q_OBJECT
  public:
    // A wheel notch moves this many pixels.
    static constexpr int kWheelPixels = 10;
    // The first item's top.
    static constexpr int kFirstItemY = 100;
    // The room left below items that run past the board's bottom.
    static constexpr int kSpacerHeight = 15;

    // Places the board at (733, 34) of the main window, 241 x 575, shown.
    explicit CContactInfoBoard(QWidget* mainDlg);

    // Sets the index a live contact's data rows are found through; null:
    // none, so a live contact shows its name only.
    void setIndex(const ContactDataIndex* index);
    // Shows a contact, live or deleted, from the top; null leaves the board
    // as it is.
    void showContact(const ContactNode* record);
    // Shows a deep mode contact: a live one with its fields and then its
    // deleted ones, or a deleted one with all its fields (name, phones,
    // e-mails, company, address, website, birthday, note), each deleted
    // field marked. Null leaves the board as it is.
    void showDeepContact(const deep::DeepContact* contact);
    // Shows a call of the call log (views/call_board.cpp): the party as the
    // name, then Number, Date, Time, Type, Duration and, for a live call, its
    // File; for a deleted one its Evidence, File, Page, Offset and Frame,
    // every item marked. Null leaves the board as it is.
    void showCall(const deep::CallRecord* call);
    // Whether the whole contact (or call) shown is deleted (its name carries
    // the mark).
    bool deletedContact() const { return m_deletedContact; }
    // Drops every item, text and the index, so the board holds nothing of the
    // records the store is about to free.
    void clearContent();
    // Marks the search's text in the name and the values (case ignored;
    // empty: none).
    void setHighlight(const QString& term);

    // The four header lines: name, company, second and third organization line.
    const QString& name() const { return m_name; }
    const QString& company() const { return m_company; }
    const QString& secondLine() const { return m_secondLine; }
    const QString& thirdLine() const { return m_thirdLine; }
    // The label/value pairs in order, the spacer last when there is one.
    const std::vector<BoardItem>& items() const { return m_items; }
    // Returns the rectangle the name is drawn in, in content pixels.
    QRect nameRect() const;

    // Returns the height the bar scrolls over: the items' bottom, plus the
    // spacer when they run past the board's bottom.
    int scrollExtent() const { return m_extent; }
    // Returns the bar's position (the content row shown at the top) and its
    // maximum, in pixels.
    int scrollPosition() const;
    int scrollMaximum() const;
    // Moves the bar to a position (clamped), repainting when it changed.
    void setScrollPosition(int pixels);
    QScrollBar* verticalBar() const { return m_bar; }
    // Returns the area the contact is painted in: the board without the bar.
    QRect clientRect() const;

  protected:
    // Paints the background, the edge line and the part of the contact shown.
    void paintEvent(QPaintEvent* event) override;
    // Moves 10 pixels per wheel notch: down when turned towards the user.
    void wheelEvent(QWheelEvent* event) override;
    // A left click takes the keyboard focus, so the wheel and keys reach the board.
    void mousePressEvent(QMouseEvent* event) override;
    // Arrow, page, Home and End keys scroll as the bar's own buttons would.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Empties the header lines and the items.
    void dropTexts();
    // Adds a label/value pair below the last one.
    void addItem(QString label, QString value);
    // Ends the layout: the spacer, the extent and the bar, from the top.
    void finishLayout();
    // Takes a new bar position as the drawing offset and repaints.
    void scrolledTo(int pixels);
    // Paints the header lines and the picture, shifted up by the offset.
    void paintHeader(QPainter& p, const QRect& visible);

    const ContactDataIndex* m_index = nullptr;
    QImage m_picture;
    QImage m_deletedMark;
    bool m_deletedContact = false;
    QString m_name;
    // The search's text, marked where it stands.
    QString m_highlight;
    QString m_company;
    QString m_secondLine;
    QString m_thirdLine;
    std::vector<BoardItem> m_items;
    // The top of the next item, in content pixels.
    int m_nextY = kFirstItemY;
    int m_extent = 0;
    QScrollBar* m_bar = nullptr;
    // The content row shown at the board's top.
    int m_offset = 0;
    int m_wheelRest = 0;
};

} // namespace fennaro
