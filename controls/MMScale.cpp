#include "controls/MMScale.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keb
{

void TMMScale::SetTickCount(int value)
{
    Store(TickCount_, std::max(value, 2));
}

void TMMScale::SetEnlargeEvery(int value)
{
    Store(EnlargeEvery_, std::max(value, 1));
}

void TMMScale::SetSize(int value)
{
    Store(Size_, std::max(value, 1));
}

void TMMScale::SetAngles(int startAngle, int endAngle)
{
    StartAngle_ = startAngle;
    EndAngle_ = endAngle;
}

void TMMScale::Assign(const TMMScale& source)
{
    Visible_ = source.Visible_;
    Color_ = source.Color_;
    Style_ = source.Style_;
    TickCount_ = source.TickCount_;
    EnlargeEvery_ = source.EnlargeEvery_;
    Size_ = source.Size_;
    Origin_ = source.Origin_;
    Connect_ = source.Connect_;
    Changed();
}

int TMMScale::ScaleExtent() const
{
    int extent = Size_;
    if (Connect_)
        extent += Style_ == TMMScaleStyle::stColor ? 1 : 2;
    return extent;
}

TCanvas& TMMScale::RequireCanvas() const
{
    if (Canvas_ == nullptr)
        throw EMMScaleError("Canvas needed for this operation");
    return *Canvas_;
}

void TMMScale::DrawTick(TCanvas& canvas, TPoint from, TPoint to) const
{
    auto line = [&canvas](TPoint a, TPoint b, TColor color)
    {
        canvas.SetPenColor(color);
        canvas.MoveTo(a.X, a.Y);
        canvas.LineTo(b.X, b.Y);
    };
    if (Style_ == TMMScaleStyle::stColor)
    {
        line(from, to, Color_);
        return;
    }
    const int dx = to.X - from.X;
    const int dy = to.Y - from.Y;
    TPoint shift{0, 1};
    if (std::abs(dx) <= std::abs(dy))
        shift = {(dx < 0) != (dy < 0) && dx != 0 && dy != 0 ? -1 : 1, 0};
    const bool lowered = Style_ == TMMScaleStyle::stLowered;
    line(from, to, lowered ? clBlack : clWhite);
    line({from.X + shift.X, from.Y + shift.Y}, {to.X + shift.X, to.Y + shift.Y},
         lowered ? clWhite : clBlack);
}

int TMMScale::TickLength(int index) const
{
    return IsLong(index) ? Size_ : Size_ / 2;
}

void TMMScale::DrawLinear(const TRect& rect, bool facing)
{
    TCanvas& canvas = RequireCanvas();
    const bool horizontal = rect.Width() > rect.Height();
    const bool nearEdge = (Origin_ == TMMScaleOrigin::soInner) == facing;
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
        const double position = start + double(length) / (TickCount_ - 1) * index;
        return horizontal ? int(position) : int(std::lround(position));
    };
    if (Connect_)
    {
        const int across = Style_ == TMMScaleStyle::stColor ? edge : edge + inwards;
        DrawTick(canvas, point(tickPosition(0), across),
                 point(tickPosition(TickCount_ - 1), across));
    }
    for (int i = 0; i < TickCount_; ++i)
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
    const double span = StartAngle_ - EndAngle_ + 360;
    const double step = span / (TickCount_ - 1);
    for (int i = 0; i < TickCount_; ++i)
    {
        const double angle = StartAngle_ - i * step;
        double inner = radius - Size_;
        double outer = radius;
        if (!IsLong(i) && Origin_ == TMMScaleOrigin::soInner)
            outer = radius - Size_ / 2.0 + 1;
        else if (!IsLong(i))
            inner = radius - Size_ / 2.0;
        DrawTick(canvas, PointAt(centre, angle, inner), PointAt(centre, angle, outer));
    }
    if (Connect_)
    {
        const int arcRadius = Origin_ == TMMScaleOrigin::soOuter ? radius : radius - Size_;
        canvas.SetPenColor(Color_);
        canvas.Arc({centre.X - arcRadius, centre.Y - arcRadius, centre.X + arcRadius,
                    centre.Y + arcRadius},
                   EndAngle_, span);
    }
}

} // namespace keb
