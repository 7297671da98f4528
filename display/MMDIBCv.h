// TMMDIBCanvas: an off-screen pixel buffer of 8 bits per pixel with a palette
// of its own (or 24 bits per pixel without one), written by the pixel routines
// of MMDIBCvPixels.h and copied to the screen as a whole (MMDIBCvBlit.h).
//
// Memory layout: rows top-down, each row Stride() bytes (width x bytes per
// pixel rounded up to a multiple of 4), so an 8-bit canvas can be shown
// through a QImage of format Indexed8 over the same bytes.
//
// Palette: 256 entries. Entries 0..9 and 246..255 hold the static colours;
// a logical palette set with SetLogPalette supplies entries 10..246; entries
// without a source stay black.
//
// The pixel buffer is (re)built lazily: SetSize marks it, and the next access
// to the bits (Bits(), BeginDrawing) builds it; BitsPerPixel, PaletteRealize
// and SetLogPalette rebuild at once. A rebuild clears the picture to index 0.
//
// Errors (EMMDIBError): "Bitlength not supported yet" for a depth other than
// 8 or 24 (the depth is kept); "Attempt to create new DIB while initialized
// for drawing" for a rebuild between BeginDrawing and EndDrawing; "Unable to
// access DIB device context" when the pixel buffer cannot be allocated.
//
// GUI thread only (the drawing target of the pixel routines is one for the
// whole process).
#pragma once

#include "platform/core/Exceptions.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace keb
{

KEB_EXCEPTION_CLASS(EMMDIBError, Exception);

// A colour value: red in the low byte, then green, then blue (0x00BBGGRR).
using TDIBColor = std::uint32_t;

constexpr TDIBColor DIBRGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return TDIBColor(red) | (TDIBColor(green) << 8) | (TDIBColor(blue) << 16);
}

struct TPaletteEntry
{
    std::uint8_t peRed = 0;
    std::uint8_t peGreen = 0;
    std::uint8_t peBlue = 0;
    std::uint8_t peFlags = 0;

    friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// Entry flag: keep the entry apart from equal ones.
constexpr std::uint8_t PC_NOCOLLAPSE = 0x04;
constexpr std::uint16_t LogPaletteVersion = 0x300;
constexpr int DIBPaletteSize = 256;

struct TLogPalette
{
    std::uint16_t palVersion = LogPaletteVersion;
    std::uint16_t palNumEntries = 0;
    std::array<TPaletteEntry, DIBPaletteSize> palPalEntry{};
};

// First and one-past-last palette index a logical palette fills.
constexpr int DIBLogPaletteFirst = 10;
constexpr int DIBLogPaletteEnd = 247;

// Where a canvas is copied to: the screen area of a control, or nothing for
// an off-line picture.
class TDIBScreen
{
  public:
    virtual ~TDIBScreen() = default;
    // Copies width x height pixels of the canvas from (sourceX, sourceY) to
    // (left, top) of the screen area.
    virtual void BlitTo(int left, int top, int width, int height, int sourceX, int sourceY) = 0;
    // Moves the pixels of the rectangle [left, right) x [top, bottom) one
    // pixel to the left; the rightmost column keeps its old pixels.
    virtual void ScrollLeft(int left, int top, int right, int bottom) = 0;
    // Fills a rectangle of the screen area with a colour.
    virtual void FillScreen(int left, int top, int right, int bottom, TDIBColor color) = 0;
};

class TMMDIBCanvas
{
  public:
    TMMDIBCanvas();
    virtual ~TMMDIBCanvas() = default;
    TMMDIBCanvas(const TMMDIBCanvas&) = delete;
    TMMDIBCanvas& operator=(const TMMDIBCanvas&) = delete;

    int BitsPerPixel() const { return bitsPerPixel_; }
    void SetBitsPerPixel(int bits);
    bool PaletteRealize() const { return paletteRealize_; }
    void SetPaletteRealize(bool value);
    // Screens without palettes show the palette colours directly, so this
    // only records the choice.
    bool PaletteMapped() const { return paletteMapped_; }
    void SetPaletteMapped(bool value) { paletteMapped_ = value; }

    int Width() const { return width_; }   // pixels
    int Height() const { return height_; } // pixels
    // Stores the size (negative values count as 0) and marks the buffer for
    // rebuilding; the buffer is at least 1 x 1.
    virtual void SetSize(int width, int height); // pixels

    // Keeps a copy of palette (version 0x300 or later, at most 256 entries;
    // any other palette, or none, is dropped) and rebuilds.
    void SetLogPalette(const TLogPalette* palette);
    const std::optional<TLogPalette>& LogPalette() const { return logPalette_; }

    // The colour table of the buffer (valid at 8 bits).
    const std::array<TPaletteEntry, DIBPaletteSize>& Palette() const { return palette_; }
    // The colour of a palette index.
    TDIBColor PaletteColor(int index) const;

    // At 24 bits the colour itself, else the nearest palette index (the
    // first of equally near ones).
    std::uint32_t ColorToIndex(TDIBColor color) const;
    // Sets the fill value of the pixel routines from a colour / from a
    // palette index (8 bits) or colour (24 bits). Applies to the drawing
    // period in progress, or to the next one.
    void SetDrawColor(TDIBColor color) { SetFillIndex(ColorToIndex(color)); }
    void SetFillIndex(std::uint32_t value);
    std::uint32_t FillValue() const { return fillValue_; }

    // The pixel buffer (built when marked): top row first.
    std::uint8_t* Bits();
    int BufferWidth() const { return IntMax1(width_); }
    int BufferHeight() const { return IntMax1(height_); }
    int BytesPerPixel() const { return bitsPerPixel_ / 8; }
    int Stride() const { return (BufferWidth() * BytesPerPixel() + 3) & ~3; }

    // Opens a drawing period: builds the buffer if marked and points the
    // process-wide drawing target at it. Raises EMMDIBError when another
    // drawing period is open.
    void BeginDrawing();
    // Closes the drawing period and clears the drawing target.
    void EndDrawing();
    // False during a drawing period.
    bool Available() const { return available_; }

  private:
    static int IntMax1(int value) { return value > 1 ? value : 1; }
    void MarkForRebuild() { rebuildNeeded_ = true; }
    void BuildIfMarked();
    void Rebuild();
    void BuildPalette();

    int bitsPerPixel_ = 8;
    bool paletteRealize_ = false;
    bool paletteMapped_ = false;
    int width_ = 1;
    int height_ = 1;
    bool rebuildNeeded_ = true;
    bool available_ = true;
    std::uint32_t fillValue_ = 0;
    std::optional<TLogPalette> logPalette_;
    std::array<TPaletteEntry, DIBPaletteSize> palette_{};
    std::vector<std::uint8_t> bits_;
};

// RAII drawing period.
class TDIBDrawing
{
  public:
    explicit TDIBDrawing(TMMDIBCanvas& canvas) : canvas_(canvas) { canvas_.BeginDrawing(); }
    ~TDIBDrawing() { canvas_.EndDrawing(); }
    TDIBDrawing(const TDIBDrawing&) = delete;
    TDIBDrawing& operator=(const TDIBDrawing&) = delete;

  private:
    TMMDIBCanvas& canvas_;
};

} // namespace keb
