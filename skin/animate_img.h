// A looping busy animation from an eight-frame picture strip.
#pragma once

#include "skin/animate_static_base.h"

#include <QImage>
#include <QString>

namespace skin {

class CAnimateImg : public CAnimateStaticBase {
    Q_OBJECT
  public:
    // Builds a stopped animation with a one-frame strip.
    explicit CAnimateImg(QWidget* parent = nullptr);

    // Replaces the strip with the picture at path; true (the picture may
    // still have failed to load, which leaves only the background).
    bool Load(const QString& path);
    // Sets eight frames and computes the frame size from the strip.
    void SetFrames();
    // Moves the control to (x, y) sized to one frame; flags show or hide it.
    bool MoveTo(int x, int y, int flags) override;
    // Starts the frame timer unless it runs already.
    void Start();
    // Stops the frame timer if it runs.
    void Stop();

    // Returns the index of the frame shown.
    int CurrentFrame() const { return currentFrame_; }
    // Returns the number of frames.
    int FrameCount() const { return frameCount_; }
    // Returns the frame width.
    int FrameWidth() const { return frameWidth_; }
    // Returns the frame height.
    int FrameHeight() const { return frameHeight_; }

    // Fills the background and draws the current frame.
    void OnPaint(QPainter& p) override;
    // Moves to the next frame on a tick of the control's own timer.
    void OnTimer(int timerId) override;

  private:
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    QImage image_;
    int frameCount_ = 1;
    int currentFrame_ = 0;
};

} // namespace skin
