// The skinned message box: background picture, an icon for the kind of
// message, the product title, the text and one or two picture buttons.
// Show returns the control id of the button that ended it.
#pragma once

#include "skin/img_button.h"
#include "skin/window_helpers.h"

#include <QDialog>
#include <QImage>
#include <QString>

namespace skin {

class CMsgBox : public QDialog {
    Q_OBJECT
  public:
    // Message kinds (the icon shown).
    static constexpr int kWarn = 0;
    static constexpr int kError = 1;
    static constexpr int kInfo = 2;
    static constexpr int kRight = 3;
    // Button flags.
    static constexpr int kOk = 0x1;
    static constexpr int kYes = 0x2;
    static constexpr int kCancel = 0x4;
    static constexpr int kNo = 0x8;
    // Control ids, which Show returns.
    static constexpr int IDC_CLOSE = 1010;
    static constexpr int IDC_OK = 1011;
    static constexpr int IDC_YES = 1012;
    static constexpr int IDC_NO = 1014;
    static constexpr int IDC_CANCEL = 1015;

    // Loads the background picture; the box is set up by Show or Prepare.
    explicit CMsgBox(QWidget* parent = nullptr);

    // Shows the box modally over owner (the active window when null) and
    // returns the id of the button pressed (1010 for close or Escape).
    int Show(int kind, int flags, const QString& text, QWidget* owner = nullptr);

    // Builds a box, shows it modally and returns the id of the button pressed.
    static int Run(int kind, int flags, const QString& text, QWidget* owner = nullptr);

    // Sets the box up for a message without running it: size, place, icon
    // and buttons. Show calls it; tests and the gallery use it directly.
    void Prepare(int kind, int flags, const QString& text, QWidget* owner = nullptr);

    // Returns the button with a control id, or null.
    CImgButton* Button(int id);
    // Returns the icon rectangle.
    QRect IconRect() const { return iconRect_; }
    // Returns the message text.
    QString Text() const { return text_; }
    // Returns the rectangle the message is drawn in: the whole height for one
    // line, else the centred block of wrapped lines, kept clear of the caption
    // band and the buttons.
    QRect TextRect() const;

  public slots:
    // Ends the box with the close id when the user presses Escape.
    void reject() override;

  protected:
    // Composes the box off screen and lets the buttons capture their backdrop.
    void paintEvent(QPaintEvent* e) override;
    // Starts dragging the box by its background.
    void mousePressEvent(QMouseEvent* e) override;
    // Moves the box while it is dragged.
    void mouseMoveEvent(QMouseEvent* e) override;

  private:
    // Returns the room for text between the caption band and the buttons.
    QRect SafeTextArea() const;
    // Places the shown buttons in one row 15 pixels above the bottom edge.
    void LayoutButtons();

    QImage background_;
    QImage icon_;
    int kind_ = 0;
    int flags_ = 0;
    CImgButton close_;
    CImgButton ok_;
    CImgButton yes_;
    CImgButton no_;
    CImgButton cancel_;
    QString text_;
    QRect iconRect_{20, 0, 40, 40};
    WindowDragger dragger_;
};

} // namespace skin
