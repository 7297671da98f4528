// The signal generator as a source and as a modulator.
#include "dsp/MMFXGen.h"
#include "tests/dsp/TestBuffers.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace keb
{
namespace
{

using test::MessageOf;
using test::TestBuffer;

// A 16-bit mono generator at 8000 Hz with its chain opened and started.
struct RunningGenerator
{
    explicit RunningGenerator(TMMWaveForm form, TMMBits bits = b16Bit) : Generator(nullptr)
    {
        Generator.SetBitLength(bits);
        Generator.SetSampleRate(8000);
        Generator.SetWaveForm(form);
        Generator.ChainOpened();
        Generator.ChainStarted();
    }
    TMMGenerator Generator;
};

void Load(TMMDSPComponent& component, TestBuffer& buffer)
{
    bool more = false;
    buffer.ClearForLoad();
    component.BufferLoad(buffer.Header(), more);
    EXPECT_TRUE(more);
}

TEST(Generator, ClampsOrIgnoresOutOfRangeSettings)
{
    TMMGenerator generator(nullptr);
    EXPECT_EQ(generator.SampleRate(), 11025);
    generator.SetSampleRate(4000);
    EXPECT_EQ(generator.SampleRate(), 8000);
    generator.SetSampleRate(96000);
    EXPECT_EQ(generator.SampleRate(), 88200);
    EXPECT_EQ(generator.GetWaveFormat()->nSamplesPerSec, 88200u);

    generator.SetMode(mStereo);
    generator.SetMode(mQuadro);
    EXPECT_EQ(generator.Mode(), mStereo);
    EXPECT_EQ(generator.GetWaveFormat()->nChannels, 2);

    generator.SetFrequency(0);
    EXPECT_DOUBLE_EQ(generator.Frequency(), 0.01);
    generator.SetFrequency(1e6);
    EXPECT_DOUBLE_EQ(generator.Frequency(), 100000);
    generator.SetAmplitude(20000);
    EXPECT_EQ(generator.Amplitude(), 16384);
}

TEST(Generator, RefusesFormatsThatAreNotPcm)
{
    TMMGenerator generator(nullptr);
    TWaveFormatEx format{};
    BuildPCMFormat(format, 24, 1, 8000);
    EXPECT_EQ(MessageOf<EMMGeneratorError>([&] { generator.SetWaveFormat(&format); }),
              "Invalid WaveFormat");
    EXPECT_EQ(generator.GetWaveFormat()->wBitsPerSample, 8);

    BuildPCMFormat(format, 16, 2, 22050);
    generator.SetWaveFormat(&format);
    EXPECT_EQ(generator.SampleRate(), 22050);
    EXPECT_EQ(generator.BitLength(), b16Bit);
    EXPECT_EQ(generator.Mode(), mStereo);
}

TEST(Generator, DisabledSourceGivesSilence)
{
    RunningGenerator eight(wfSine, b8Bit);
    eight.Generator.SetEnabled(false);
    TestBuffer buffer(100);
    Load(eight.Generator, buffer);
    EXPECT_EQ(buffer.Header()->dwBytesRecorded, 100u);
    EXPECT_TRUE(std::all_of(buffer.Bytes(), buffer.Bytes() + 100, [](auto b) { return b == 128; }));

    RunningGenerator sixteen(wfSine);
    sixteen.Generator.SetEnabled(false);
    buffer.Fill(7);
    Load(sixteen.Generator, buffer);
    EXPECT_TRUE(std::all_of(buffer.Bytes(), buffer.Bytes() + 100, [](auto b) { return b == 0; }));
}

TEST(Generator, SinePeaksFollowTheAmplitude)
{
    RunningGenerator running(wfSine);
    TestBuffer buffer(16); // 8 samples: one period of 1000 Hz
    Load(running.Generator, buffer);
    EXPECT_EQ(buffer.Samples(),
              (std::vector<std::int16_t>{0, 23170, 32767, 23170, 0, -23170, -32767, -23170}));

    running.Generator.SetAmplitude(8192);
    Load(running.Generator, buffer);
    const auto samples = buffer.Samples();
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 16383);
    EXPECT_EQ(*std::min_element(samples.begin(), samples.end()), -16383);
}

TEST(Generator, PhaseWrapsAt99999AndRestartsAtStart)
{
    RunningGenerator running(wfSawtoothPos);
    TestBuffer buffer(20);
    Load(running.Generator, buffer);
    // 12500 entries per sample; after 8 samples the phase is 100000 - 99999 = 1.
    EXPECT_EQ(buffer.Sample(1), 8191); // entry 12500
    EXPECT_EQ(buffer.Sample(8), 0);    // entry 1
    EXPECT_EQ(buffer.Sample(9), 8192); // entry 12501

    running.Generator.ChainStopped();
    running.Generator.ChainStarted();
    Load(running.Generator, buffer);
    EXPECT_EQ(buffer.Sample(0), 0);
    EXPECT_EQ(buffer.Sample(1), 8191);
}

TEST(Generator, WaveTablesHaveTheirShapes)
{
    std::mt19937 random(1);
    TMMWaveTable table;
    table.Build(wfSquare, 32767, random);
    EXPECT_EQ(table.Value(0), -32767);
    EXPECT_EQ(table.Value(50000), -32767);
    EXPECT_EQ(table.Value(50001), 32767);
    EXPECT_EQ(table.Value(99999), 32767);

    table.Build(wfTriangle, 32767, random);
    EXPECT_EQ(table.Value(25000), 32767);
    EXPECT_EQ(table.Value(75000), -32767);
    EXPECT_EQ(table.Value(99999), -2); // 32767 * 24999 div 25000 - 32767

    table.Build(wfSawtoothNeg, 127, random);
    EXPECT_EQ(table.Value(50000), -127);
    EXPECT_EQ(table.Value(50001), 127);

    table.Build(wfNoise, 127, random);
    int low = 0, high = 0;
    for (int i = 0; i < TMMWaveTable::Length; ++i)
    {
        low = std::min<int>(low, table.Value(i));
        high = std::max<int>(high, table.Value(i));
    }
    EXPECT_EQ(low, -127);
    EXPECT_EQ(high, 126);
}

TEST(Generator, EightBitAndStereoLayouts)
{
    RunningGenerator eight(wfSine, b8Bit);
    TestBuffer buffer(8);
    Load(eight.Generator, buffer);
    EXPECT_EQ(buffer.Bytes()[2], 255); // +127
    EXPECT_EQ(buffer.Bytes()[6], 1);   // -127

    RunningGenerator stereo(wfSquare);
    stereo.Generator.SetMode(mStereo);
    stereo.Generator.SetChannel(chRight);
    TestBuffer frames(16); // 4 frames
    frames.Fill(0);
    Load(stereo.Generator, frames);
    for (int frame = 0; frame < 4; ++frame)
    {
        EXPECT_EQ(frames.Sample(2 * frame), 0);
        EXPECT_EQ(frames.Sample(2 * frame + 1), -32767);
    }
}

TEST(Generator, AmplitudeModulationKeepsTheDryShareAndClips)
{
    // Square at 1000 Hz: entries 0 .. 50000 give -32767 (five samples), the next three +32767.
    RunningGenerator running(wfSquare);
    running.Generator.SetDryAmplitude(16384);
    TestBuffer buffer(16);
    for (int i = 0; i < 8; ++i)
        buffer.SetSample(i, 20000);
    buffer.Header()->dwBytesRecorded = 16;
    running.Generator.BufferReady(buffer.Header());
    // 20000 + (-32767 * 20000) div 32768 = 1; 20000 + 19999 clips to 32767.
    EXPECT_EQ(buffer.Samples(), (std::vector<std::int16_t>{1, 1, 1, 1, 1, 32767, 32767, 32767}));

    RunningGenerator eight(wfSquare, b8Bit);
    TestBuffer bytes(8);
    bytes.Fill(228); // sample +100
    eight.Generator.BufferReady(bytes.Header());
    // (-127 * 100) div 128 = -99, stored as 29; +99 as 227.
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.Bytes(), bytes.Bytes() + 8),
              (std::vector<std::uint8_t>{29, 29, 29, 29, 29, 227, 227, 227}));
}

TEST(Generator, ModulatesWhatItPullsFromItsInput)
{
    RunningGenerator source(wfSquare);
    RunningGenerator modulator(wfSquare);
    modulator.Generator.SetInput(&source.Generator);
    modulator.Generator.ChainOpened();
    modulator.Generator.ChainStarted();
    TestBuffer buffer(16);
    Load(modulator.Generator, buffer);
    // -32767 * -32767 div 32768 = 32766; -32767 * 32767 div 32768 = -32766.
    EXPECT_EQ(buffer.Samples(),
              (std::vector<std::int16_t>{32766, 32766, 32766, 32766, 32766, 32766, 32766, 32766}));
}

TEST(Generator, FrequencyModulationSteersTheGenerator)
{
    RunningGenerator source(wfSine);
    TestBuffer expected(16);
    Load(source.Generator, expected);

    RunningGenerator silentInput(wfSine);
    silentInput.Generator.SetModulation(moFM);
    TestBuffer buffer(16);
    buffer.Fill(0);
    silentInput.Generator.BufferReady(buffer.Header());
    EXPECT_EQ(buffer.Samples(), expected.Samples()); // x = 0: the generator alone

    RunningGenerator stopped(wfSquare);
    stopped.Generator.SetModulation(moFM);
    for (int i = 0; i < 8; ++i)
        buffer.SetSample(i, -32768); // x = -1: the phase stands still
    stopped.Generator.BufferReady(buffer.Header());
    EXPECT_EQ(buffer.Samples(), std::vector<std::int16_t>(8, -32767));

    RunningGenerator eight(wfSquare, b8Bit);
    eight.Generator.SetModulation(moFM);
    TestBuffer bytes(8);
    bytes.Fill(200);
    eight.Generator.BufferReady(bytes.Header());
    EXPECT_TRUE(std::all_of(bytes.Bytes(), bytes.Bytes() + 8, [](auto b) { return b == 200; }));
}

TEST(Generator, PhaseModulationLeavesTheAudioUnchanged)
{
    RunningGenerator running(wfSquare);
    running.Generator.SetModulation(moPM);
    TestBuffer buffer(16);
    buffer.Fill(0x35);
    running.Generator.BufferReady(buffer.Header());
    EXPECT_TRUE(std::all_of(buffer.Bytes(), buffer.Bytes() + 16, [](auto b) { return b == 0x35; }));
}

} // namespace
} // namespace keb
