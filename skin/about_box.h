// The skinned About dialog: product title, version, a notice, the rights
// line and a link to the maker's home page.
#pragma once

#include "platform/product_identity.h"

#include "skin/hyper_link.h"
#include "skin/img_button.h"
#include "skin/window_helpers.h"

#include <QDialog>
#include <QImage>
#include <QString>

namespace skin {

// The maker's home page the About box links to.
inline constexpr const char* kHomePageUrl = fennaro::kHomePageUrl;

// Returns the program's version text, "1.5.0.0".
QString AppVersionText();

class CAboutBox : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDC_ABOUT_CLOSE = 1024;
    static constexpr int IDC_ABOUT_OK = 1027;

    // Builds the box, sized to its background and centred over owner.
    explicit CAboutBox(QWidget* owner = nullptr, const QString& version = AppVersionText());

    // Runs the box modally; returns 1024 or 1027 (1024 for Escape).
    int Show();

    // Returns the close (1024) or OK (1027) button, else null.
    CImgButton* Button(int id);
    // Returns the home-page link.
    CHyperLink* Link() { return &link_; }
    // Returns the version text shown.
    QString Version() const { return version_; }

  public slots:
    // Ends the box with the close id when the user presses Escape.
    void reject() override;

  protected:
    // Composes the box off screen and lets the buttons capture their backdrop.
    void paintEvent(QPaintEvent* e) override;
    // Gives the window its rounded shape at every size change.
    void resizeEvent(QResizeEvent* e) override;
    // Starts dragging the box by its background.
    void mousePressEvent(QMouseEvent* e) override;
    // Moves the box while it is dragged.
    void mouseMoveEvent(QMouseEvent* e) override;

  private:
    QImage background_;
    CImgButton close_;
    CImgButton ok_;
    CHyperLink link_;
    QRect noticeRect_{QPoint(40, 190), QPoint(449, 253)};
    QString version_;
    WindowDragger dragger_;
};

} // namespace skin
