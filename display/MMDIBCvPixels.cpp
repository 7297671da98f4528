#include "display/MMDIBCvPixels.h"

#include <algorithm>
#include <cstring>

namespace keb
{

namespace
{

TDrawingTarget Target;

bool HasTarget()
{
    return Target.Bits != nullptr;
}

std::uint8_t* PixelAddress(int x, int y)
{
    return Target.Bits + static_cast<std::ptrdiff_t>(y) * Target.RowStep +
           static_cast<std::ptrdiff_t>(x) * Target.BytesPerPixel;
}

bool InsideClip(int x, int y)
{
    const TDIBClipRect& clip = Target.Clip;
    return x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
}

void WritePixel(std::uint8_t* pixel)
{
    if (Target.BytesPerPixel == 1)
    {
        *pixel = static_cast<std::uint8_t>(Target.FillValue);
        return;
    }
    // Colour values hold red in the low byte; the buffer stores blue first.
    pixel[0] = static_cast<std::uint8_t>(Target.FillValue >> 16);
    pixel[1] = static_cast<std::uint8_t>(Target.FillValue >> 8);
    pixel[2] = static_cast<std::uint8_t>(Target.FillValue);
}

void FillRun(int x, int y, int count)
{
    std::uint8_t* pixel = PixelAddress(x, y);
    if (Target.BytesPerPixel == 1)
    {
        std::memset(pixel, static_cast<int>(Target.FillValue & 0xFF),
                    static_cast<std::size_t>(count));
        return;
    }
    for (int i = 0; i < count; ++i, pixel += Target.BytesPerPixel)
        WritePixel(pixel);
}

// Clips the rectangle at (x, y) of width x height against the clip rectangle
// corner by corner; the skipped amount is reported so that a paired rectangle
// can follow. False when nothing is left.
struct TClipped
{
    int X, Y, Width, Height, SkipX, SkipY;
};

bool ClipRect(int x, int y, int width, int height, TClipped& out)
{
    const TDIBClipRect& clip = Target.Clip;
    out = {x, y, width, height, 0, 0};
    if (out.X < clip.Left)
    {
        out.SkipX = clip.Left - out.X;
        out.Width -= out.SkipX;
        out.X = clip.Left;
    }
    if (out.Y < clip.Top)
    {
        out.SkipY = clip.Top - out.Y;
        out.Height -= out.SkipY;
        out.Y = clip.Top;
    }
    out.Width = std::min(out.Width, clip.Right - out.X);
    out.Height = std::min(out.Height, clip.Bottom - out.Y);
    return out.Width > 0 && out.Height > 0;
}

} // namespace

TDrawingTarget& DrawingTarget()
{
    return Target;
}

void ClearDIB()
{
    if (!HasTarget())
        return;
    if (Target.BytesPerPixel == 1)
    {
        std::memset(Target.Bits, static_cast<int>(Target.FillValue & 0xFF),
                    static_cast<std::size_t>(Target.Stride) * Target.Height);
        return;
    }
    for (int y = 0; y < Target.Height; ++y)
        FillRun(0, y, Target.Width);
}

void DrawColumn(int count, const std::uint8_t* source, int topY, int x)
{
    if (!HasTarget() || Target.BitsPerPixel != 8 || !source || count <= 0)
        return;
    const TDIBClipRect& clip = Target.Clip;
    if (x < clip.Left || x >= clip.Right)
        return;
    const int first = std::max(topY, clip.Top);
    const int end = std::min(topY + count, clip.Bottom);
    std::uint8_t* pixel = PixelAddress(x, first);
    // Rows clipped at the top consume no source bytes.
    for (int y = first; y < end; ++y, pixel += Target.RowStep)
        *pixel = *source++;
}

void MoveRect(const std::uint8_t* sourceBits, int sourceX, int sourceY, int width, int height,
              int destX, int destY)
{
    if (!HasTarget() || !sourceBits || width <= 0 || height <= 0)
        return;
    TClipped source;
    if (!ClipRect(sourceX, sourceY, width, height, source))
        return;
    TClipped dest;
    if (!ClipRect(destX + source.SkipX, destY + source.SkipY, source.Width, source.Height, dest))
        return;
    const int sx = source.X + dest.SkipX;
    const int sy = source.Y + dest.SkipY;
    const std::size_t rowBytes = static_cast<std::size_t>(dest.Width) * Target.BytesPerPixel;
    auto sourceRow = [&](int row)
    {
        return sourceBits + static_cast<std::ptrdiff_t>(sy + row) * Target.RowStep +
               static_cast<std::ptrdiff_t>(sx) * Target.BytesPerPixel;
    };
    // Moving down within one buffer must copy the bottom row first, or the
    // rows not yet copied would be overwritten; memmove handles the bytes
    // within a row in either direction.
    const bool bottomUp = sourceBits == Target.Bits && dest.Y > sy;
    for (int i = 0; i < dest.Height; ++i)
    {
        const int row = bottomUp ? dest.Height - 1 - i : i;
        std::memmove(PixelAddress(dest.X, dest.Y + row), sourceRow(row), rowBytes);
    }
}

void DIBSetPixel(int x, int y)
{
    if (HasTarget() && InsideClip(x, y))
        WritePixel(PixelAddress(x, y));
}

std::uint32_t DIBGetPixel(int x, int y)
{
    if (!HasTarget() || !InsideClip(x, y))
        return 0;
    const std::uint8_t* pixel = PixelAddress(x, y);
    if (Target.BytesPerPixel == 1)
        return *pixel;
    return std::uint32_t(pixel[2]) | (std::uint32_t(pixel[1]) << 8) |
           (std::uint32_t(pixel[0]) << 16);
}

void DIBFillRect(int left, int top, int right, int bottom)
{
    TClipped area;
    if (!HasTarget() || !ClipRect(left, top, right - left, bottom - top, area))
        return;
    for (int y = area.Y; y < area.Y + area.Height; ++y)
        FillRun(area.X, y, area.Width);
}

void DIBHorizLine(int x1, int x2, int y)
{
    DIBFillRect(std::min(x1, x2), y, std::max(x1, x2) + 1, y + 1);
}

void DIBVertLine(int x, int y1, int y2)
{
    DIBFillRect(x, std::min(y1, y2), x + 1, std::max(y1, y2) + 1);
}

void DIBDrawMask(const std::uint8_t* mask, int width, int height, int left, int top)
{
    TClipped area;
    if (!HasTarget() || !mask || !ClipRect(left, top, width, height, area))
        return;
    for (int row = 0; row < area.Height; ++row)
    {
        const std::uint8_t* maskRow =
            mask + static_cast<std::ptrdiff_t>(row + area.SkipY) * width + area.SkipX;
        for (int column = 0; column < area.Width; ++column)
            if (maskRow[column])
                WritePixel(PixelAddress(area.X + column, area.Y + row));
    }
}

} // namespace keb
