#include "VirtualCardFixture.h"

namespace keb::test
{

void VirtualCardTest::SetUp()
{
    card_ = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    auto next = std::make_shared<std::size_t>(0);
    card_->AddCaptureDevice("Counter",
                            MakeGeneratorSource(
                                [next](std::uint8_t* data, std::size_t bytes, const TWaveFormatEx&)
                                {
                                    for (std::size_t index = 0; index < bytes; ++index)
                                    {
                                        data[index] = static_cast<std::uint8_t>((*next)++);
                                    }
                                }));
    speaker_ = std::make_shared<TMemorySink>();
    card_->AddPlaybackDevice("Speaker", speaker_);
    card_->AddLoopbackCaptureDevice("Loopback", 0);
    UseVirtualSoundCard(card_);
}

void VirtualCardTest::TearDown()
{
    UseVirtualSoundCard(nullptr);
}

void VirtualCardTest::ExpectOnly(Recorder& events, TWaveMessage message)
{
    const auto taken = events.Taken();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].Message, message);
}

HWaveIn VirtualCardTest::OpenCapture(int deviceId)
{
    HWaveIn device = nullptr;
    EXPECT_EQ(WaveInOpen(&device, deviceId, &format_, Recorder::OnCapture, &captureEvents_),
              wrNoError);
    ExpectOnly(captureEvents_, wmOpened);
    return device;
}

HWaveOut VirtualCardTest::OpenPlayback(int deviceId)
{
    HWaveOut device = nullptr;
    EXPECT_EQ(WaveOutOpen(&device, deviceId, &format_, Recorder::OnPlayback, &playbackEvents_),
              wrNoError);
    ExpectOnly(playbackEvents_, wmOpened);
    return device;
}

void VirtualCardTest::AddAll(HWaveIn device, std::vector<OwnedBuffer*> buffers)
{
    for (OwnedBuffer* buffer : buffers)
    {
        ASSERT_EQ(WaveInPrepareHeader(device, &buffer->Header), wrNoError);
        ASSERT_EQ(WaveInAddBuffer(device, &buffer->Header), wrNoError);
    }
}

void VirtualCardTest::WriteAll(HWaveOut device, std::vector<OwnedBuffer*> buffers)
{
    for (OwnedBuffer* buffer : buffers)
    {
        ASSERT_EQ(WaveOutPrepareHeader(device, &buffer->Header), wrNoError);
        ASSERT_EQ(WaveOutWrite(device, &buffer->Header), wrNoError);
    }
}

std::vector<std::uint8_t> VirtualCardTest::Counter(std::size_t first, std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t index = 0; index < count; ++index)
    {
        bytes[index] = static_cast<std::uint8_t>(first + index);
    }
    return bytes;
}

} // namespace keb::test
