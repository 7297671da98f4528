#include "VirtualCardFixture.h"

namespace keb::test
{

void VirtualCardTest::SetUp()
{
    Card = VirtualSoundCard::Create(VirtualClock::Stepped);
    auto Next = std::make_shared<std::size_t>(0);
    Card->AddCaptureDevice("Counter",
                           MakeGeneratorSource(
                               [Next](std::uint8_t* Data, std::size_t Bytes, const TWaveFormatEx&)
                               {
                                   for (std::size_t Index = 0; Index < Bytes; ++Index)
                                   {
                                       Data[Index] = static_cast<std::uint8_t>((*Next)++);
                                   }
                               }));
    Speaker = std::make_shared<MemorySink>();
    Card->AddPlaybackDevice("Speaker", Speaker);
    Card->AddLoopbackCaptureDevice("Loopback", 0);
    UseVirtualSoundCard(Card);
}

void VirtualCardTest::TearDown()
{
    UseVirtualSoundCard(nullptr);
}

void VirtualCardTest::ExpectOnly(Recorder& Events, TWaveMessage Message)
{
    const auto Taken = Events.Taken();
    ASSERT_EQ(Taken.size(), 1u);
    EXPECT_EQ(Taken[0].Message, Message);
}

HWaveIn VirtualCardTest::OpenCapture(int DeviceId)
{
    HWaveIn Device = nullptr;
    EXPECT_EQ(WaveInOpen(&Device, DeviceId, &Format, Recorder::OnCapture, &CaptureEvents),
              wrNoError);
    ExpectOnly(CaptureEvents, wmOpened);
    return Device;
}

HWaveOut VirtualCardTest::OpenPlayback(int DeviceId)
{
    HWaveOut Device = nullptr;
    EXPECT_EQ(WaveOutOpen(&Device, DeviceId, &Format, Recorder::OnPlayback, &PlaybackEvents),
              wrNoError);
    ExpectOnly(PlaybackEvents, wmOpened);
    return Device;
}

void VirtualCardTest::AddAll(HWaveIn Device, std::vector<OwnedBuffer*> Buffers)
{
    for (OwnedBuffer* Buffer : Buffers)
    {
        ASSERT_EQ(WaveInPrepareHeader(Device, &Buffer->Header), wrNoError);
        ASSERT_EQ(WaveInAddBuffer(Device, &Buffer->Header), wrNoError);
    }
}

void VirtualCardTest::WriteAll(HWaveOut Device, std::vector<OwnedBuffer*> Buffers)
{
    for (OwnedBuffer* Buffer : Buffers)
    {
        ASSERT_EQ(WaveOutPrepareHeader(Device, &Buffer->Header), wrNoError);
        ASSERT_EQ(WaveOutWrite(Device, &Buffer->Header), wrNoError);
    }
}

std::vector<std::uint8_t> VirtualCardTest::Counter(std::size_t First, std::size_t Count)
{
    std::vector<std::uint8_t> Bytes(Count);
    for (std::size_t Index = 0; Index < Count; ++Index)
    {
        Bytes[Index] = static_cast<std::uint8_t>(First + Index);
    }
    return Bytes;
}

} // namespace keb::test
