// The pictures: waterfalls that show where the signal is, and a response
// plot that follows the bands.
#include "tools/FilterPictures.h"

#include "tests/tools/FilterTestSupport.h"
#include "tools/FilterErrors.h"
#include "tools/FilterJob.h"
#include "tools/FilterSettings.h"
#include "tools/QtPictureWriter.h"

#include <QImage>
#include <climits>
#include <memory>
#include <sndfile.h>

namespace keb
{
namespace
{

class FilterPicturesTest : public test::FilterFolderTest
{
  protected:
    // The writer keb-filter's module gives, with its application object.
    static void SetUpTestSuite() { pictures_ = std::make_unique<TQtPictureWriter>(); }
    static void TearDownTestSuite() { pictures_.reset(); }

    static TFilterJobHooks Hooks()
    {
        TFilterJobHooks hooks;
        hooks.Pictures = pictures_.get();
        return hooks;
    }

    static std::unique_ptr<TQtPictureWriter> pictures_;
};

std::unique_ptr<TQtPictureWriter> FilterPicturesTest::pictures_;

// The row (0 at the top) of a frequency in the window's 293-row waterfall.
int RowOf(double frequency)
{
    return TWaterfallPicture::WindowRows - 1 -
           static_cast<int>(frequency / 4000.0 * TWaterfallPicture::WindowRows);
}

// The palette index whose colour is nearest to the picture's cell x, y.
int CellIndex(const QImage& image, const TLogPalette& palette, int x, int y)
{
    const QRgb colour = image.pixel(WaterfallPlotLeft + x, WaterfallPlotTop + y);
    int best = 0;
    int bestDistance = INT_MAX;
    for (int index = 0; index < DIBPaletteSize; ++index)
    {
        const TPaletteEntry& entry = palette.palPalEntry[index];
        const int distance = std::abs(qRed(colour) - entry.peRed) +
                             std::abs(qGreen(colour) - entry.peGreen) +
                             std::abs(qBlue(colour) - entry.peBlue);
        if (distance < bestDistance)
        {
            best = index;
            bestDistance = distance;
        }
    }
    return best;
}

// The palette index of a row of the picture's cells, on average.
double RowLevel(const QImage& image, int columns, int row)
{
    const TLogPalette palette = BuildSpectrogramPalette(spThreshold);
    double sum = 0;
    for (int x = 0; x < columns; ++x)
        sum += CellIndex(image, palette, x, row);
    return sum / columns;
}

// Dark pixels (text, ticks) in a rectangle of the picture.
int DarkPixels(const QImage& image, const QRect& area)
{
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    return dark;
}

// `blocks` blocks of 256 samples: a 1100 Hz tone for the first `toneBlocks`.
std::vector<std::int16_t> ToneThenSilence(int blocks, int toneBlocks)
{
    std::vector<std::int16_t> samples = test::Sine(1100, 8000, 8000, 256 * blocks);
    std::fill(samples.begin() + 256 * toneBlocks, samples.end(), 0);
    return samples;
}

TEST_F(FilterPicturesTest, TheWaterfallsShowTheToneBeforeAndNotAfterAClosedBand)
{
    // 2 s of a 1000 Hz tone and a 3000 Hz tone; the 0.2 preset at shift 5
    // keeps 1000 .. 1200 Hz only.
    std::vector<std::int16_t> low = test::Sine(1100, 8000, 6000, 16000);
    std::vector<std::int16_t> high = test::Sine(3000, 8000, 6000, 16000);
    for (std::size_t i = 0; i < low.size(); ++i)
        low[i] = static_cast<std::int16_t>(low[i] + high[i]);
    test::WriteSound(File("in.wav"), {8000, 1, low}, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    TFilterOptions options;
    options.Input = File("in.wav");
    options.Output = File("out.wav");
    options.Preset = TPreset::pr02;
    options.Shift = 5;
    options.WaterfallIn = File("in.png");
    options.WaterfallOut = File("out.png");
    options.Response = File("response.png");
    TFilterJobReport report = RunFilterJob(options, Hooks());
    EXPECT_EQ(report.Written.size(), 4u);

    QImage input(QString::fromStdString(File("in.png").string()));
    QImage output(QString::fromStdString(File("out.png").string()));
    // One column per 256 samples, the window's 293 rows, and the axes around.
    const int columns = 16000 / 256;
    EXPECT_EQ(input.width(), WaterfallPlotLeft + columns + 24);
    EXPECT_EQ(input.height(), WaterfallPlotTop + 293 + 52);
    EXPECT_EQ(output.size(), input.size());
    // Palette index 10 is the quietest colour, 245 the loudest.
    EXPECT_GT(RowLevel(input, columns, RowOf(1100)), 150);
    EXPECT_GT(RowLevel(input, columns, RowOf(3000)), 150);
    EXPECT_GT(RowLevel(output, columns, RowOf(1100)), 150);
    EXPECT_LT(RowLevel(output, columns, RowOf(3000)), 50);
    EXPECT_LT(RowLevel(input, columns, RowOf(2000)), 50);
}

TEST_F(FilterPicturesTest, TheWaterfallHasAFrequencyAxisInHzAndATimeAxis)
{
    TWaterfallPicture waterfall(1800);
    waterfall.Add(ToneThenSilence(1000, 500));
    const QImage image = WaterfallImage(waterfall, "Input waterfall");
    ASSERT_EQ(waterfall.Columns(), 1000);
    EXPECT_EQ(image.width(), WaterfallPlotLeft + 1000 + 24);
    // Every cell in its palette colour.
    const TLogPalette& palette = waterfall.Palette();
    for (int y = 0; y < waterfall.Rows(); y += 7)
        for (int x = 0; x < waterfall.Columns(); x += 13)
        {
            const TPaletteEntry& entry = palette.palPalEntry[waterfall.Pixel(x, y)];
            ASSERT_EQ(image.pixel(WaterfallPlotLeft + x, WaterfallPlotTop + y),
                      qRgb(entry.peRed, entry.peGreen, entry.peBlue))
                << x << ", " << y;
        }
    // A label beside each 500 Hz of the frequency axis: 0 at the bottom,
    // 4000 at the top.
    for (int hertz = 0; hertz <= 4000; hertz += 500)
    {
        const int y = WaterfallPlotTop + 293 - hertz * 293 / 4000;
        EXPECT_GT(DarkPixels(image, QRect(24, y - 4, WaterfallPlotLeft - 30, 8)), 10) << hertz;
    }
    // 32 s of time: labels along the bottom, every few seconds, none between.
    const int bottom = WaterfallPlotTop + 293;
    int labelled = 0;
    for (int x = WaterfallPlotLeft; x < WaterfallPlotLeft + 1000; x += 50)
        labelled += DarkPixels(image, QRect(x, bottom + 6, 50, 16)) > 0;
    EXPECT_GT(labelled, 5);
    EXPECT_GT(DarkPixels(image, QRect(0, 0, image.width(), WaterfallPlotTop)), 20) << "no title";
}

TEST(WaterfallWidthTest, ALongRecordingIsAveragedToTheWidthInTimeOrder)
{
    // 1000 blocks into 100 columns: the tone fills the first 400 blocks,
    // that is the first 40 columns.
    TWaterfallPicture narrow(100);
    TWaterfallPicture wide(2000);
    const std::vector<std::int16_t> samples = ToneThenSilence(1000, 400);
    for (std::size_t start = 0; start < samples.size(); start += 777)
    {
        const std::span<const std::int16_t> piece(
            samples.data() + start, std::min<std::size_t>(777, samples.size() - start));
        narrow.Add(piece);
        wide.Add(piece);
    }
    ASSERT_EQ(narrow.Columns(), 100);
    ASSERT_EQ(wide.Columns(), 1000);
    const int tone = RowOf(1100);
    for (int x = 0; x < 100; ++x)
    {
        // A column wholly inside the tone, or wholly after it, is the mean
        // of its ten blocks.
        if (x == 39 || x == 40)
            continue;
        double mean = 0;
        for (int block = 10 * x; block < 10 * x + 10; ++block)
            mean += wide.Pixel(block, tone);
        EXPECT_NEAR(narrow.Pixel(x, tone), mean / 10, 1.0) << x;
    }
    EXPECT_GT(narrow.Pixel(0, tone), 150);
    EXPECT_LT(narrow.Pixel(99, tone), 50);
}

TEST(WaterfallWidthTest, AnyLengthGivesAPictureOfTheWidth)
{
    // 20 minutes of audio (37500 blocks, many times the width), and a length
    // that is no multiple of the columns.
    for (int blocks : {37500, 5500})
    {
        TWaterfallPicture waterfall(DefaultWaterfallWidth);
        const std::vector<std::int16_t> tone = test::Sine(1100, 8000, 8000, 256 * 100);
        for (int added = 0; added < blocks; added += 100)
            waterfall.Add(tone);
        EXPECT_EQ(waterfall.Blocks(), blocks);
        EXPECT_EQ(waterfall.Columns(), DefaultWaterfallWidth);
        for (int x : {0, DefaultWaterfallWidth / 2, DefaultWaterfallWidth - 1})
            EXPECT_GT(waterfall.Pixel(x, RowOf(1100)), 150) << blocks << ": " << x;
    }
}

TEST_F(FilterPicturesTest, TheResponseFollowsTheBandGains)
{
    TFilterOptions options;
    TBandPositions positions = FlatPositions();
    positions[2] = 12;   // 400 .. 600 Hz
    positions[10] = -60; // 2000 .. 2200 Hz
    positions[11] = -60;
    std::vector<TResponsePoint> response = EqualizerResponse(options, positions, 801);
    ASSERT_EQ(response.size(), 801u);
    auto at = [&](double frequency)
    { return response[static_cast<std::size_t>(frequency / 5)].Decibels; };
    EXPECT_NEAR(at(500), 12, 0.5);
    EXPECT_NEAR(at(1500), 0, 0.5);
    EXPECT_LT(at(2200), -40);
    EXPECT_NEAR(at(3500), 0, 0.5);
    EXPECT_EQ(response.back().Frequency, 4000);

    options.Bypass = true;
    for (const TResponsePoint& point : EqualizerResponse(options, positions, 11))
        EXPECT_NEAR(point.Decibels, 0, 1e-9);

    QImage image = ResponseImage(response, DescribeSettings(options));
    EXPECT_EQ(image.size(), QSize(900, 520));
    // The curve is drawn in blue: some pixels of that colour must exist.
    int curve = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            curve += qBlue(image.pixel(x, y)) > 150 && qRed(image.pixel(x, y)) < 60;
    EXPECT_GT(curve, 800);
}

TEST_F(FilterPicturesTest, ThePictureNamesAreCheckedBeforeAnythingIsRead)
{
    test::WriteSound(File("in.wav"), {8000, 1, test::Sine(700, 8000, 5000, 4000)},
                     SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    TFilterOptions options;
    options.Input = File("in.wav");
    options.Output = File("out.wav");
    options.WaterfallIn = File("same.png");
    options.WaterfallOut = File("same.png");
    EXPECT_THROW(RunFilterJob(options, Hooks()), EFilterUsageError);
    options.WaterfallOut = File("in.wav");
    EXPECT_THROW(RunFilterJob(options, Hooks()), EFilterUsageError);
    options.WaterfallOut = File("none/out.png");
    EXPECT_THROW(RunFilterJob(options, Hooks()), EFilterOutputError);
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"in.wav"});
}

TEST(FilterDescription, NamesTheSettingsAsTheWindowWouldShowThem)
{
    TFilterOptions options;
    options.Preset = TPreset::pr18;
    options.Shift = 40;
    options.FFTLength = 300;
    options.Window = fwBlackman;
    EXPECT_EQ(DescribeSettings(options),
              "Equalizer response: preset 1.8 kHz at shift 12, FFT length 256, Blackman window");
    options = TFilterOptions{};
    options.Bypass = true;
    EXPECT_EQ(DescribeSettings(options),
              "Equalizer response: all bands at 0 dB, FFT length 256, Hamming window (bypassed)");
}

} // namespace
} // namespace keb
