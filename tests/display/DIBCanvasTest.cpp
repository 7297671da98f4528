// The DIB canvas: buffer geometry, palette, errors and the pixel routines.
#include "display/MMDIBCv.h"
#include "display/MMDIBCvPixels.h"

#include <gtest/gtest.h>
#include <numeric>
#include <vector>

namespace keb
{
namespace
{

std::uint8_t At(TMMDIBCanvas& canvas, int x, int y)
{
    return canvas.Bits()[y * canvas.Stride() + x];
}

// Column x of an 8-bit canvas, top to bottom.
std::vector<std::uint8_t> ColumnOf(TMMDIBCanvas& canvas, int x)
{
    std::vector<std::uint8_t> column;
    for (int y = 0; y < canvas.BufferHeight(); ++y)
        column.push_back(At(canvas, x, y));
    return column;
}

// Fills each pixel with a value made from its position.
void PaintPattern(TMMDIBCanvas& canvas)
{
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            canvas.Bits()[y * canvas.Stride() + x] = static_cast<std::uint8_t>(16 * y + x + 1);
}

TEST(DIBCanvasGeometry, SizesStridesAndTheSmallestBuffer)
{
    TMMDIBCanvas canvas;
    EXPECT_EQ(canvas.BitsPerPixel(), 8);
    canvas.SetSize(0, 0);
    EXPECT_EQ(canvas.BufferWidth(), 1);
    EXPECT_EQ(canvas.BufferHeight(), 1);
    EXPECT_EQ(canvas.Stride(), 4);
    EXPECT_NE(canvas.Bits(), nullptr);

    canvas.SetSize(5, 3);
    EXPECT_EQ(canvas.Stride(), 8);
    canvas.SetBitsPerPixel(24);
    EXPECT_EQ(canvas.Stride(), 16); // 15 bytes rounded up to a multiple of 4
}

TEST(DIBCanvasErrors, DepthsAndRebuildsDuringDrawing)
{
    TMMDIBCanvas canvas;
    try
    {
        canvas.SetBitsPerPixel(16);
        FAIL() << "16 bits accepted";
    }
    catch (const EMMDIBError& error)
    {
        EXPECT_STREQ(error.what(), "Bitlength not supported yet");
    }
    EXPECT_EQ(canvas.BitsPerPixel(), 8);

    canvas.BeginDrawing();
    EXPECT_FALSE(canvas.Available());
    EXPECT_THROW(canvas.SetBitsPerPixel(24), EMMDIBError);
    try
    {
        canvas.SetPaletteRealize(true);
        FAIL() << "rebuild during drawing accepted";
    }
    catch (const EMMDIBError& error)
    {
        EXPECT_STREQ(error.what(), "Attempt to create new DIB while initialized for drawing");
    }
    TMMDIBCanvas other;
    EXPECT_THROW(other.BeginDrawing(), EMMDIBError) << "two drawing periods at once";
    canvas.EndDrawing();
    EXPECT_TRUE(canvas.Available());
    EXPECT_EQ(DrawingTarget().Bits, nullptr);
    other.BeginDrawing();
    other.EndDrawing();
}

TEST(DIBCanvasPalette, StaticColoursLogicalPaletteAndNearestIndex)
{
    TMMDIBCanvas canvas;
    EXPECT_EQ(canvas.PaletteColor(9), DIBRGB(166, 202, 240));
    EXPECT_EQ(canvas.PaletteColor(248), DIBRGB(128, 128, 128));
    EXPECT_EQ(canvas.PaletteColor(100), DIBRGB(0, 0, 0));

    TLogPalette palette;
    palette.palNumEntries = 256;
    for (int i = 0; i < 256; ++i)
        palette.palPalEntry[i] = {static_cast<std::uint8_t>(i), 1, 2, 0};
    canvas.SetLogPalette(&palette);
    EXPECT_EQ(canvas.PaletteColor(10), DIBRGB(10, 1, 2));
    EXPECT_EQ(canvas.PaletteColor(246), DIBRGB(246, 1, 2)) << "the logical palette reaches 246";
    EXPECT_EQ(canvas.PaletteColor(247), DIBRGB(160, 160, 164));
    EXPECT_EQ(canvas.PaletteColor(5), DIBRGB(128, 0, 128));
    EXPECT_EQ(canvas.Palette()[20].peFlags, PC_NOCOLLAPSE);

    EXPECT_EQ(canvas.ColorToIndex(DIBRGB(128, 128, 128)), 248u);
    EXPECT_EQ(canvas.ColorToIndex(DIBRGB(255, 255, 255)), 255u);
    EXPECT_EQ(canvas.ColorToIndex(DIBRGB(101, 2, 3)), 101u);

    palette.palVersion = 0x200;
    canvas.SetLogPalette(&palette);
    EXPECT_EQ(canvas.PaletteColor(100), DIBRGB(0, 0, 0)) << "an old palette is ignored";

    canvas.SetBitsPerPixel(24);
    EXPECT_EQ(canvas.ColorToIndex(DIBRGB(1, 2, 3)), DIBRGB(1, 2, 3));
}

TEST(DIBPixels, ClearWritesTheFillValueAtEitherDepth)
{
    TMMDIBCanvas canvas;
    canvas.SetSize(7, 3);
    canvas.SetFillIndex(10);
    {
        TDIBDrawing drawing(canvas);
        ClearDIB();
    }
    const std::vector<std::uint8_t> all(canvas.Bits(), canvas.Bits() + canvas.Stride() * 3);
    EXPECT_EQ(std::count(all.begin(), all.end(), 10), 24);

    canvas.SetBitsPerPixel(24);
    canvas.SetDrawColor(DIBRGB(1, 2, 3));
    {
        TDIBDrawing drawing(canvas);
        ClearDIB();
        EXPECT_EQ(DIBGetPixel(6, 2), DIBRGB(1, 2, 3));
    }
    const std::uint8_t* last = canvas.Bits() + 2 * canvas.Stride() + 6 * 3;
    EXPECT_EQ(last[0], 3) << "blue first in memory";
    EXPECT_EQ(last[2], 1);
    EXPECT_EQ(canvas.Bits()[canvas.Stride() - 1], 0) << "the row padding stays untouched";
}

TEST(DIBPixels, DrawColumnClipsToThePicture)
{
    TMMDIBCanvas canvas;
    canvas.SetSize(4, 5);
    std::vector<std::uint8_t> source(7);
    std::iota(source.begin(), source.end(), std::uint8_t{1});
    {
        TDIBDrawing drawing(canvas);
        DrawColumn(5, source.data(), 0, -1);
        DrawColumn(5, source.data(), 0, 4);
    }
    const std::vector<std::uint8_t> all(canvas.Bits(), canvas.Bits() + canvas.Stride() * 5);
    EXPECT_EQ(std::count(all.begin(), all.end(), 0), static_cast<long>(all.size()))
        << "columns left and right of the picture write nothing";

    {
        TDIBDrawing drawing(canvas);
        DrawColumn(7, source.data(), 0, 1);  // cut at the bottom
        DrawColumn(4, source.data(), -2, 2); // the source starts at the first visible row
        DrawColumn(3, source.data(), 5, 3);  // wholly below
    }
    EXPECT_EQ(ColumnOf(canvas, 1), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(ColumnOf(canvas, 2), (std::vector<std::uint8_t>{1, 2, 0, 0, 0}));
    EXPECT_EQ(ColumnOf(canvas, 3), (std::vector<std::uint8_t>{0, 0, 0, 0, 0}));
    EXPECT_EQ(ColumnOf(canvas, 0), (std::vector<std::uint8_t>{0, 0, 0, 0, 0}));

    canvas.SetBitsPerPixel(24);
    {
        TDIBDrawing drawing(canvas);
        DrawColumn(5, source.data(), 0, 1);
        EXPECT_EQ(DIBGetPixel(1, 0), 0u) << "no column writes at 24 bits";
    }
}

TEST(DIBPixels, MoveRectShiftsWithoutSmearingInEveryDirection)
{
    TMMDIBCanvas canvas;
    canvas.SetSize(6, 4);
    PaintPattern(canvas);
    std::vector<std::uint8_t> before(canvas.Bits(), canvas.Bits() + canvas.Stride() * 4);
    {
        TDIBDrawing drawing(canvas);
        MoveRect(canvas.Bits(), 1, 0, 5, 4, 0, 0);
    }
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(At(canvas, x, y), before[y * canvas.Stride() + std::min(x + 1, 5)])
                << "left shift at " << x << "," << y;

    PaintPattern(canvas);
    {
        TDIBDrawing drawing(canvas);
        MoveRect(canvas.Bits(), 0, 0, 5, 4, 1, 0); // right
    }
    for (int x = 1; x < 6; ++x)
        EXPECT_EQ(At(canvas, x, 2), before[2 * canvas.Stride() + x - 1]);

    PaintPattern(canvas);
    {
        TDIBDrawing drawing(canvas);
        MoveRect(canvas.Bits(), 0, 0, 6, 3, 0, 1); // down
    }
    for (int y = 1; y < 4; ++y)
        EXPECT_EQ(At(canvas, 3, y), before[(y - 1) * canvas.Stride() + 3]);

    PaintPattern(canvas);
    {
        TDIBDrawing drawing(canvas);
        MoveRect(canvas.Bits(), -2, 1, 4, 9, 3, 0); // both rectangles clipped
    }
    EXPECT_EQ(At(canvas, 5, 0), before[1 * canvas.Stride() + 0]);
    EXPECT_EQ(At(canvas, 5, 2), before[3 * canvas.Stride() + 0]);
    EXPECT_EQ(At(canvas, 4, 0), before[4]) << "the clipped-away part stays";
    EXPECT_EQ(At(canvas, 5, 3), before[3 * canvas.Stride() + 5]);
}

TEST(DIBPixels, RectanglesLinesMasksAndClipping)
{
    TMMDIBCanvas canvas;
    canvas.SetSize(5, 5);
    {
        TDIBDrawing drawing(canvas);
        canvas.SetFillIndex(7);
        DIBFillRect(-3, 3, 2, 9);
        canvas.SetFillIndex(8);
        DIBHorizLine(4, 2, 0);
        DIBVertLine(4, 4, 1);
        DIBSetPixel(5, 0);
        const std::uint8_t mask[] = {1, 0, 0, 1};
        canvas.SetFillIndex(9);
        DIBDrawMask(mask, 2, 2, -1, 1);
        EXPECT_EQ(DIBGetPixel(-1, 0), 0u);
    }
    EXPECT_EQ(ColumnOf(canvas, 0), (std::vector<std::uint8_t>{0, 0, 9, 7, 7}));
    EXPECT_EQ(ColumnOf(canvas, 1), (std::vector<std::uint8_t>{0, 0, 0, 7, 7}));
    EXPECT_EQ(ColumnOf(canvas, 2), (std::vector<std::uint8_t>{8, 0, 0, 0, 0}));
    EXPECT_EQ(ColumnOf(canvas, 4), (std::vector<std::uint8_t>{8, 8, 8, 8, 8}));
}

} // namespace
} // namespace keb
