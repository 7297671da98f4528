// The program's two waterfalls fed by connectors on the live chain of the
// virtual card:
//
//   capture -> ring buffer -> input connector -> playback -> output connector
//
// The capture device records a 1000 Hz tone in noise; every 25 ms of card
// time the test triggers the output and then the input connector, as the
// program's timer does. Both waterfalls must show a steady line at 1000 Hz;
// their pictures are saved as PNG in the build folder.
#include "display/MMConect.h"
#include "display/MMSpGram.h"
#include "platform/core/Clock.h"
#include "platform/core/MainLoop.h"
#include "tests/stream/ChainRig.h"
#include "tests/platform/core/Watchdog.h"

#include <QApplication>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <numbers>

namespace keb
{
namespace
{
using namespace std::chrono_literals;

// 1000 Hz at 8000 Hz with uniform noise from a hash of the frame number.
std::int16_t ToneInNoise(std::uint64_t frame)
{
    std::uint64_t hash = (frame + 1) * 0x9E3779B97F4A7C15ull;
    hash ^= hash >> 29;
    const double noise = static_cast<double>(hash % 2001) - 1000.0;
    return static_cast<std::int16_t>(
        std::lround(2500 * std::sin(2 * std::numbers::pi * 1000.0 * frame / 8000.0) + noise));
}

void SetUpLikeTheProgram(TMMSpectrogram& spectrogram, int left, int width)
{
    spectrogram.BeginLoading();
    spectrogram.Bevel().SetBevelOuter(TPanelBevel::bvNone);
    spectrogram.Bevel().SetBevelInner(TPanelBevel::bvLowered);
    spectrogram.Bevel().SetBorderWidth(3);
    spectrogram.SetBounds(left, 8, width, 301);
    spectrogram.SetSampleRate(8000);
    spectrogram.SetBitLength(b16Bit);
    spectrogram.SetChannel(chLeft);
    spectrogram.SetFFTLength(256);
    spectrogram.SetAmplitudeScale(50);
    spectrogram.SetAccelerate(false);
    spectrogram.Loaded();
}

// The picture row (top = 0) with the highest palette index in a column.
int BrightestRow(TMMSpectrogram& spectrogram, int column)
{
    std::map<TDIBColor, int> indexOf;
    for (int index = 10; index < 246; ++index)
        indexOf.emplace(spectrogram.DIBCanvas().PaletteColor(index), index);
    const TRect area = spectrogram.DisplayArea();
    int best = -1;
    int bestIndex = -1;
    for (int row = 0; row < spectrogram.Rows(); ++row)
    {
        const QRgb colour = spectrogram.Screen().pixel(area.Left + column, area.Top + row);
        const auto found =
            indexOf.find(qRed(colour) | (qGreen(colour) << 8) | (qBlue(colour) << 16));
        if (found != indexOf.end() && found->second > bestIndex)
        {
            bestIndex = found->second;
            best = row;
        }
    }
    return best;
}

bool ShowsTheBar(TMMSpectrogram& spectrogram, int column)
{
    const TRect area = spectrogram.DisplayArea();
    return (spectrogram.Screen().pixel(area.Left + column, area.Top + 100) & 0xFFFFFF) == 0x808080;
}

void ExpectSteadyLineAt1000Hz(TMMSpectrogram& spectrogram)
{
    int lines = 0;
    for (int x = 0; x < spectrogram.Columns(); ++x)
    {
        if (ShowsTheBar(spectrogram, x))
            continue;
        ++lines;
        const int row = BrightestRow(spectrogram, x);
        const double hertz = 4000.0 * (spectrogram.Rows() - 1 - row) / (spectrogram.Rows() - 1);
        EXPECT_NEAR(hertz, 1000.0, 60.0) << spectrogram.Columns() << " columns, column " << x;
    }
    EXPECT_EQ(lines, spectrogram.Columns() - spectrogram.BarWidth());
}

TEST(SpectrogramChain, ConnectorsFeedBothWaterfallsASteadyTone)
{
    test::TWatchdog watchdog(600s, "ConnectorsFeedBothWaterfallsASteadyTone");
    TManualCounterClock clock;
    TClockSourceGuard clockGuard(clock);
    // The rig's devices count the devices of the card selected when they are
    // made, before the rig selects its own: a card of the same shape first.
    auto shape = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    shape->AddCaptureDevice("Receiver", MakeSilenceSource());
    shape->AddPlaybackDevice("Speaker", std::make_shared<TMemorySink>());
    UseVirtualSoundCard(shape);
    {
        QWidget window;
        window.resize(200, 320);
        TMMSpectrogram inputWaterfall(&window);
        TMMSpectrogram outputWaterfall(&window);
        SetUpLikeTheProgram(inputWaterfall, 8, 122);
        SetUpLikeTheProgram(outputWaterfall, 150, 28);
        window.show();
        QApplication::processEvents();

        test::TChainRig rig(test::TChainSettings{}, &ToneInNoise);
        TMMConnector input(nullptr), output(nullptr);
        input.SetAutoTrigger(false);
        output.SetAutoTrigger(false);
        input.SetInput(&rig.Ring);
        input.SetOutput(&rig.PullProbe);
        rig.Playback.SetOutput(&output);
        input.SetSpectrogram(0, &inputWaterfall);
        output.SetSpectrogram(0, &outputWaterfall);

        rig.SwitchOn();
        ProcessMessages();
        ASSERT_TRUE(input.Armed());
        ASSERT_TRUE(output.Armed());
        for (int tick = 0; tick < 10000 / 25; ++tick)
        {
            ASSERT_TRUE(rig.Run(25ms));
            clock.AdvanceMicroseconds(25000);
            ProcessMessages();
            output.Trigger();
            input.Trigger();
        }
        ExpectSteadyLineAt1000Hz(inputWaterfall);
        ExpectSteadyLineAt1000Hz(outputWaterfall);
        const char* folder = std::getenv("KEB_BUILD_DIR");
        const QString base = folder ? QString::fromLocal8Bit(folder) : QString(".");
        EXPECT_TRUE(inputWaterfall.grab().save(base + "/waterfall-chain-input-122x301.png"));
        EXPECT_TRUE(outputWaterfall.grab().save(base + "/waterfall-chain-output-28x301.png"));
        // Stopping resets the displays (RefreshOnStop): the next paint starts
        // the pictures afresh.
        rig.SwitchOff();
        inputWaterfall.repaint();
        EXPECT_EQ(inputWaterfall.WriteColumn(), -4);
        input.SetSpectrogram(0, nullptr);
        output.SetSpectrogram(0, nullptr);
    }
    UseVirtualSoundCard(nullptr);
}

} // namespace
} // namespace keb
