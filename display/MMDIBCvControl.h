// TMMDIBGraphicControl: a graphic control that owns a DIB canvas and paints at
// once, outside Qt's paint cycle.
//
// The control keeps the picture it shows in a screen image of its own size
// (32-bit RGB). DrawNow runs a drawing method that writes the DIB with the
// pixel routines and copies parts of it to the screen image through the
// TDIBScreen operations (BlitTo, ScrollLeft, FillScreen, in coordinates
// relative to the screen origin); afterwards the changed part of the control
// is repainted synchronously. Paint shows the screen image. The copy shows
// the palette colours directly (our screens have no palette), so
// PaletteRealize and PaletteMapped only record the choice.
//
// Main thread only, like every widget.
#pragma once

#include "controls/MMObj.h"
#include "display/MMDIBCv.h"

#include <QImage>
#include <QRegion>
#include <functional>

namespace keb
{

class TMMDIBGraphicControl : public TMMGraphicControl, public TDIBScreen
{
  public:
    explicit TMMDIBGraphicControl(QWidget* parent = nullptr);

    TMMDIBCanvas& DIBCanvas() { return canvas_; }
    bool PaletteRealize() const { return canvas_.PaletteRealize(); }
    void SetPaletteRealize(bool value);
    bool PaletteMapped() const { return canvas_.PaletteMapped(); }
    void SetPaletteMapped(bool value);
    // 8 or 24; other values raise EMMDIBError "Bitlength not supported yet".
    virtual void SetBitsPerPixel(int bits);

    // Inherited, then the canvas takes the control's size.
    void SetBounds(int left, int top, int width, int height) override;

    // Runs draw(full) when the control is visible and repaints at once what
    // it copied to the screen (inside a paint, the paint shows it).
    void DrawNow(bool full, const std::function<void(bool full)>& draw);

    // The picture the control shows.
    const QImage& Screen() const { return screen_; }
    // The control position of DIB coordinate (0, 0) for the screen copies.
    void SetScreenOrigin(int x, int y);

    void BlitTo(int left, int top, int width, int height, int sourceX, int sourceY) override;
    void ScrollLeft(int left, int top, int right, int bottom) override;
    void FillScreen(int left, int top, int right, int bottom, TDIBColor color) override;

  protected:
    // Runs PaintScreen, then shows the screen image.
    void Paint() override;
    // Brings the screen image up to date before a paint shows it.
    virtual void PaintScreen() {}
    void resizeEvent(QResizeEvent* event) override;
    // The screen image as a paint device, for frames drawn around the picture.
    QImage& ScreenImage() { return screen_; }

  private:
    void FitScreen();
    // The rectangle in control coordinates, clipped to the screen image.
    QRect OnScreen(int left, int top, int right, int bottom) const;

    TMMDIBCanvas canvas_;
    QImage screen_;
    QRegion dirty_;
    int originX_ = 0;
    int originY_ = 0;
    bool inPaint_ = false;
};

} // namespace keb
