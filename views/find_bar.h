// The data screen's search field: a line edit in the title bar with the
// count of matching rows beside it ("12 of 20,100"). It only tells what the
// user typed and asked for; the window filters the rows and steps through
// the matches.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace fennaro {

class FindBar : public QWidget {
    Q_OBJECT
  public:
    // Places the bar in the title bar of the main window, hidden.
    explicit FindBar(QWidget* mainDlg);

    // The field, for the tests and the tour.
    QLineEdit* field() const { return m_field; }
    // The text typed, and the count shown beside it.
    QString text() const;
    QString countText() const;
    // Shows "shown of total" (thousands grouped), or nothing for an empty search.
    void setCount(qsizetype shown, qsizetype total);
    // Gives the field the keyboard focus with its text selected (Ctrl+F).
    void focusField();
    // Empties the field (Escape); textEdited follows with an empty text.
    void clear();

  signals:
    // The text changed by the user (or cleared).
    void textEdited(const QString& text);
    // Enter or F3 (forward) and Shift+Enter or Shift+F3 (backward).
    void stepRequested(bool forward);

  protected:
    // Enter steps, Escape clears; other keys go to the field.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* m_field = nullptr;
    QLabel* m_count = nullptr;
};

} // namespace fennaro
