#include "display/MMDIBCv.h"

#include "display/MMDIBCvPixels.h"

#include <new>

namespace keb
{

namespace
{

struct TStaticColor
{
    int Index;
    TPaletteEntry Entry;
};

// The colours every screen keeps in the first and last ten entries.
constexpr TStaticColor StaticColors[] = {
    {0, {0, 0, 0, 0}},         {1, {128, 0, 0, 0}},       {2, {0, 128, 0, 0}},
    {3, {128, 128, 0, 0}},     {4, {0, 0, 128, 0}},       {5, {128, 0, 128, 0}},
    {6, {0, 128, 128, 0}},     {7, {192, 192, 192, 0}},   {8, {192, 220, 192, 0}},
    {9, {166, 202, 240, 0}},   {246, {255, 251, 240, 0}}, {247, {160, 160, 164, 0}},
    {248, {128, 128, 128, 0}}, {249, {255, 0, 0, 0}},     {250, {0, 255, 0, 0}},
    {251, {255, 255, 0, 0}},   {252, {0, 0, 255, 0}},     {253, {255, 0, 255, 0}},
    {254, {0, 255, 255, 0}},   {255, {255, 255, 255, 0}},
};

bool DrawingPeriodOpen()
{
    return DrawingTarget().Bits != nullptr;
}

} // namespace

TMMDIBCanvas::TMMDIBCanvas()
{
    Rebuild();
}

void TMMDIBCanvas::SetBitsPerPixel(int bits)
{
    if (bits != 8 && bits != 24)
        throw EMMDIBError("Bitlength not supported yet");
    if (bits == bitsPerPixel_)
        return;
    if (!available_)
        throw EMMDIBError("Attempt to create new DIB while initialized for drawing");
    bitsPerPixel_ = bits;
    Rebuild();
}

void TMMDIBCanvas::SetPaletteRealize(bool value)
{
    if (value == paletteRealize_)
        return;
    paletteRealize_ = value;
    Rebuild();
}

void TMMDIBCanvas::SetSize(int width, int height)
{
    width = width < 0 ? 0 : width;
    height = height < 0 ? 0 : height;
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    MarkForRebuild();
}

void TMMDIBCanvas::SetLogPalette(const TLogPalette* palette)
{
    logPalette_.reset();
    if (palette && palette->palVersion >= LogPaletteVersion &&
        palette->palNumEntries <= DIBPaletteSize)
        logPalette_ = *palette;
    Rebuild();
}

TDIBColor TMMDIBCanvas::PaletteColor(int index) const
{
    const TPaletteEntry& entry = palette_[static_cast<std::size_t>(index) & 0xFF];
    return DIBRGB(entry.peRed, entry.peGreen, entry.peBlue);
}

std::uint32_t TMMDIBCanvas::ColorToIndex(TDIBColor color) const
{
    if (bitsPerPixel_ > 8)
        return color & 0xFFFFFF;
    const int red = color & 0xFF;
    const int green = (color >> 8) & 0xFF;
    const int blue = (color >> 16) & 0xFF;
    std::uint32_t best = 0;
    int bestDistance = 1 << 30;
    for (int index = 0; index < DIBPaletteSize; ++index)
    {
        const TPaletteEntry& entry = palette_[index];
        const int dr = entry.peRed - red;
        const int dg = entry.peGreen - green;
        const int db = entry.peBlue - blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance)
        {
            bestDistance = distance;
            best = static_cast<std::uint32_t>(index);
        }
    }
    return best;
}

void TMMDIBCanvas::SetFillIndex(std::uint32_t value)
{
    fillValue_ = bitsPerPixel_ > 8 ? (value & 0xFFFFFF) : (value & 0xFF) * 0x01010101u;
    if (!available_)
        DrawingTarget().FillValue = fillValue_;
}

std::uint8_t* TMMDIBCanvas::Bits()
{
    BuildIfMarked();
    return bits_.data();
}

void TMMDIBCanvas::BeginDrawing()
{
    if (DrawingPeriodOpen())
        throw EMMDIBError("Attempt to create new DIB while initialized for drawing");
    BuildIfMarked();
    TDrawingTarget& target = DrawingTarget();
    target.BitsPerPixel = bitsPerPixel_;
    target.BytesPerPixel = BytesPerPixel();
    target.Width = BufferWidth();
    target.Height = BufferHeight();
    target.Stride = Stride();
    target.RowStep = Stride();
    target.Bits = bits_.data();
    target.Clip = {0, 0, width_, height_};
    target.PenX = 0;
    target.PenY = 0;
    target.FillValue = fillValue_;
    available_ = false;
}

void TMMDIBCanvas::EndDrawing()
{
    if (available_)
        return;
    DrawingTarget() = TDrawingTarget{};
    available_ = true;
}

void TMMDIBCanvas::BuildIfMarked()
{
    if (rebuildNeeded_)
        Rebuild();
}

void TMMDIBCanvas::Rebuild()
{
    // A refused rebuild stays due until the drawing period has ended.
    rebuildNeeded_ = true;
    if (!available_)
        throw EMMDIBError("Attempt to create new DIB while initialized for drawing");
    BuildPalette();
    try
    {
        bits_.assign(static_cast<std::size_t>(Stride()) * BufferHeight(), 0);
    }
    catch (const std::bad_alloc&)
    {
        throw EMMDIBError("Unable to access DIB device context");
    }
    rebuildNeeded_ = false;
}

void TMMDIBCanvas::BuildPalette()
{
    palette_.fill(TPaletteEntry{});
    for (const TStaticColor& color : StaticColors)
        palette_[color.Index] = color.Entry;
    if (!logPalette_)
        return;
    for (int index = DIBLogPaletteFirst; index < DIBLogPaletteEnd; ++index)
    {
        // Entries the logical palette does not define read as black.
        TPaletteEntry entry =
            index < logPalette_->palNumEntries ? logPalette_->palPalEntry[index] : TPaletteEntry{};
        entry.peFlags = PC_NOCOLLAPSE;
        palette_[index] = entry;
    }
}

} // namespace keb
