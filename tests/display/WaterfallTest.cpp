// The waterfall picture without a window: wipe and scroll modes, the bar, the
// restart shared through the registry, Accelerate's screen copies and the
// connector's side of the display.
#include "display/MMDIBCvPixels.h"
#include "display/MMSpGramWaterfall.h"
#include "tests/display/ToneBlocks.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace keb
{
namespace
{

constexpr std::uint8_t Fill = 10;
constexpr std::uint8_t Grey = 248;  // the bar: static colour (128, 128, 128)
constexpr std::uint8_t White = 255; // the ticks

class TTestWaterfall : public TMMWaterfall
{
  public:
    explicit TTestWaterfall(TMMDIBCanvas& canvas) : TMMWaterfall(canvas)
    {
        // The program's waterfall.
        SetSampleRate(8000);
        SetBitLength(b16Bit);
        SetFFTLength(256);
        SetAmplitudeScale(50);
        SetAccelerate(false);
        ApplyPalette();
    }
    using TMMWaterfall::JoinRegistry;
};

// Records what a waterfall copies to its screen.
class TScreenLog : public TDIBScreen
{
  public:
    void BlitTo(int left, int top, int width, int height, int sourceX, int sourceY) override
    {
        Calls.push_back("blit " + std::to_string(left) + "," + std::to_string(top) + " " +
                        std::to_string(width) + "x" + std::to_string(height) + " from " +
                        std::to_string(sourceX) + "," + std::to_string(sourceY));
    }
    void ScrollLeft(int left, int top, int right, int bottom) override
    {
        Calls.push_back("scroll " + std::to_string(left) + "," + std::to_string(top) + "," +
                        std::to_string(right) + "," + std::to_string(bottom));
    }
    void FillScreen(int left, int top, int right, int bottom, TDIBColor color) override
    {
        if (right - left == 1 && bottom - top > 1)
            Calls.push_back("bar " + std::to_string(left) + " colour " + std::to_string(color));
        else
            ++TickPixels;
    }
    std::vector<std::string> Calls;
    int TickPixels = 0;
};

std::vector<std::uint8_t> Column(TMMDIBCanvas& canvas, int x)
{
    std::vector<std::uint8_t> column;
    for (int y = 0; y < canvas.Height(); ++y)
        column.push_back(canvas.Bits()[y * canvas.Stride() + x]);
    return column;
}

std::set<std::uint8_t> ValuesIn(TMMDIBCanvas& canvas, int x)
{
    const auto column = Column(canvas, x);
    return {column.begin(), column.end()};
}

// The rows (top = 0) that show the bin of the tone.
std::set<int> RowsOfBin(const TMMWaterfall& waterfall, int bin)
{
    std::set<int> rows;
    int current = 0;
    for (int row = 0; row < waterfall.Rows(); ++row)
    {
        const TFrequencyRow& entry = waterfall.FrequencyMap()[row];
        if (entry.Start != -1 && row != waterfall.Rows() - 1)
            current = entry.Start;
        if (current == bin)
            rows.insert(waterfall.Rows() - 1 - row);
    }
    return rows;
}

int BrightestRow(TMMDIBCanvas& canvas, int x)
{
    const auto column = Column(canvas, x);
    return static_cast<int>(std::max_element(column.begin(), column.end()) - column.begin());
}

TEST(WaterfallWipe, TheFirstBarWidthLinesAfterARestartAreNotSeen)
{
    TMMDIBCanvas canvas;
    TTestWaterfall waterfall(canvas);
    waterfall.SetPictureSize(20, 293);
    // Loud enough for bin 32 to reach the top colour, while its neighbours
    // in the window's main lobe stay below it.
    TToneSource tone(1000, 8000, 1000, 100);
    waterfall.ResetDisplay();
    for (int line = 1; line <= 5; ++line)
    {
        waterfall.ProcessBlock(tone.Next(256).data());
        for (int x = 0; x < 20; ++x)
        {
            const auto values = ValuesIn(canvas, x);
            if (x < line)
                EXPECT_EQ(values, (std::set<std::uint8_t>{Grey, White})) << "bar at " << x;
            else
                EXPECT_EQ(values, std::set<std::uint8_t>{Fill}) << "line " << line << " x " << x;
        }
    }
    EXPECT_EQ(waterfall.WriteColumn(), 0);
    EXPECT_EQ(waterfall.BarEnd(), 5);

    waterfall.ProcessBlock(tone.Next(256).data());
    EXPECT_TRUE(RowsOfBin(waterfall, 32).contains(BrightestRow(canvas, 0)))
        << "1000 Hz is bin 32 of 256 at 8000 Hz";
    // The bar now runs from the new line to the bar end.
    EXPECT_EQ(ValuesIn(canvas, 1), (std::set<std::uint8_t>{Grey, White}));
    EXPECT_EQ(ValuesIn(canvas, 6), std::set<std::uint8_t>{Fill});
    // The ticks cross the bar at the tick rows.
    EXPECT_EQ(Column(canvas, 5)[292], White);
    EXPECT_EQ(Column(canvas, 5)[0], White);
    EXPECT_EQ(Column(canvas, 5)[293 - 73 - 1], White);
    EXPECT_EQ(Column(canvas, 5)[100], Grey);
}

TEST(WaterfallWipe, WrapsAroundWithTheBarAcrossTheEdge)
{
    TMMDIBCanvas canvas;
    TTestWaterfall waterfall(canvas);
    waterfall.SetPictureSize(10, 40);
    TToneSource tone(1000, 8000, 8000, 300);
    waterfall.ResetDisplay();
    for (int line = 0; line < 5 + 10 + 7; ++line)
        waterfall.ProcessBlock(tone.Next(256).data());
    // 22 lines: the newest went to column 6; the bar covers 7 .. 11 mod 10.
    EXPECT_EQ(waterfall.WriteColumn(), 7);
    EXPECT_EQ(waterfall.BarEnd(), 2);
    for (int x : {7, 8, 9, 0, 1})
        EXPECT_TRUE(ValuesIn(canvas, x).contains(Grey)) << x;
    for (int x : {2, 3, 4, 5, 6})
        EXPECT_FALSE(ValuesIn(canvas, x).contains(Grey)) << x;
}

TEST(WaterfallScroll, TheNewestLineStaysBarWidthFromTheRightEdge)
{
    TMMDIBCanvas canvas;
    TTestWaterfall waterfall(canvas);
    waterfall.SetPictureSize(20, 60);
    waterfall.SetScroll(true);
    TToneSource tone(1000, 8000, 8000, 300);
    TToneSource silence(1000, 8000, 0, 0);
    for (int line = 0; line < 40; ++line)
        waterfall.ProcessBlock((line % 2 ? tone : silence).Next(256).data());
    EXPECT_EQ(waterfall.BarEnd(), 20);
    EXPECT_EQ(waterfall.WriteColumn(), 15);
    // Drawn at column 15 and then moved one column to the left.
    EXPECT_GT(*ValuesIn(canvas, 14).rbegin(), 100) << "newest line: the tone";
    EXPECT_EQ(ValuesIn(canvas, 13), std::set<std::uint8_t>{Fill}) << "the silence before it";
    EXPECT_GT(*ValuesIn(canvas, 12).rbegin(), 100);
    for (int x = 15; x < 20; ++x)
        EXPECT_EQ(ValuesIn(canvas, x), (std::set<std::uint8_t>{Grey, White})) << x;
}

TEST(WaterfallAccelerate, NewLinesCopyOneColumnAndTheBarGoesToTheScreen)
{
    TMMDIBCanvas canvas;
    TTestWaterfall waterfall(canvas);
    waterfall.SetPictureSize(8, 50);
    waterfall.SetAccelerate(true);
    TScreenLog screen;
    TToneSource tone(1000, 8000, 8000, 300);
    waterfall.AnalyseBlock(tone.Next(256).data());
    waterfall.DrawLine(true, &screen);
    waterfall.AnalyseBlock(tone.Next(256).data());
    waterfall.DrawLine(false, &screen);
    const std::string grey = std::to_string(8421504);
    EXPECT_EQ(screen.Calls,
              (std::vector<std::string>{"bar 0 colour " + grey, "blit 0,0 8x50 from 0,0",
                                        "bar 0 colour " + grey, "blit -4,0 1x50 from -4,0",
                                        "bar 1 colour " + grey}));
    EXPECT_EQ(screen.TickPixels, 3 * (waterfall.TickCount() + 1));
    for (int x = 0; x < 8; ++x)
        EXPECT_FALSE(ValuesIn(canvas, x).contains(Grey)) << "no bar in the DIB";

    waterfall.SetScroll(true);
    waterfall.ResetDisplay();
    for (int line = 0; line < 9; ++line)
    {
        waterfall.AnalyseBlock(tone.Next(256).data());
        waterfall.DrawLine(false, &screen);
    }
    EXPECT_EQ(screen.Calls.back(), "scroll 0,0,4,50") << "right edge less BarWidth - 1";
    EXPECT_EQ(screen.Calls[screen.Calls.size() - 2], "blit 3,0 1x50 from 3,0");
}

TEST(WaterfallRestart, AFullDrawRestartsEveryOtherRegisteredWaterfall)
{
    TMMDIBCanvas canvasA;
    TMMDIBCanvas canvasB;
    TTestWaterfall a(canvasA);
    TTestWaterfall b(canvasB);
    TMMDIBCanvas canvasC;
    TTestWaterfall loner(canvasC);
    loner.DrawLine(true, nullptr);
    a.JoinRegistry();
    b.JoinRegistry();
    a.SetPictureSize(20, 30);
    b.SetPictureSize(20, 30);
    TToneSource tone(1000, 8000, 8000, 300);
    for (int line = 0; line < 12; ++line)
    {
        const auto block = tone.Next(256);
        a.ProcessBlock(block.data());
        b.ProcessBlock(block.data());
    }
    EXPECT_FALSE(a.RestartFlag());
    a.DrawLine(true, nullptr);
    EXPECT_TRUE(b.RestartFlag());
    EXPECT_FALSE(loner.RestartFlag()) << "only registered waterfalls restart together";
    b.ProcessBlock(tone.Next(256).data());
    EXPECT_FALSE(b.RestartFlag());
    EXPECT_EQ(b.WriteColumn(), -4) << "restarted at -BarWidth, then advanced";
    EXPECT_FALSE(a.RestartFlag()) << "a restart by flag does not pass the flag on";
}

TEST(WaterfallRestart, EmbossedPicturesStartFromTheMiddleColour)
{
    TMMDIBCanvas canvas;
    TTestWaterfall waterfall(canvas);
    waterfall.SetPictureSize(12, 30);
    waterfall.SetEmbossed(true);
    waterfall.DrawLine(true, nullptr);
    EXPECT_EQ(ValuesIn(canvas, 8), std::set<std::uint8_t>{123});
}

TEST(WaterfallDisplay, FormatsAndClamps)
{
    TMMDIBCanvas canvas;
    TTestWaterfall waterfall(canvas);
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 2, 3000);
    try
    {
        waterfall.SetDisplayFormat(format);
        FAIL() << "3000 Hz accepted";
    }
    catch (const EMMSpectrogramError& error)
    {
        EXPECT_STREQ(error.what(), "Invalid WaveFormat");
    }
    EXPECT_EQ(waterfall.Mode(), mMono);
    BuildPCMFormat(format, 16, 2, 4000);
    waterfall.SetDisplayFormat(format);
    EXPECT_EQ(waterfall.SampleRate(), 8000);
    EXPECT_EQ(waterfall.Mode(), mStereo);
    EXPECT_EQ(waterfall.BitLength(), b16Bit);
    EXPECT_EQ(waterfall.BlockBytes(), 2 * 2 * 256);
    BuildPCMFormat(format, 8, 1, 22050);
    waterfall.SetDisplayFormat(format);
    EXPECT_EQ(waterfall.SampleRate(), 22050);
    EXPECT_EQ(waterfall.BlockBytes(), 256);

    waterfall.SetSampleRate(8000);
    waterfall.SetFrequencyBase(3500);
    EXPECT_EQ(waterfall.FrequencyBase(), 3000);
    waterfall.SetFrequencyScale(0);
    EXPECT_EQ(waterfall.FrequencyScale(), 1);
    waterfall.SetFrequencyScale(40);
    EXPECT_EQ(waterfall.FrequencyScale(), 16);
    waterfall.SetBarWidth(0);
    EXPECT_EQ(waterfall.BarWidth(), 1);
    waterfall.SetSampleRate(200000);
    EXPECT_EQ(waterfall.SampleRate(), 100000);
    waterfall.SetPictureSize(2, 1);
    EXPECT_EQ(waterfall.Columns(), 4);
    EXPECT_EQ(waterfall.Rows(), 4);
}

TEST(WaterfallDisplay, AccelerateOffRepaintsOnlyWhileScrolling)
{
    TMMDIBCanvas canvas;
    TTestWaterfall waterfall(canvas);
    waterfall.DrawLine(true, nullptr);
    waterfall.SetAccelerate(true);
    waterfall.SetAccelerate(false);
    EXPECT_FALSE(waterfall.RestartFlag());
    waterfall.SetScroll(true);
    waterfall.DrawLine(true, nullptr);
    waterfall.SetAccelerate(true);
    EXPECT_FALSE(waterfall.RestartFlag());
    waterfall.SetAccelerate(false);
    EXPECT_TRUE(waterfall.RestartFlag());
}

} // namespace
} // namespace keb
