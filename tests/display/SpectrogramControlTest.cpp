// The spectrogram control: geometry, blocks and repaints, the screen copies,
// the frequency box and scale, and the program's two waterfalls drawing a
// 1000 Hz tone (saved as PNG pictures in the build folder).
#include "display/AccessibleWaterfall.h"
#include "display/MMSpGram.h"
#include "display/WaterfallTones.h"
#include "tests/display/ToneBlocks.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace keb
{
namespace
{

const QRgb BarGrey = qRgb(128, 128, 128) & 0xFFFFFF;

// A spectrogram as the program's window sets it up.
std::unique_ptr<TMMSpectrogram> ProgramWaterfall(QWidget* parent, int left, int width)
{
    auto spectrogram = std::make_unique<TMMSpectrogram>(parent);
    spectrogram->BeginLoading();
    TMMBevel& bevel = spectrogram->Bevel();
    bevel.SetBevelOuter(TPanelBevel::bvNone);
    bevel.SetBevelInner(TPanelBevel::bvLowered);
    bevel.SetBevelInnerWidth(1);
    bevel.SetBorderWidth(3);
    spectrogram->SetBounds(left, 8, width, 301);
    spectrogram->SetSampleRate(8000);
    spectrogram->SetBitLength(b16Bit);
    spectrogram->SetChannel(chLeft);
    spectrogram->SetFFTLength(256);
    spectrogram->SetAmplitudeScale(50);
    spectrogram->SetAccelerate(false);
    spectrogram->Loaded();
    return spectrogram;
}

struct TWindow
{
    TWindow()
    {
        Parent.resize(200, 320);
        Input = ProgramWaterfall(&Parent, 8, 122);
        Output = ProgramWaterfall(&Parent, 150, 28);
        Parent.show();
        QApplication::processEvents();
    }
    QWidget Parent;
    std::unique_ptr<TMMSpectrogram> Input;
    std::unique_ptr<TMMSpectrogram> Output;
};

// The screen colours of one picture column of a spectrogram.
std::vector<QRgb> ScreenColumn(const TMMSpectrogram& spectrogram, int column)
{
    std::vector<QRgb> colours;
    const TRect area = spectrogram.DisplayArea();
    for (int y = area.Top; y < area.Bottom; ++y)
        colours.push_back(spectrogram.Screen().pixel(area.Left + column, y) & 0xFFFFFF);
    return colours;
}

// The screen row (from the picture's top) of the brightest pixel, by the
// palette's order (its index), in a column.
int BrightestRow(TMMSpectrogram& spectrogram, int column)
{
    std::map<QRgb, int> indexOf;
    for (int index = 10; index < 246; ++index)
        indexOf.emplace(spectrogram.DIBCanvas().PaletteColor(index), index);
    const auto colours = ScreenColumn(spectrogram, column);
    int best = 0;
    int bestIndex = -1;
    for (int row = 0; row < static_cast<int>(colours.size()); ++row)
    {
        const QRgb colour = colours[row];
        const TDIBColor value = qRed(colour) | (qGreen(colour) << 8) | (qBlue(colour) << 16);
        const auto found = indexOf.find(value);
        if (found != indexOf.end() && found->second > bestIndex)
        {
            bestIndex = found->second;
            best = row;
        }
    }
    return best;
}

// Rows (top = 0) that lie within 60 Hz of the frequency.
bool NearFrequency(const TMMSpectrogram& spectrogram, int row, double hertz)
{
    const double rowHertz = 4000.0 * (spectrogram.Rows() - 1 - row) / (spectrogram.Rows() - 1);
    return std::abs(rowHertz - hertz) <= 60;
}

// Where the pictures go: the build folder.
QString PictureFolder()
{
    const char* folder = std::getenv("KEB_BUILD_DIR");
    return folder ? QString::fromLocal8Bit(folder) : QString(".");
}

void Feed(TMMSpectrogram& spectrogram, TToneSource& source, int blocks)
{
    for (int block = 0; block < blocks; ++block)
        spectrogram.ProcessBlock(source.Next(256).data());
}

TEST(SpectrogramGeometry, ProgramSizesAndTheSmallestSize)
{
    TWindow window;
    EXPECT_EQ(window.Output->BevelExtent(), 4);
    EXPECT_EQ(window.Output->Columns(), 20);
    EXPECT_EQ(window.Output->Rows(), 293);
    EXPECT_EQ(window.Output->DIBCanvas().Width(), 20);
    EXPECT_EQ(window.Input->Columns(), 114);
    EXPECT_EQ(window.Input->BlockBytes(), 512);

    window.Output->SetBounds(0, 0, 1, 1);
    EXPECT_EQ(window.Output->Width(), 13);
    EXPECT_EQ(window.Output->Height(), 13);
    EXPECT_EQ(window.Output->Columns(), 5);
    window.Output->SetDrawScale(true);
    EXPECT_EQ(window.Output->Width(), 77);
    EXPECT_EQ(window.Output->Columns(), 5);
}

TEST(SpectrogramScreen, TheFirstFiveLinesAfterARestartAreHiddenBehindTheBar)
{
    TWindow window;
    TMMSpectrogram& output = *window.Output;
    TToneSource tone(1000, 8000, 3000, 300);
    Feed(output, tone, 30);
    // The input's repaint restarts the output at its next line.
    window.Input->ResetDisplay();
    QApplication::processEvents();
    ASSERT_TRUE(output.RestartFlag());
    Feed(output, tone, 5);
    for (int x = 0; x < 20; ++x)
    {
        const auto column = ScreenColumn(output, x);
        const int bar = static_cast<int>(std::count(column.begin(), column.end(), BarGrey));
        if (x < 5)
            EXPECT_GT(bar, 280) << "the grey bar at the left edge, column " << x;
        else
            EXPECT_EQ(std::set<QRgb>(column.begin(), column.end()), std::set<QRgb>{0})
                << "no line yet in column " << x;
    }
    Feed(output, tone, 1);
    EXPECT_TRUE(NearFrequency(output, BrightestRow(output, 0), 1000));
}

TEST(SpectrogramBlocks, HiddenDisabledAndRepaintedSpectrograms)
{
    TWindow window;
    TToneSource tone(1000, 8000, 3000, 300);
    Feed(*window.Input, tone, 3);
    Feed(*window.Output, tone, 3);
    const int column = window.Input->WriteColumn();

    window.Input->SetEnabled(false);
    Feed(*window.Input, tone, 2);
    EXPECT_EQ(window.Input->WriteColumn(), column) << "disabled: blocks ignored";
    window.Input->SetEnabled(true);
    window.Input->hide();
    Feed(*window.Input, tone, 2);
    EXPECT_EQ(window.Input->WriteColumn(), column) << "hidden: blocks ignored";
    window.Input->show();

    // A repaint of one restarts both at their next line.
    QApplication::processEvents();
    window.Input->ResetDisplay();
    window.Input->repaint();
    EXPECT_EQ(window.Input->WriteColumn(), -4);
    EXPECT_TRUE(window.Output->RestartFlag());
    Feed(*window.Output, tone, 1);
    EXPECT_EQ(window.Output->WriteColumn(), -4);
    EXPECT_FALSE(window.Output->RestartFlag());
}

TEST(SpectrogramScreen, AccelerateShowsTheBarOnTheScreenOnly)
{
    TWindow window;
    TMMSpectrogram& input = *window.Input;
    input.SetAccelerate(true);
    input.repaint();
    TToneSource tone(1000, 8000, 3000, 300);
    Feed(input, tone, 12);
    const auto bar = ScreenColumn(input, input.BarEnd() - 1);
    EXPECT_GT(std::count(bar.begin(), bar.end(), BarGrey), 280);
    const TMMDIBCanvas& canvas = input.DIBCanvas();
    std::uint8_t* bits = input.DIBCanvas().Bits();
    EXPECT_EQ(std::count(bits, bits + canvas.Stride() * canvas.Height(), 248), 0);
    EXPECT_TRUE(NearFrequency(input, BrightestRow(input, input.WriteColumn() - 1), 1000));
}

TEST(SpectrogramScreen, AcceleratedScrollingMovesTheScreenNotTheDIB)
{
    TWindow window;
    TMMSpectrogram& output = *window.Output;
    output.SetAccelerate(true);
    output.SetScroll(true);
    output.repaint();
    TToneSource tone(1000, 8000, 3000, 300);
    TToneSource silence(1000, 8000, 0, 0);
    // The tone fills the picture, then ten silent lines scroll in.
    Feed(output, tone, 19);
    ASSERT_EQ(output.BarEnd(), 20);
    Feed(output, silence, 10);
    for (int x = 0; x < 16; ++x)
    {
        const auto column = ScreenColumn(output, x);
        const bool silent = std::set<QRgb>(column.begin(), column.end()) == std::set<QRgb>{0};
        EXPECT_EQ(silent, x >= 5) << "screen column " << x;
    }
    EXPECT_EQ(ScreenColumn(output, 16)[100], BarGrey);
    // The DIB keeps the tone lines where they were drawn.
    std::uint8_t* bits = output.DIBCanvas().Bits();
    const int stride = output.DIBCanvas().Stride();
    const int toneRow = 293 - 1 - 293 / 4;
    EXPECT_GT(bits[toneRow * stride + 10], 100);
    EXPECT_EQ(bits[toneRow * stride + 15], 10) << "the newest, silent line";
}

TEST(SpectrogramInfo, TheFrequencyBoxFreezesThePictureAndLeavesNoTrace)
{
    TWindow window;
    TMMSpectrogram& input = *window.Input;
    TToneSource tone(1000, 8000, 3000, 300);
    Feed(input, tone, 40);
    const QImage before = input.Screen().copy();
    const int column = input.WriteColumn();

    const QPoint point(30, 150);
    QTest::mousePress(&input, Qt::LeftButton, Qt::NoModifier, point);
    ASSERT_TRUE(input.InfoMode());
    // DIB coordinates: left = x - bevel, top = y - bevel + 15.
    const TRect area = input.DisplayArea();
    EXPECT_EQ(input.Screen().pixel(area.Left + 26 + 1, area.Top + 161 + 1) & 0xFFFFFF, 0xFFFFFFu)
        << "white inside the box";
    EXPECT_EQ(input.Screen().pixel(area.Left + 26, area.Top + 161 + 2) & 0xFFFFFF, 0u)
        << "black outline";
    Feed(input, tone, 3);
    EXPECT_EQ(input.WriteColumn(), column) << "blocks are ignored in info mode";

    QTest::mouseMove(&input, QPoint(60, 290));
    QTest::mouseRelease(&input, Qt::LeftButton, Qt::NoModifier, QPoint(60, 290));
    EXPECT_FALSE(input.InfoMode());
    EXPECT_EQ(input.Screen(), before) << "the picture under the box is back";

    input.SetShowInfo(false);
    QTest::mousePress(&input, Qt::LeftButton, Qt::NoModifier, point);
    EXPECT_FALSE(input.InfoMode());
    QTest::mouseRelease(&input, Qt::LeftButton, Qt::NoModifier, point);
}

TEST(SpectrogramInfo, ResetDisplayClosesTheBox)
{
    TWindow window;
    TMMSpectrogram& input = *window.Input;
    QTest::mousePress(&input, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    ASSERT_TRUE(input.InfoMode());
    input.ResetDisplay();
    EXPECT_FALSE(input.InfoMode());
    QTest::mouseRelease(&input, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
}

TEST(SpectrogramScale, StripsCarryTheAxisAndTicks)
{
    TWindow window;
    TMMSpectrogram& input = *window.Input;
    input.SetBounds(8, 8, 186, 301);
    input.SetScaleLineColor(clRed);
    input.SetDrawScale(true);
    input.repaint();
    EXPECT_EQ(input.Columns(), 186 - 64 - 8);
    const int bevel = input.BevelExtent();
    const QImage& screen = input.Screen();
    for (int k = 0; k <= input.TickCount(); ++k)
    {
        const int y = bevel + SpectrogramTickRow(k, input.TickCount(), input.Rows());
        EXPECT_EQ(screen.pixel(26, y) & 0xFFFFFF, 0xFF0000u) << "left tick mark " << k;
        EXPECT_EQ(screen.pixel(186 - 29 + 2, y) & 0xFFFFFF, 0xFF0000u) << "right tick mark " << k;
    }
    EXPECT_EQ(screen.pixel(28, 150) & 0xFFFFFF, 0xFF0000u) << "left axis";
    EXPECT_EQ(screen.pixel(30, 150) & 0xFFFFFF, ToQColor(clBtnFace).rgb() & 0xFFFFFF) << "gap";
    TToneSource tone(1000, 8000, 3000, 300);
    Feed(input, tone, 150);
    EXPECT_TRUE(input.grab().save(PictureFolder() + "/waterfall-scale-186x301.png"));
}

TEST(SpectrogramPictures, BothProgramWaterfallsDrawASteadyToneLine)
{
    TWindow window;
    TToneSource tone(1000, 8000, 2500, 700);
    for (int block = 0; block < 300; ++block)
    {
        // Each spectrogram gets the same block, like the two connectors.
        const auto bytes = tone.Next(256);
        window.Input->ProcessBlock(bytes.data());
        window.Output->ProcessBlock(bytes.data());
    }
    for (TMMSpectrogram* spectrogram : {window.Input.get(), window.Output.get()})
    {
        int lines = 0;
        for (int x = 0; x < spectrogram->Columns(); ++x)
        {
            const auto column = ScreenColumn(*spectrogram, x);
            if (std::count(column.begin(), column.end(), BarGrey) > 0)
                continue;
            ++lines;
            EXPECT_TRUE(NearFrequency(*spectrogram, BrightestRow(*spectrogram, x), 1000))
                << spectrogram->Columns() << " columns, column " << x;
        }
        EXPECT_GE(lines, spectrogram->Columns() - 5);
    }
    EXPECT_TRUE(window.Input->grab().save(PictureFolder() + "/waterfall-input-122x301.png"));
    EXPECT_TRUE(window.Output->grab().save(PictureFolder() + "/waterfall-output-28x301.png"));
}

// Two tones in a little noise.
void FeedTwoTones(TMMSpectrogram& spectrogram, double strong, double weak, int blocks)
{
    TToneSource first(strong, 8000, 800, 30);
    TToneSource second(weak, 8000, 300, 0);
    for (int block = 0; block < blocks; ++block)
    {
        std::vector<std::uint8_t> bytes = first.Next(256);
        const std::vector<std::uint8_t> added = second.Next(256);
        for (std::size_t at = 0; at < bytes.size(); at += 2)
        {
            const auto sample = static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8);
            const auto more = static_cast<std::int16_t>(added[at] | added[at + 1] << 8);
            const auto sum = static_cast<std::uint16_t>(sample + more);
            bytes[at] = static_cast<std::uint8_t>(sum & 0xFF);
            bytes[at + 1] = static_cast<std::uint8_t>(sum >> 8);
        }
        spectrogram.ProcessBlock(bytes.data());
    }
}

TEST(SpectrogramAccessible, DescribesTheStrongestTonesOnScreenAtMostOnceASecond)
{
    InstallAccessibleWaterfalls();
    TWindow window;
    window.Input->setAccessibleName("Input waterfall");
    QAccessibleInterface* input = QAccessible::queryAccessibleInterface(window.Input.get());
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->role(), QAccessible::Graphic);
    EXPECT_EQ(input->text(QAccessible::Name), "Input waterfall");
    EXPECT_EQ(input->text(QAccessible::Description), "No tones");

    // Within the second the description stays as it was read.
    FeedTwoTones(*window.Input, 700, 1500, 130);
    EXPECT_EQ(input->text(QAccessible::Description), "No tones");
    QTest::qWait(1100);
    EXPECT_EQ(input->text(QAccessible::Description), "Strongest tones: 700 Hz, 1500 Hz");
    EXPECT_EQ(StrongestTones(*window.Input, 1), std::vector<int>{700});

    // The narrow output waterfall: its bar covers a quarter of the picture.
    FeedTwoTones(*window.Output, 2500, 300, 30);
    EXPECT_EQ(DescribeTones(StrongestTones(*window.Output, 3)), "Strongest tones: 2500 Hz, 300 Hz");
}

} // namespace
} // namespace keb
