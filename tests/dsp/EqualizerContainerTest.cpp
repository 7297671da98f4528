// The equalizer's band container ("EQU") as the window stores it.
#include "dsp/MMEQ.h"
#include "tests/dsp/TestChain.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <limits>

namespace keb
{
namespace
{

using test::MessageOf;
using Bytes = std::vector<std::uint8_t>;

// The container stored in the main window's layout.
const Bytes ProgramContainer = {0x45, 0x51, 0x55, 0x00, 0x01, 0x08, 0x00, 0x00,
                                0x00, 'U',  'n',  't',  'i',  't',  'l',  'e',
                                'd',  0x00, 0x01, 0x00, 0x00, 0x00, 0x00};

Bytes CorpusFile(const char* name)
{
    std::ifstream file(std::string(KEB_CONTAINER_CORPUS) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// An "EQU" container with description, FFT length and one band named name.
Bytes OneBandContainer(const std::string& description, std::int32_t fftLength,
                       const std::string& name, float gain)
{
    TMemoryStream stream;
    stream.WriteString(std::string("EQU", 4));
    stream.WriteUInt8(1);
    stream.WriteInt32(static_cast<std::int32_t>(description.size()));
    stream.WriteString(description);
    stream.WriteInt32(fftLength);
    stream.WriteInt16(1);
    stream.WriteUInt8(static_cast<std::uint8_t>(name.size()));
    stream.WriteString(name);
    stream.WriteUInt8(1);
    stream.WriteFloat(100);
    stream.WriteFloat(300);
    stream.WriteFloat(gain);
    return stream.Memory();
}

TEST(EqualizerContainer, WritesAndReadsTheProgramWindowsContainer)
{
    TMMEqualizer equalizer(nullptr);
    EXPECT_TRUE(equalizer.Filters()->HasContainerData());
    EXPECT_EQ(equalizer.Filters()->ObjectContainer(), ProgramContainer);

    test::AddMainWindowBands(equalizer);
    equalizer.SetFFTLength(1024);
    int changes = 0;
    equalizer.OnChange = [&](TMMEqualizer&) { ++changes; };
    equalizer.Filters()->SetObjectContainer(ProgramContainer);
    EXPECT_EQ(equalizer.Filters()->Count(), 0);
    EXPECT_EQ(equalizer.Description(), "Untitled");
    EXPECT_EQ(equalizer.FFTLength(), 256);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(equalizer.Updating());
    EXPECT_EQ(equalizer.Filters()->ObjectContainer(), ProgramContainer);
}

TEST(EqualizerContainer, AWrongTagChangesNothing)
{
    TMMEqualizer equalizer(nullptr);
    test::AddMainWindowBands(equalizer);
    TMMEQFilter* first = equalizer.Filters()->Items(0);
    equalizer.SetDescription("Mine");
    equalizer.SetFFTLength(512);
    Bytes wrongTag = ProgramContainer;
    wrongTag[2] = 'X';
    EXPECT_EQ(MessageOf<EReadError>([&] { equalizer.Filters()->SetObjectContainer(wrongTag); }),
              "Invalid Object stream");
    EXPECT_EQ(equalizer.Filters()->Count(), 20);
    EXPECT_EQ(equalizer.Filters()->Items(0), first);
    EXPECT_EQ(equalizer.Description(), "Mine");
    EXPECT_EQ(equalizer.FFTLength(), 512);
    EXPECT_FALSE(equalizer.Updating());
}

TEST(EqualizerContainer, DescriptionAndLengthFields)
{
    TMMEqualizer equalizer(nullptr);
    equalizer.SetDescription("Contest");
    equalizer.Filters()->SetObjectContainer(OneBandContainer("", 300, "TMMEQFilter", -6));
    EXPECT_EQ(equalizer.Description(), "Contest"); // length 0 keeps it
    EXPECT_EQ(equalizer.FFTLength(), 256);         // 300 rounds down

    equalizer.Filters()->SetObjectContainer(
        OneBandContainer(std::string("CW\0junk", 7), 5, "tmmeqfilter", -6));
    EXPECT_EQ(equalizer.Description(), "CW"); // up to the first zero byte
    EXPECT_EQ(equalizer.FFTLength(), 8);
    ASSERT_EQ(equalizer.Filters()->Count(), 1);
    const TMMEQFilter* band = equalizer.Filters()->Items(0);
    EXPECT_EQ(band->F1(), 100);
    EXPECT_EQ(band->F2(), 300);
    EXPECT_EQ(band->Gain(), -6);
    EXPECT_TRUE(band->Enabled());

    // A description longer than the stream is a short read, not an allocation.
    Bytes huge = OneBandContainer("x", 256, "TMMEQFilter", 0);
    huge[5] = huge[6] = huge[7] = 0xFF;
    huge[8] = 0x7F;
    EXPECT_EQ(MessageOf<EReadError>([&] { equalizer.Filters()->SetObjectContainer(huge); }),
              "Stream read error");
}

TEST(EqualizerContainer, BandValuesMustBeNumbers)
{
    TMMEqualizer equalizer(nullptr);
    EXPECT_EQ(MessageOf<EReadError>(
                  [&]
                  {
                      equalizer.Filters()->SetObjectContainer(OneBandContainer(
                          "x", 256, "TMMEQFilter", std::numeric_limits<float>::quiet_NaN()));
                  }),
              "Invalid Object stream");
    EXPECT_EQ(equalizer.Filters()->Count(), 0);
    EXPECT_EQ(MessageOf<EClassNotFound>(
                  [&] {
                      equalizer.Filters()->SetObjectContainer(
                          OneBandContainer("x", 256, "TMMEQFilterX", 0));
                  }),
              "Class <TMMEQFilterX> not registered");
}

TEST(EqualizerContainer, SeedCorpusHoldsWhatTheEqualizerWrites)
{
    TMMEqualizer equalizer(nullptr);
    EXPECT_EQ(equalizer.Filters()->ObjectContainer(), CorpusFile("equ_program_window"));
    test::AddMainWindowBands(equalizer);
    EXPECT_EQ(equalizer.Filters()->ObjectContainer(), CorpusFile("equ_twenty_flat_bands"));
    for (int k = 0; k < 20; ++k)
        equalizer.Filters()->Items(k)->SetValue(2, test::Preset18Gain(k, 2));
    EXPECT_EQ(equalizer.Filters()->ObjectContainer(), CorpusFile("equ_preset_1k8_shift_2"));

    TMMEqualizer copy(nullptr);
    copy.Filters()->SetObjectContainer(CorpusFile("equ_preset_1k8_shift_2"));
    EXPECT_EQ(copy.Filters()->ObjectContainer(), CorpusFile("equ_preset_1k8_shift_2"));
}

TEST(EqualizerContainer, BandsTravelInGenericContainersButOnlyBandsEnterTheBandList)
{
    TObjectList generic;
    generic.SetObjectContainer(CorpusFile("obj_two_bands"));
    ASSERT_EQ(generic.Count(), 2);
    const auto* second = dynamic_cast<const TMMEQFilter*>(generic.Get(1));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Gain(), 12);

    TMMEqualizer equalizer(nullptr);
    EXPECT_EQ(MessageOf<EReadError>(
                  [&] { equalizer.Filters()->SetObjectContainer(CorpusFile("obj_two_bands")); }),
              "Invalid Object stream");
    EXPECT_EQ(MessageOf<EListError>([&] { equalizer.Filters()->Add(nullptr); }),
              "Invalid class typecast");
    EXPECT_EQ(equalizer.Filters()->Count(), 0);
}

} // namespace
} // namespace keb
