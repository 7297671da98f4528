// Part of TMMSpectrogram (MMSpGram.h): properties, geometry, blocks and
// painting.
#include "display/MMSpGram.h"

#include <QResizeEvent>

namespace keb
{

namespace
{

constexpr int ScaleStripWidth = 32;

} // namespace

TMMSpectrogram::TMMSpectrogram(QWidget* parent)
    : TMMDIBGraphicControl(parent), TMMWaterfall(DIBCanvas()), TComponent(nullptr)
{
    SetColor(clBlack);
    setCursor(Qt::CrossCursor);
    SetPaletteRealize(true);
    JoinRegistry();
    SetBounds(0, 0, 194, 90);
    ApplyPalette();
}

TMMSpectrogram::~TMMSpectrogram()
{
    // Connectors drop their references before the control comes apart.
    Destroying();
    LeaveRegistry();
}

void TMMSpectrogram::ProcessBlock(const std::uint8_t* block)
{
    if (!Enabled() || !isVisible() || infoMode_)
        return;
    AnalyseBlock(block);
    DrawNow(false, [this](bool full) { DrawLine(full, this); });
}

void TMMSpectrogram::ResetDisplay()
{
    if (infoMode_)
        EndInfo();
    RepaintPicture();
}

void TMMSpectrogram::SetEnabled(bool enabled)
{
    TMMDIBGraphicControl::SetEnabled(enabled);
    RepaintPicture();
}

void TMMSpectrogram::SetDrawScale(bool value)
{
    if (value == drawScale_)
        return;
    drawScale_ = value;
    SetBounds(Left(), Top(), Width(), Height());
    Resized();
    RepaintPicture();
}

void TMMSpectrogram::SetScaleTextColor(TColor value)
{
    scaleTextColor_ = value;
    RepaintPicture();
}

void TMMSpectrogram::SetScaleLineColor(TColor value)
{
    scaleLineColor_ = value;
    RepaintPicture();
}

void TMMSpectrogram::SetBounds(int left, int top, int width, int height)
{
    const int smallest = 2 * BevelExtent() + 5;
    width = std::max(width, smallest + (drawScale_ ? 2 * ScaleStripWidth : 0));
    height = std::max(height, smallest);
    TMMDIBGraphicControl::SetBounds(left, top, width, height);
    Resized();
}

void TMMSpectrogram::Loaded()
{
    TMMDIBGraphicControl::Loaded();
    TComponent::Loaded();
    RebuildFrequencyMap();
    ApplyPalette();
    DrawFull();
}

void TMMSpectrogram::RepaintPicture()
{
    fullPending_ = true;
    Invalidate();
}

void TMMSpectrogram::BevelChanged()
{
    Resized();
    RepaintPicture();
}

void TMMSpectrogram::resizeEvent(QResizeEvent* event)
{
    TMMDIBGraphicControl::resizeEvent(event);
    Resized();
}

void TMMSpectrogram::Resized()
{
    const int strips = drawScale_ ? ScaleStripWidth : 0;
    const int bevel = BevelExtent();
    area_ = ClientRect().Inflated(-strips - bevel, -bevel);
    SetScreenOrigin(area_.Left, area_.Top);
    SetPictureSize(area_.Width(), area_.Height());
    fullPending_ = true;
}

void TMMSpectrogram::PaintScreen()
{
    if (!fullPending_)
        return;
    fullPending_ = false;
    {
        TCanvas canvas(ScreenImage());
        if (drawScale_)
            PaintScaleStrips(canvas);
        const int strips = drawScale_ ? ScaleStripWidth : 0;
        Bevel().PaintBevel(canvas, ClientRect().Inflated(-strips, 0));
    }
    DrawFull();
}

void TMMSpectrogram::DrawFull()
{
    DrawNow(true, [this](bool full) { DrawLine(full, this); });
}

} // namespace keb
