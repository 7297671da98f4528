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
class Requeuer
{
  public:
    template <typename Requeue>
    explicit Requeuer(Requeue Give) : Worker([this, Give] { Run(Give); })
    {
    }

    ~Requeuer()
    {
        {
            std::lock_guard Guard(Lock);
            Ending = true;
        }
        Wake.notify_all();
        Worker.join();
    }

    static void OnCapture(HWaveIn, TWaveMessage Message, void* User, TWaveHdr* Header, TWaveResult)
    {
        static_cast<Requeuer*>(User)->Post(Message, Header);
    }

    static void OnPlayback(HWaveOut, TWaveMessage Message, void* User, TWaveHdr* Header,
                           TWaveResult)
    {
        static_cast<Requeuer*>(User)->Post(Message, Header);
    }

    bool WaitForHandled(std::size_t Count)
    {
        std::unique_lock Guard(Lock);
        return Wake.wait_for(Guard, Limit, [&] { return Handled >= Count; });
    }

    // Returns once no buffer is being handed back any more.
    void StopRequeueing()
    {
        std::unique_lock Guard(Lock);
        Requeueing = false;
        Wake.wait(Guard, [this] { return !Busy; });
    }

  private:
    void Post(TWaveMessage Message, TWaveHdr* Header)
    {
        if (Message != wmDone)
        {
            return;
        }
        {
            std::lock_guard Guard(Lock);
            Pending.push_back(Header);
        }
        Wake.notify_all();
    }

    template <typename Requeue> void Run(Requeue Give)
    {
        std::unique_lock Guard(Lock);
        while (true)
        {
            Wake.wait(Guard, [this] { return Ending || !Pending.empty(); });
            if (Ending)
            {
                return;
            }
            TWaveHdr* Header = Pending.front();
            Pending.pop_front();
            const bool Again = Requeueing;
            Busy = true;
            Guard.unlock();
            const bool Given = !Again || Give(Header);
            Guard.lock();
            Busy = false;
            Handled += Given ? 1 : 0;
            Wake.notify_all();
        }
    }

    std::mutex Lock;
    std::condition_variable Wake;
    std::deque<TWaveHdr*> Pending;
    std::size_t Handled = 0;
    bool Requeueing = true;
    bool Busy = false;
    bool Ending = false;
    std::thread Worker;
};

} // namespace

TEST(VirtualRealTimeTest, CaptureAndPlaybackRunFromTheCardsThreadWhileAWorkerRequeues)
{
    auto Card = VirtualSoundCard::Create(VirtualClock::RealTime);
    Card->AddCaptureDevice("Tone", MakeToneSource(1000, 0.5, 0.1));
    auto Speaker = std::make_shared<MemorySink>();
    Card->AddPlaybackDevice("Speaker", Speaker);
    UseVirtualSoundCard(Card);
    const TWaveFormatEx Format = PcmFormat(8000, 1, 16);

    HWaveIn Capture = nullptr;
    Requeuer CaptureWorker([&Capture](TWaveHdr* Header)
                           { return WaveInAddBuffer(Capture, Header) == wrNoError; });
    ASSERT_EQ(WaveInOpen(&Capture, 0, &Format, Requeuer::OnCapture, &CaptureWorker), wrNoError);
    HWaveOut Playback = nullptr;
    Requeuer PlaybackWorker([&Playback](TWaveHdr* Header)
                            { return WaveOutWrite(Playback, Header) == wrNoError; });
    ASSERT_EQ(WaveOutOpen(&Playback, 0, &Format, Requeuer::OnPlayback, &PlaybackWorker), wrNoError);

    std::vector<std::unique_ptr<OwnedBuffer>> Recorded, Played;
    for (int Index = 0; Index < 4; ++Index)
    {
        Recorded.push_back(std::make_unique<OwnedBuffer>(160)); // 10 ms each
        ASSERT_EQ(WaveInPrepareHeader(Capture, &Recorded.back()->Header), wrNoError);
        ASSERT_EQ(WaveInAddBuffer(Capture, &Recorded.back()->Header), wrNoError);
        Played.push_back(std::make_unique<OwnedBuffer>(160));
        ASSERT_EQ(WaveOutPrepareHeader(Playback, &Played.back()->Header), wrNoError);
        ASSERT_EQ(WaveOutWrite(Playback, &Played.back()->Header), wrNoError);
    }
    ASSERT_EQ(WaveInStart(Capture), wrNoError);
    EXPECT_TRUE(CaptureWorker.WaitForHandled(30));
    EXPECT_TRUE(PlaybackWorker.WaitForHandled(30));

    CaptureWorker.StopRequeueing();
    PlaybackWorker.StopRequeueing();
    ASSERT_EQ(WaveInReset(Capture), wrNoError);
    ASSERT_EQ(WaveOutReset(Playback), wrNoError);
    for (const auto& Buffer : Recorded)
    {
        EXPECT_EQ(WaveInUnprepareHeader(Capture, &Buffer->Header), wrNoError);
    }
    EXPECT_EQ(WaveInClose(Capture), wrNoError);
    EXPECT_EQ(WaveOutClose(Playback), wrNoError);
    EXPECT_GE(Speaker->Bytes().size(), 30u * 160);
    UseVirtualSoundCard(nullptr);
}

TEST(VirtualRealTimeTest, TheEnvironmentsCardRecordsATestToneInRealTime)
{
    unsetenv("KEB_AUDIO_INFILE");
    unsetenv("KEB_AUDIO_OUTFILE");
    UseVirtualSoundCard(MakeEnvironmentSoundCard());
    TWaveCaps Caps{};
    ASSERT_EQ(WaveInGetDevCaps(WaveMapperId, &Caps), wrNoError);
    EXPECT_STREQ(Caps.szPname, "KEB virtual capture");
    ASSERT_EQ(WaveOutGetDevCaps(WaveMapperId, &Caps), wrNoError);
    EXPECT_STREQ(Caps.szPname, "KEB virtual playback");

    const TWaveFormatEx Format = PcmFormat(8000, 1, 16);
    Recorder Events;
    HWaveIn Device = nullptr;
    ASSERT_EQ(WaveInOpen(&Device, WaveMapperId, &Format, Recorder::OnCapture, &Events), wrNoError);
    OwnedBuffer Recorded(160);
    ASSERT_EQ(WaveInPrepareHeader(Device, &Recorded.Header), wrNoError);
    ASSERT_EQ(WaveInAddBuffer(Device, &Recorded.Header), wrNoError);
    ASSERT_EQ(WaveInStart(Device), wrNoError);
    ASSERT_TRUE(Events.WaitForDone(1, Limit));
    ASSERT_EQ(WaveInReset(Device), wrNoError);
    ASSERT_EQ(WaveInClose(Device), wrNoError);
    const auto Bytes = Recorded.Bytes();
    ASSERT_EQ(Bytes.size(), 160u);
    EXPECT_NE(Bytes, std::vector<std::uint8_t>(160, 0)); // a tone, not silence
    UseVirtualSoundCard(nullptr);
}

} // namespace keb::test
