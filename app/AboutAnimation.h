// The about view's animation: a small waterfall in which a CW signal keys
// "CQ DE KEB 73" in Morse over a noisy band, one line every frame, newest at
// the top. Clicking it fires OnClick. Runs only between Start and Stop; the
// picture keeps its last frame while stopped. Main thread only.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

namespace keb
{

class TAboutAnimation : public QWidget
{
  public:
    explicit TAboutAnimation(QWidget* parent = nullptr);

    void Start();
    void Stop();
    bool Animating() const { return timer_.isActive(); }
    // Frames drawn since construction.
    std::uint64_t FrameCount() const { return frame_; }
    // Draws the next frame at once (the timer calls it too).
    void NextFrame();

    std::function<void()> OnClick;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    bool KeyDown() const;
    std::uint32_t NextNoise();

    QTimer timer_;
    QImage picture_;
    std::vector<bool> keying_; // one entry per Morse unit: key down or up
    std::uint64_t frame_ = 0;
    std::uint32_t noiseState_ = 0x4B4542;
};

} // namespace keb
