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
    HWaveIn OpenCapture(int deviceId = 0);
    HWaveOut OpenPlayback(int deviceId = 0);
    void AddAll(HWaveIn device, std::vector<OwnedBuffer*> buffers);
    void WriteAll(HWaveOut device, std::vector<OwnedBuffer*> buffers);
    // Takes the recorded notifications: exactly one, of this kind.
    static void ExpectOnly(Recorder& events, TWaveMessage message);
    // Bytes First, First + 1, ... of the counter, as bytes.
    static std::vector<std::uint8_t> Counter(std::size_t first, std::size_t count);

    const TWaveFormatEx format_ = PcmFormat(8000, 1, 16); // 2000 bytes = 125 ms
    std::shared_ptr<TVirtualSoundCard> card_;
    std::shared_ptr<TMemorySink> speaker_;
    Recorder captureEvents_;
    Recorder playbackEvents_;
};

} // namespace keb::test
