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
    if (bits == BitsPerPixel_)
        return;
    if (!Available_)
        throw EMMDIBError("Attempt to create new DIB while initialized for drawing");
    BitsPerPixel_ = bits;
    Rebuild();
}

void TMMDIBCanvas::SetPaletteRealize(bool value)
{
    if (value == PaletteRealize_)
        return;
    PaletteRealize_ = value;
    Rebuild();
}

void TMMDIBCanvas::SetSize(int width, int height)
{
    width = width < 0 ? 0 : width;
    height = height < 0 ? 0 : height;
    if (width == Width_ && height == Height_)
        return;
    Width_ = width;
    Height_ = height;
    MarkForRebuild();
}

void TMMDIBCanvas::SetLogPalette(const TLogPalette* palette)
{
    LogPalette_.reset();
    if (palette && palette->palVersion >= LogPaletteVersion &&
        palette->palNumEntries <= DIBPaletteSize)
        LogPalette_ = *palette;
    Rebuild();
}

TDIBColor TMMDIBCanvas::PaletteColor(int index) const
{
    const TPaletteEntry& entry = Palette_[static_cast<std::size_t>(index) & 0xFF];
    return DIBRGB(entry.peRed, entry.peGreen, entry.peBlue);
}

std::uint32_t TMMDIBCanvas::ColorToIndex(TDIBColor color) const
{
    if (BitsPerPixel_ > 8)
        return color & 0xFFFFFF;
    const int red = color & 0xFF;
    const int green = (color >> 8) & 0xFF;
    const int blue = (color >> 16) & 0xFF;
    std::uint32_t best = 0;
    int bestDistance = 1 << 30;
    for (int index = 0; index < DIBPaletteSize; ++index)
    {
        const TPaletteEntry& entry = Palette_[index];
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
    FillValue_ = BitsPerPixel_ > 8 ? (value & 0xFFFFFF) : (value & 0xFF) * 0x01010101u;
    if (!Available_)
        DrawingTarget().FillValue = FillValue_;
}

std::uint8_t* TMMDIBCanvas::Bits()
{
    BuildIfMarked();
    return Bits_.data();
}

void TMMDIBCanvas::BeginDrawing()
{
    if (DrawingPeriodOpen())
        throw EMMDIBError("Attempt to create new DIB while initialized for drawing");
    BuildIfMarked();
    TDrawingTarget& target = DrawingTarget();
    target.BitsPerPixel = BitsPerPixel_;
    target.BytesPerPixel = BytesPerPixel();
    target.Width = BufferWidth();
    target.Height = BufferHeight();
    target.Stride = Stride();
    target.RowStep = Stride();
    target.Bits = Bits_.data();
    target.Clip = {0, 0, Width_, Height_};
    target.PenX = 0;
    target.PenY = 0;
    target.FillValue = FillValue_;
    Available_ = false;
}

void TMMDIBCanvas::EndDrawing()
{
    if (Available_)
        return;
    DrawingTarget() = TDrawingTarget{};
    Available_ = true;
}

void TMMDIBCanvas::BuildIfMarked()
{
    if (RebuildNeeded_)
        Rebuild();
}

void TMMDIBCanvas::Rebuild()
{
    // A refused rebuild stays due until the drawing period has ended.
    RebuildNeeded_ = true;
    if (!Available_)
        throw EMMDIBError("Attempt to create new DIB while initialized for drawing");
    BuildPalette();
    try
    {
        Bits_.assign(static_cast<std::size_t>(Stride()) * BufferHeight(), 0);
    }
    catch (const std::bad_alloc&)
    {
        throw EMMDIBError("Unable to access DIB device context");
    }
    RebuildNeeded_ = false;
}

void TMMDIBCanvas::BuildPalette()
{
    Palette_.fill(TPaletteEntry{});
    for (const TStaticColor& color : StaticColors)
        Palette_[color.Index] = color.Entry;
    if (!LogPalette_)
        return;
    for (int index = DIBLogPaletteFirst; index < DIBLogPaletteEnd; ++index)
    {
        // Entries the logical palette does not define read as black.
        TPaletteEntry entry =
            index < LogPalette_->palNumEntries ? LogPalette_->palPalEntry[index] : TPaletteEntry{};
        entry.peFlags = PC_NOCOLLAPSE;
        Palette_[index] = entry;
    }
}

} // namespace keb
