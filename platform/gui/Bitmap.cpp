#include "platform/gui/Bitmap.h"

#include <algorithm>

namespace keb
{

TBitmap::TBitmap(int width, int height)
{
    SetSize(width, height);
}

void TBitmap::SetSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == Width() && height == Height())
        return;
    image_ = width > 0 && height > 0 ? QImage(width, height, QImage::Format_RGB32) : QImage();
    Changed();
}

void TBitmap::Assign(const TBitmap& source)
{
    if (&source == this)
        return;
    image_ = source.image_;
    Changed();
}

void TBitmap::LoadFromImage(const QImage& image)
{
    image_ = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
    Changed();
}

TColor TBitmap::TransparentColor() const
{
    return Empty() ? clBlack : Pixel(0, Height() - 1);
}

TColor TBitmap::Pixel(int x, int y) const
{
    return FromQRgb(image_.pixel(x, y));
}

void TBitmap::Changed()
{
    if (OnChange)
        OnChange(this);
}

} // namespace keb
