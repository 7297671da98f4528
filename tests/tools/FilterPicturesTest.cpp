// The pictures: waterfalls that show where the signal is, and a response
// plot that follows the bands.
#include "tools/FilterPictures.h"

#include "tests/tools/FilterTestSupport.h"
#include "tools/FilterErrors.h"
#include "tools/FilterJob.h"
#include "tools/FilterSettings.h"

#include <QGuiApplication>
#include <QImage>
#include <memory>
#include <sndfile.h>

namespace keb
{
namespace
{

class FilterPicturesTest : public test::FilterFolderTest
{
  protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "keb_filter_picture_tests";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    static void TearDownTestSuite() { application_.reset(); }

    static std::unique_ptr<QGuiApplication> application_;
};

std::unique_ptr<QGuiApplication> FilterPicturesTest::application_;

// The row (0 at the top) of a frequency in the window's 293-row waterfall.
int RowOf(double frequency)
{
    return TWaterfallPicture::WindowRows - 1 -
           static_cast<int>(frequency / 4000.0 * TWaterfallPicture::WindowRows);
}

// The brightest palette index of a row over all columns, on average.
double RowLevel(const QImage& image, int row)
{
    double sum = 0;
    for (int x = 0; x < image.width(); ++x)
        sum += image.pixelIndex(x, row);
    return sum / image.width();
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
    TFilterJobReport report = RunFilterJob(options);
    EXPECT_EQ(report.Written.size(), 4u);

    QImage input(QString::fromStdString(File("in.png").string()));
    QImage output(QString::fromStdString(File("out.png").string()));
    ASSERT_EQ(input.format(), QImage::Format_Indexed8);
    // One column per 256 samples, the window's 293 rows.
    EXPECT_EQ(input.width(), 16000 / 256);
    EXPECT_EQ(input.height(), 293);
    EXPECT_EQ(output.size(), input.size());
    // Palette index 10 is the quietest colour, 245 the loudest.
    EXPECT_GT(RowLevel(input, RowOf(1100)), 150);
    EXPECT_GT(RowLevel(input, RowOf(3000)), 150);
    EXPECT_GT(RowLevel(output, RowOf(1100)), 150);
    EXPECT_LT(RowLevel(output, RowOf(3000)), 50);
    EXPECT_LT(RowLevel(input, RowOf(2000)), 50);
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
    EXPECT_THROW(RunFilterJob(options), EFilterUsageError);
    options.WaterfallOut = File("in.wav");
    EXPECT_THROW(RunFilterJob(options), EFilterUsageError);
    options.WaterfallOut = File("none/out.png");
    EXPECT_THROW(RunFilterJob(options), EFilterOutputError);
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
