// A drawing surface over QPainter with the platform's pixel rules.
//
// A TCanvas paints on one device (a widget during its paint event, or the
// QImage of a TBitmap) from construction to destruction. It keeps a pen colour,
// a brush colour and style and a font like the platform's canvas, and draws
// pixel-exact without anti-aliasing:
// - rectangles exclude their right and bottom edges (TRect);
// - LineTo draws from the pen position up to, not including, the end point;
// - Ellipse draws inside its bounding box, the outline in the pen colour and the
//   inside in the brush colour (nothing inside with bsClear).
// Not copyable; main thread for widgets, any single thread for a private bitmap.
#pragma once

#include "platform/gui/Bitmap.h"
#include "platform/gui/Colors.h"
#include "platform/gui/Geometry.h"

#include <QFont>
#include <QPainter>
#include <QString>

namespace keb
{

enum class TBrushStyle
{
    bsSolid,
    bsClear
};

class TCanvas
{
  public:
    explicit TCanvas(QPaintDevice& device);
    explicit TCanvas(TBitmap& bitmap);
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TColor PenColor() const { return penColor_; }
    void SetPenColor(TColor color) { penColor_ = color; }
    TColor BrushColor() const { return brushColor_; }
    void SetBrushColor(TColor color);
    TBrushStyle BrushStyle() const { return brushStyle_; }
    void SetBrushStyle(TBrushStyle style) { brushStyle_ = style; }
    QFont Font() const { return painter_.font(); }
    void SetFont(const QFont& font) { painter_.setFont(font); }

    // Fills rect with the brush colour (also with bsClear, like the platform).
    void FillRect(const TRect& rect);
    // Fills rect with the given colour; the brush is left alone.
    void FillRect(const TRect& rect, TColor color);
    void SetPixel(int x, int y, TColor color);

    // The 3-D frame: width nested one-pixel rectangles, the outermost on rect;
    // top and left edges in topColor, right and bottom edges (with the top-right
    // and bottom-left corner pixels) in bottomColor. Returns rect shrunk by
    // width on every side; a width of 0 or less draws nothing.
    TRect Frame3D(TRect rect, TColor topColor, TColor bottomColor, int width);

    void MoveTo(int x, int y) { penPos_ = {x, y}; }
    void LineTo(int x, int y);
    TPoint PenPos() const { return penPos_; }

    void Ellipse(int x1, int y1, int x2, int y2);
    // An arc of the ellipse in box, counter-clockwise from startDegrees over
    // spanDegrees (mathematical orientation, 0 = right), in the pen colour.
    void Arc(const TRect& box, double startDegrees, double spanDegrees);

    // Text in black with its top-left corner at (x, y), on the brush colour
    // unless the brush is clear.
    void TextOut(int x, int y, const QString& text);
    int TextWidth(const QString& text) const;
    int TextHeight(const QString& text) const;

    void Draw(int x, int y, const TBitmap& bitmap);
    // Stretches bitmap onto rect, leaving the pixels of its transparent colour
    // (TBitmap::TransparentColor) undrawn.
    void DrawTransparent(const TRect& rect, const TBitmap& bitmap);

    // The dotted focus rectangle: every second pixel of the outline inverted,
    // so drawing it twice restores the picture.
    void DrawFocusRect(const TRect& rect);

    QPainter& Painter() { return painter_; }

  private:
    void Plot(int x, int y, const QColor& color);

    QPainter painter_;
    TColor penColor_ = clBlack;
    TColor brushColor_ = clWhite;
    TBrushStyle brushStyle_ = TBrushStyle::bsSolid;
    TPoint penPos_;
};

} // namespace keb
