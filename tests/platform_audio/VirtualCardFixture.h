// A stepped virtual sound card selected for the test: capture 0 "Counter"
// records a byte counter (0, 1, 2, ... across buffers), playback 0 "Speaker"
// plays into memory, capture 1 "Loopback" records what the speaker plays.
#pragma once

#include "WaveTestSupport.h"
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <gtest/gtest.h>

namespace keb::test
{

class VirtualCardTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    // Opens capture DeviceId (prepares nothing) and checks wmOpened came.
    HWaveIn OpenCapture(int DeviceId = 0);
    HWaveOut OpenPlayback(int DeviceId = 0);
    void AddAll(HWaveIn Device, std::vector<OwnedBuffer*> Buffers);
    void WriteAll(HWaveOut Device, std::vector<OwnedBuffer*> Buffers);
    // Takes the recorded notifications: exactly one, of this kind.
    static void ExpectOnly(Recorder& Events, TWaveMessage Message);
    // Bytes First, First + 1, ... of the counter, as bytes.
    static std::vector<std::uint8_t> Counter(std::size_t First, std::size_t Count);

    const TWaveFormatEx Format = PcmFormat(8000, 1, 16); // 2000 bytes = 125 ms
    std::shared_ptr<VirtualSoundCard> Card;
    std::shared_ptr<MemorySink> Speaker;
    Recorder CaptureEvents;
    Recorder PlaybackEvents;
};

} // namespace keb::test
