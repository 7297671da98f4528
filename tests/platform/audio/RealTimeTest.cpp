// The real-time virtual clock: buffers come back from the card's own thread
// while a worker re-queues them, as the capture and playback components do.
// Run under ThreadSanitizer to check the layer's locking.
#include "WaveTestSupport.h"
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <cstdlib>
#include <deque>
#include <gtest/gtest.h>
#include <thread>

namespace keb::test
{

namespace
{

constexpr auto Limit = std::chrono::seconds(20);

// Takes returned buffers from the notification context and hands them back to
// the device from its own thread, until told to stop.
class TRequeuer
{
  public:
    template <typename Requeue>
    explicit TRequeuer(Requeue give) : worker_([this, give] { Run(give); })
    {
    }

    ~TRequeuer()
    {
        {
            std::lock_guard guard(lock_);
            ending_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }

    static void OnCapture(HWaveIn, TWaveMessage message, void* user, TWaveHdr* header, TWaveResult)
    {
        static_cast<TRequeuer*>(user)->Post(message, header);
    }

    static void OnPlayback(HWaveOut, TWaveMessage message, void* user, TWaveHdr* header,
                           TWaveResult)
    {
        static_cast<TRequeuer*>(user)->Post(message, header);
    }

    bool WaitForHandled(std::size_t count)
    {
        std::unique_lock guard(lock_);
        return wake_.wait_for(guard, Limit, [&] { return handled_ >= count; });
    }

    // Returns once no buffer is being handed back any more.
    void StopRequeueing()
    {
        std::unique_lock guard(lock_);
        requeueing_ = false;
        wake_.wait(guard, [this] { return !busy_; });
    }

  private:
    void Post(TWaveMessage message, TWaveHdr* header)
    {
        if (message != wmDone)
        {
            return;
        }
        {
            std::lock_guard guard(lock_);
            pending_.push_back(header);
        }
        wake_.notify_all();
    }

    template <typename Requeue> void Run(Requeue give)
    {
        std::unique_lock guard(lock_);
        while (true)
        {
            wake_.wait(guard, [this] { return ending_ || !pending_.empty(); });
            if (ending_)
            {
                return;
            }
            TWaveHdr* header = pending_.front();
            pending_.pop_front();
            const bool again = requeueing_;
            busy_ = true;
            guard.unlock();
            const bool given = !again || give(header);
            guard.lock();
            busy_ = false;
            handled_ += given ? 1 : 0;
            wake_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<TWaveHdr*> pending_;
    std::size_t handled_ = 0;
    bool requeueing_ = true;
    bool busy_ = false;
    bool ending_ = false;
    std::thread worker_;
};

} // namespace

TEST(VirtualRealTimeTest, CaptureAndPlaybackRunFromTheCardsThreadWhileAWorkerRequeues)
{
    auto card = TVirtualSoundCard::Create(TVirtualClock::RealTime);
    card->AddCaptureDevice("Tone", MakeToneSource(1000, 0.5, 0.1));
    auto speaker = std::make_shared<TMemorySink>();
    card->AddPlaybackDevice("Speaker", speaker);
    UseVirtualSoundCard(card);
    const TWaveFormatEx format = PcmFormat(8000, 1, 16);

    HWaveIn capture = nullptr;
    TRequeuer captureWorker([&capture](TWaveHdr* header)
                            { return WaveInAddBuffer(capture, header) == wrNoError; });
    ASSERT_EQ(WaveInOpen(&capture, 0, &format, TRequeuer::OnCapture, &captureWorker), wrNoError);
    HWaveOut playback = nullptr;
    TRequeuer playbackWorker([&playback](TWaveHdr* header)
                             { return WaveOutWrite(playback, header) == wrNoError; });
    ASSERT_EQ(WaveOutOpen(&playback, 0, &format, TRequeuer::OnPlayback, &playbackWorker),
              wrNoError);

    std::vector<std::unique_ptr<OwnedBuffer>> recorded, played;
    for (int index = 0; index < 4; ++index)
    {
        recorded.push_back(std::make_unique<OwnedBuffer>(160)); // 10 ms each
        ASSERT_EQ(WaveInPrepareHeader(capture, &recorded.back()->Header), wrNoError);
        ASSERT_EQ(WaveInAddBuffer(capture, &recorded.back()->Header), wrNoError);
        played.push_back(std::make_unique<OwnedBuffer>(160));
        ASSERT_EQ(WaveOutPrepareHeader(playback, &played.back()->Header), wrNoError);
        ASSERT_EQ(WaveOutWrite(playback, &played.back()->Header), wrNoError);
    }
    ASSERT_EQ(WaveInStart(capture), wrNoError);
    EXPECT_TRUE(captureWorker.WaitForHandled(30));
    EXPECT_TRUE(playbackWorker.WaitForHandled(30));

    captureWorker.StopRequeueing();
    playbackWorker.StopRequeueing();
    ASSERT_EQ(WaveInReset(capture), wrNoError);
    ASSERT_EQ(WaveOutReset(playback), wrNoError);
    for (const auto& buffer : recorded)
    {
        EXPECT_EQ(WaveInUnprepareHeader(capture, &buffer->Header), wrNoError);
    }
    EXPECT_EQ(WaveInClose(capture), wrNoError);
    EXPECT_EQ(WaveOutClose(playback), wrNoError);
    EXPECT_GE(speaker->Bytes().size(), 30u * 160);
    UseVirtualSoundCard(nullptr);
}

TEST(VirtualRealTimeTest, TheEnvironmentsCardRecordsATestToneInRealTime)
{
    unsetenv("KEB_AUDIO_INFILE");
    unsetenv("KEB_AUDIO_OUTFILE");
    UseVirtualSoundCard(MakeEnvironmentSoundCard());
    TWaveCaps caps{};
    ASSERT_EQ(WaveInGetDevCaps(WaveMapperId, &caps), wrNoError);
    EXPECT_STREQ(caps.szPname, "KEB virtual capture");
    ASSERT_EQ(WaveOutGetDevCaps(WaveMapperId, &caps), wrNoError);
    EXPECT_STREQ(caps.szPname, "KEB virtual playback");

    const TWaveFormatEx format = PcmFormat(8000, 1, 16);
    Recorder events;
    HWaveIn device = nullptr;
    ASSERT_EQ(WaveInOpen(&device, WaveMapperId, &format, Recorder::OnCapture, &events), wrNoError);
    OwnedBuffer recorded(160);
    ASSERT_EQ(WaveInPrepareHeader(device, &recorded.Header), wrNoError);
    ASSERT_EQ(WaveInAddBuffer(device, &recorded.Header), wrNoError);
    ASSERT_EQ(WaveInStart(device), wrNoError);
    ASSERT_TRUE(events.WaitForDone(1, Limit));
    ASSERT_EQ(WaveInReset(device), wrNoError);
    ASSERT_EQ(WaveInClose(device), wrNoError);
    const auto bytes = recorded.Bytes();
    ASSERT_EQ(bytes.size(), 160u);
    EXPECT_NE(bytes, std::vector<std::uint8_t>(160, 0)); // a tone, not silence
    UseVirtualSoundCard(nullptr);
}

} // namespace keb::test
