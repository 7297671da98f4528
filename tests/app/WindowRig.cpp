#include "WindowRig.h"

#include "platform/core/MainLoop.h"

#include <QAbstractButton>
#include <algorithm>
#include <thread>

namespace keb::test
{
namespace
{

std::int64_t FramesAt(std::int64_t Time)
{
    return Time * RigSampleRate / 1000000;
}

// The first card time (microseconds) at which Frames frames have moved.
std::int64_t TimeOfFrame(std::int64_t Frames)
{
    return (Frames * 1000000 + RigSampleRate - 1) / RigSampleRate;
}

} // namespace

TWindowRig::TWindowRig(TFrameSignal Signal)
    : Card(TVirtualSoundCard::Create(TVirtualClock::Stepped)),
      Speaker(std::make_shared<TMemorySink>()), frame_(std::make_shared<std::uint64_t>(0))
{
    Card->AddCaptureDevice(
        "Receiver",
        MakeGeneratorSource(
            [frame = frame_, Signal](std::uint8_t* Data, std::size_t Bytes, const TWaveFormatEx&)
            {
                for (std::size_t i = 0; i + 1 < Bytes; i += 2)
                {
                    const auto sample = static_cast<std::uint16_t>(Signal((*frame)++));
                    Data[i] = static_cast<std::uint8_t>(sample & 0xFF);
                    Data[i + 1] = static_cast<std::uint8_t>(sample >> 8);
                }
            }));
    Card->AddPlaybackDevice("Speaker", Speaker);
    UseVirtualSoundCard(Card);
    PreviousErrorBox =
        SetErrorBoxHandler([this](const std::string& Message) { ErrorBoxes.push_back(Message); });
    Window = std::make_unique<TMainForm>();
    Window->MMWaveIn->OnBufferReady = [this](TMMDSPComponent*, PWaveHdr) { ++captured_; };
    Window->WaveOut->OnBufferFilled = [this](TMMDSPComponent*, PWaveHdr)
    {
        if (!starting_.load())
        {
            ++refilled_;
            return;
        }
        // ON runs in the main thread: the capture device records already,
        // the playback device is queueing its first buffers, paused.
        if (playbackStart_ == 0)
        {
            playbackStart_ = TimeOfFrame(BufferFrames() / 2);
            Advance(playbackStart_);
        }
    };
}

TWindowRig::~TWindowRig()
{
    SwitchOff();
    Window.reset();
    // Deliveries queued for the destroyed window's components find nothing.
    ProcessMessages();
    SetErrorBoxHandler(PreviousErrorBox);
    UseVirtualSoundCard(nullptr);
}

std::int64_t TWindowRig::BufferFrames() const
{
    return Window->MMWaveIn->GetBufferSize() / 2;
}

bool TWindowRig::SwitchOn()
{
    cardTime_ = 0;
    playbackStart_ = 0;
    playedStart_ = 0;
    *frame_ = 0;
    captured_ = 0;
    refilled_ = 0;
    Speaker->Clear();
    starting_ = true;
    Window->StartBtn->click();
    starting_ = false;
    return Window->MMWaveIn->HasState(wsStarted) && Window->WaveOut->HasState(wsStarted);
}

bool TWindowRig::SwitchOff()
{
    Window->StopBtn->click();
    return WaitUntil(
        [this]
        { return Window->MMWaveIn->HasState(wsClosed) && Window->WaveOut->HasState(wsClosed); });
}

void TWindowRig::Advance(std::int64_t Time)
{
    Card->Advance(std::chrono::microseconds(Time - cardTime_));
    cardTime_ = Time;
}

bool TWindowRig::WaitUntil(const std::function<bool()>& Done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        ProcessMessages();
        std::this_thread::yield();
    }
    return true;
}

bool TWindowRig::AwaitWorkers()
{
    const auto captured = static_cast<std::uint64_t>(FramesAt(cardTime_) / BufferFrames());
    const auto played =
        static_cast<std::uint64_t>(FramesAt(cardTime_ - playbackStart_) / BufferFrames());
    return WaitUntil([&] { return captured_.load() == captured && refilled_.load() == played; });
}

bool TWindowRig::Run(std::chrono::microseconds Time)
{
    const std::int64_t end = cardTime_ + Time.count();
    while (cardTime_ < end)
    {
        const std::int64_t frames = BufferFrames();
        const std::int64_t nextCapture = TimeOfFrame((FramesAt(cardTime_) / frames + 1) * frames);
        const std::int64_t playbackFrames = FramesAt(cardTime_ - playbackStart_);
        const std::int64_t nextPlayback =
            playbackStart_ + TimeOfFrame((playbackFrames / frames + 1) * frames);
        Advance(std::min({nextCapture, nextPlayback, end}));
        if (!AwaitWorkers())
            return false;
    }
    playedStart_ = FramesAt(cardTime_) - static_cast<std::int64_t>(Speaker->Bytes().size() / 2);
    return true;
}

std::vector<std::int16_t> TWindowRig::Played() const
{
    return Speaker->Samples16();
}

} // namespace keb::test
