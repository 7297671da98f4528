// The whole program on the demo signal: ON, audio through the equalizer to
// the playback device, both waterfalls drawing, the 0.2 kHz preset taking
// the carrier out, OFF, and a picture of the running window.
#include "WindowTestSupport.h"
#include "demo/DemoSignal.h"
#include "tests/platform/audio/ToneAnalysis.h"

#include <QImage>
#include <QSet>
#include <cmath>
#include <cstdio>

namespace keb::test
{
namespace
{

constexpr double SampleRate = 8000.0;

std::vector<double> Samples(const std::vector<std::uint8_t>& Bytes)
{
    std::vector<double> samples(Bytes.size() / 2);
    for (std::size_t index = 0; index < samples.size(); ++index)
    {
        const auto bits = static_cast<std::uint16_t>(Bytes[2 * index] | Bytes[2 * index + 1] << 8);
        samples[index] = static_cast<std::int16_t>(bits) / 32768.0;
    }
    return samples;
}

// The CW tone's amplitude while the key is down: the loudest of short frames.
double KeyDownAmplitude(const std::vector<double>& Samples, std::size_t First, std::size_t Count)
{
    constexpr std::size_t Frame = 400;
    double loudest = 0;
    for (std::size_t start = First; start + Frame <= First + Count; start += Frame / 2)
        loudest = std::max(
            loudest, SineAmplitude(Samples, start, Frame, TDemoSignal::CwFrequencyHz, SampleRate));
    return loudest;
}

// The steady carrier's amplitude: the power average of 200 ms frames, so
// that a block the queue dropped or repeated (a phase jump) costs nothing.
double CarrierAmplitude(const std::vector<double>& Samples, std::size_t First, std::size_t Count)
{
    constexpr std::size_t Frame = 1600;
    double power = 0;
    int frames = 0;
    for (std::size_t start = First; start + Frame <= First + Count; start += Frame, ++frames)
        power += std::pow(
            SineAmplitude(Samples, start, Frame, TDemoSignal::CarrierFrequencyHz, SampleRate), 2);
    return std::sqrt(power / frames);
}

double Decibels(double Ratio)
{
    return 20 * std::log10(Ratio);
}

// How many different colours the inside of a waterfall shows.
int Colours(QWidget* Waterfall)
{
    const QImage picture = Waterfall->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 8; y < picture.height() - 8; ++y)
        for (int x = 8; x < picture.width() - 8; ++x)
            colours.insert(picture.pixel(x, y));
    return static_cast<int>(colours.size());
}

using EndToEndTest = WindowTest;

TEST_F(EndToEndTest, NarrowPresetTakesTheCarrierOutOfThePlayedAudio)
{
    TMainForm& form = Form();
    // 600-800 Hz: the CW tone passes, the carrier at 1500 Hz is in a closed band.
    form.Sh->SetValue(3);
    Click(form.F02b);
    ASSERT_EQ(BandGains(), OpenBands(3, 3));
    Click(form.StartBtn);
    ASSERT_TRUE(PlayBuffers(48)); // 6 s
    Click(form.StopBtn);

    const std::vector<double> played = Samples(Speaker->Bytes());
    const std::size_t settled = static_cast<std::size_t>(SampleRate); // skip the first second
    ASSERT_GT(played.size(), settled + 4 * static_cast<std::size_t>(SampleRate));
    const std::size_t count = played.size() - settled;
    const double tone = KeyDownAmplitude(played, settled, count);
    const double carrier = CarrierAmplitude(played, settled, count);
    EXPECT_GT(tone, TDemoSignal::CwAmplitude / 2) << "the CW tone passes the open band";
    const double before = Decibels(TDemoSignal::CwAmplitude / TDemoSignal::CarrierAmplitude);
    const double after = Decibels(tone / carrier);
    EXPECT_GE(after - before, 50.0)
        << "carrier " << Decibels(carrier) << " dB, tone " << Decibels(tone) << " dB";
    RecordProperty("CarrierReductionDecibels", std::to_string(after - before));
    std::printf("carrier lowered by %.1f dB against the CW tone\n", after - before);
}

TEST_F(EndToEndTest, FlatFilterPassesBothSignals)
{
    TMainForm& form = Form();
    Click(form.StartBtn);
    ASSERT_TRUE(PlayBuffers(40));
    Click(form.StopBtn);
    const std::vector<double> played = Samples(Speaker->Bytes());
    const std::size_t settled = static_cast<std::size_t>(SampleRate);
    ASSERT_GT(played.size(), settled * 4);
    const std::size_t count = played.size() - settled;
    const double tone = KeyDownAmplitude(played, settled, count);
    const double carrier = CarrierAmplitude(played, settled, count);
    EXPECT_NEAR(Decibels(tone / TDemoSignal::CwAmplitude), 0.0, 1.5);
    EXPECT_NEAR(Decibels(carrier / TDemoSignal::CarrierAmplitude), 0.0, 1.5);
}

TEST_F(EndToEndTest, RunningWindowDrawsBothWaterfallsAndOffStopsAtOnce)
{
    TMainForm& form = Form();
    const int blankInput = Colours(form.MMSpectrogram1);
    const int blankOutput = Colours(form.MMSpectrogram2);
    // 400-2200 Hz: the CW tone and the carrier pass, the noise above does not.
    form.Sh->SetValue(2);
    Click(form.F18b);
    Click(form.StartBtn);
    ASSERT_TRUE(PlayBuffers(40, true));
    EXPECT_GT(Colours(form.MMSpectrogram1), blankInput + 8);
    EXPECT_GT(Colours(form.MMSpectrogram2), blankOutput + 8);

    const QImage picture = form.grab().toImage();
    EXPECT_EQ(picture.size(), QSize(409, 318));
    const char* folder = std::getenv("KEB_BUILD_DIR");
    const std::filesystem::path target =
        std::filesystem::path(folder != nullptr ? folder : ".") / "keb-window.png";
    EXPECT_TRUE(picture.save(QString::fromStdString(target.string())));

    Click(form.StopBtn);
    EXPECT_TRUE(form.MMWaveIn->HasState(wsClosed));
    EXPECT_TRUE(form.WaveOut->HasState(wsClosed));
    EXPECT_FALSE(form.HiTimer->Enabled());
    // Nothing more is played, not even the buffers that were queued.
    const std::size_t played = Speaker->Bytes().size();
    Card->Advance(BufferTime);
    PumpFor(50ms);
    EXPECT_EQ(Speaker->Bytes().size(), played);
    EXPECT_TRUE(ErrorBoxes.empty());
}

} // namespace
} // namespace keb::test
