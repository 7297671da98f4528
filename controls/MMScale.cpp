#include "controls/MMScale.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keb
{

void TMMScale::SetTickCount(int value)
{
    Store(tickCount_, std::max(value, 2));
}

void TMMScale::SetEnlargeEvery(int value)
{
    Store(enlargeEvery_, std::max(value, 1));
}

void TMMScale::SetSize(int value)
{
    Store(size_, std::max(value, 1));
}

void TMMScale::SetAngles(int startAngle, int endAngle)
{
    startAngle_ = startAngle;
    endAngle_ = endAngle;
}

void TMMScale::Assign(const TMMScale& source)
{
    visible_ = source.visible_;
    color_ = source.color_;
    style_ = source.style_;
    tickCount_ = source.tickCount_;
    enlargeEvery_ = source.enlargeEvery_;
    size_ = source.size_;
    origin_ = source.origin_;
    connect_ = source.connect_;
    Changed();
}

int TMMScale::ScaleExtent() const
{
    int extent = size_;
    if (connect_)
        extent += style_ == TMMScaleStyle::stColor ? 1 : 2;
    return extent;
}

TCanvas& TMMScale::RequireCanvas() const
{
    if (canvas_ == nullptr)
        throw EMMScaleError("Canvas needed for this operation");
    return *canvas_;
}

void TMMScale::DrawTick(TCanvas& canvas, TPoint from, TPoint to) const
{
    auto line = [&canvas](TPoint a, TPoint b, TColor color)
    {
        canvas.SetPenColor(color);
        canvas.MoveTo(a.X, a.Y);
        canvas.LineTo(b.X, b.Y);
    };
    if (style_ == TMMScaleStyle::stColor)
    {
        line(from, to, color_);
        return;
    }
    const int dx = to.X - from.X;
    const int dy = to.Y - from.Y;
    TPoint shift{0, 1};
    if (std::abs(dx) <= std::abs(dy))
        shift = {(dx < 0) != (dy < 0) && dx != 0 && dy != 0 ? -1 : 1, 0};
    const bool lowered = style_ == TMMScaleStyle::stLowered;
    line(from, to, lowered ? clBlack : clWhite);
    line({from.X + shift.X, from.Y + shift.Y}, {to.X + shift.X, to.Y + shift.Y},
         lowered ? clWhite : clBlack);
}

int TMMScale::TickLength(int index) const
{
    return IsLong(index) ? size_ : size_ / 2;
}

void TMMScale::DrawLinear(const TRect& rect, bool facing)
{
    TCanvas& canvas = RequireCanvas();
    const bool horizontal = rect.Width() > rect.Height();
    const bool nearEdge = (origin_ == TMMScaleOrigin::soInner) == facing;
    // The anchored edge (last row or column when nearEdge) and the direction
    // in which the ticks grow from it.
    const int edge = horizontal ? (nearEdge ? rect.Bottom - 1 : rect.Top)
                                : (nearEdge ? rect.Right - 1 : rect.Left);
    const int inwards = nearEdge ? -1 : 1;
    const int length = horizontal ? rect.Width() : rect.Height();
    const int start = horizontal ? rect.Left : rect.Top;
    auto point = [horizontal](int along, int across) {
        return horizontal ? TPoint{along, across} : TPoint{across, along};
    };
    auto tickPosition = [&](int index)
    {
        const double position = start + double(length) / (tickCount_ - 1) * index;
        return horizontal ? int(position) : int(std::lround(position));
    };
    if (connect_)
    {
        const int across = style_ == TMMScaleStyle::stColor ? edge : edge + inwards;
        DrawTick(canvas, point(tickPosition(0), across),
                 point(tickPosition(tickCount_ - 1), across));
    }
    for (int i = 0; i < tickCount_; ++i)
    {
        const int along = tickPosition(i);
        DrawTick(canvas, point(along, edge), point(along, edge + inwards * TickLength(i)));
    }
}

namespace
{

// The point at radius r and angle degrees around centre; coordinates below
// the centre's are rounded, the others truncated (which keeps the circle's
// left and top halves from leaning outwards by a pixel).
TPoint PointAt(TPoint centre, double degrees, double r)
{
    const double radians = degrees * std::numbers::pi / 180.0;
    const double x = centre.X + std::cos(radians) * r;
    const double y = centre.Y - std::sin(radians) * r;
    auto toPixel = [](double value, int centreValue)
    { return value < centreValue ? int(std::lround(value)) : int(value); };
    return {toPixel(x, centre.X), toPixel(y, centre.Y)};
}

} // namespace

void TMMScale::DrawCircular(const TRect& rect)
{
    TCanvas& canvas = RequireCanvas();
    const TPoint centre{(rect.Left + rect.Right) / 2, (rect.Top + rect.Bottom) / 2};
    const int radius = std::min(rect.Width() / 2, rect.Height() / 2);
    const double span = startAngle_ - endAngle_ + 360;
    const double step = span / (tickCount_ - 1);
    for (int i = 0; i < tickCount_; ++i)
    {
        const double angle = startAngle_ - i * step;
        double inner = radius - size_;
        double outer = radius;
        if (!IsLong(i) && origin_ == TMMScaleOrigin::soInner)
            outer = radius - size_ / 2.0 + 1;
        else if (!IsLong(i))
            inner = radius - size_ / 2.0;
        DrawTick(canvas, PointAt(centre, angle, inner), PointAt(centre, angle, outer));
    }
    if (connect_)
    {
        const int arcRadius = origin_ == TMMScaleOrigin::soOuter ? radius : radius - size_;
        canvas.SetPenColor(color_);
        canvas.Arc({centre.X - arcRadius, centre.Y - arcRadius, centre.X + arcRadius,
                    centre.Y + arcRadius},
                   endAngle_, span);
    }
}

} // namespace keb
