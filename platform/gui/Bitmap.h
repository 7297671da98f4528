// An off-screen bitmap: 32-bit RGB pixels in a QImage.
//
// A bitmap is empty until it has a size or a picture. Its transparent colour
// is the colour of its bottom-left pixel, the convention of the pictures the
// controls draw "with their transparent colour" (see TCanvas::DrawTransparent).
// Changing the picture through SetSize, Assign or LoadFromImage fires OnChange;
// drawing on it through a TCanvas does not. Main thread only (Qt's rule for
// painting is relaxed for QImage, but the controls share bitmaps unguarded).
#pragma once

#include "platform/gui/Colors.h"

#include <QImage>
#include <functional>

namespace keb
{

class TBitmap
{
  public:
    TBitmap() = default;
    TBitmap(int width, int height);

    bool Empty() const { return image_.isNull(); }
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }

    // Resizes to width x height (negative sizes count as 0); the content is
    // undefined afterwards. A size of 0 makes the bitmap empty.
    void SetSize(int width, int height); // pixels

    // Copies the picture of source (an empty source empties this bitmap).
    void Assign(const TBitmap& source);

    // Takes a copy of image, converted to 32-bit RGB.
    void LoadFromImage(const QImage& image);

    // The colour of the bottom-left pixel (black for an empty bitmap).
    TColor TransparentColor() const;

    TColor Pixel(int x, int y) const;

    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }

    std::function<void(TBitmap* sender)> OnChange;

  private:
    void Changed();

    QImage image_;
};

} // namespace keb
