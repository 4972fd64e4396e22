// A push button drawn from a picture strip: frame 0 normal, 1 hover,
// 2 pressed, 3 disabled, over a copy of its parent's pixels.
#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QString>

namespace skin {

class CImgButton : public QAbstractButton {
    Q_OBJECT
  public:
    // Makes a hidden button child of parent, answering to a control id.
    explicit CImgButton(QWidget* parent = nullptr, int id = 0);

    // Loads the strip, sizes the button to one frame and shows it at (x, y);
    // negative coordinates count from the parent's right or bottom edge.
    // Returns false without a parent or with a frame count below 1.
    bool Init(const QString& imagePath, int x, int y, int frameCount);

    // Copies the frame-sized area at (x, y) of the parent's finished picture
    // to use as the backdrop of every frame.
    void CaptureBackground(const QImage& parentPicture, int x, int y);

    // Gives a button whose strip did not load a plain text face of the given
    // size, so a dialog is never left without a way out.
    void UseTextFallback(const QString& text, const QSize& size);

    // Returns the frame the next painting shows for the current state.
    int CurrentFrame() const;

    // Returns the control id the button reports in commandClicked.
    int Id() const { return id_; }
    // Sets the control id.
    void SetId(int id) { id_ = id; }

    // Returns the size of one frame (0 x 0 when the strip did not load).
    int FrameWidth() const { return frameWidth_; }
    // Returns the frame height.
    int FrameHeight() const { return frameHeight_; }
    // Returns the number of frames in the strip.
    int FrameCount() const { return frameCount_; }
    // Returns nonzero while the pointer hovers over the button.
    int Hovering() const { return hovering_; }

  signals:
    // Sent on every click with the button's control id.
    void commandClicked(int id);

  protected:
    // Draws the backdrop and the frame for the current state.
    void paintEvent(QPaintEvent* e) override;
    // Shows the hover frame when the pointer arrives.
    void enterEvent(QEnterEvent* e) override;
    // Shows the normal frame when the pointer leaves.
    void leaveEvent(QEvent* e) override;
    // Ends hover tracking and presses the button.
    void mousePressEvent(QMouseEvent* e) override;
    // Re-arms hover tracking after a press was released.
    void mouseMoveEvent(QMouseEvent* e) override;
    // Drops hover, press and hand cursor while disabled.
    void changeEvent(QEvent* e) override;

  private:
    QImage image_;
    int hovering_ = 0;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    int frameCount_ = 0;
    QImage background_;
    int id_ = 0;
    QString fallbackText_;
};

} // namespace skin
