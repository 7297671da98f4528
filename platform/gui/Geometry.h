// Integer points and rectangles in the platform's convention: a rectangle runs
// from (Left, Top) inclusive to (Right, Bottom) exclusive, so its width is
// Right - Left. Plain values; safe in any thread.
#pragma once

#include <QRect>

namespace keb
{

struct TPoint
{
    int X = 0;
    int Y = 0;

    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(TPoint point) const
    {
        return point.X >= Left && point.X < Right && point.Y >= Top && point.Y < Bottom;
    }
    // The rectangle grown by dx on the left and right and dy on the top and
    // bottom (negative values shrink it).
    TRect Inflated(int dx, int dy) const { return {Left - dx, Top - dy, Right + dx, Bottom + dy}; }
    TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
    QRect ToQRect() const { return QRect(Left, Top, Width(), Height()); }

    friend bool operator==(const TRect&, const TRect&) = default;
};

// The rectangle of the given position and size.
inline TRect Bounds(int left, int top, int width, int height)
{
    return {left, top, left + width, top + height};
}

} // namespace keb
