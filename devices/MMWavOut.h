// TMMWaveOut: the playback device component.
//
// It opens a playback device of the wave layer, pulls NumBuffers buffers from
// its Input (BufferLoad), writes them to the driver, and each time the driver
// has played one it pushes it on to Output (BufferReady, with the companion
// header pointing at the buffer the driver plays now), pulls fresh data into
// it and writes it again. Playback ends by itself when the source has said
// that no more data follows (MoreBuffers false) and the last written buffer
// has come back: the device is paused at once and stopped from the main
// thread. A refill that brings no data while more was promised raises "Error
// filling wave buffer".
//
// The chain notifications are its commands: ChainOpened is Open, ChainStarted
// Start, ChainPaused Pause, ChainRestarted Restart, ChainStopped Stop,
// ChainClosed Close; each relays to the stretch behind it (the output
// connector). Buffers pushed into it are ignored.
//
// Threads: commands and setters in the main thread; the buffer work (the
// pull, OnBufferLoad, OnBufferFilled, OnLooping, OnBufferReady and Output's
// BufferReady) in the main thread in cmWindow, in the worker in cmThread.
//
// Setters: BufferSize at least 32, NumBuffers at most 500 (below 2 ignored);
// device properties raise "Change to property while device was open" while
// open. Looping and LoopCount also reset the loops left. Start shows the
// hourglass (TBusyCursor) while it fills more than 100000 bytes of buffers.
#pragma once

#include "devices/MMWaveDevice.h"
#include "stream/MMWaveFormat.h"

namespace keb
{

KEB_EXCEPTION_CLASS(EMMWaveOutError, Exception);

class TMMWaveOut : public TMMWaveDevice
{
  public:
    explicit TMMWaveOut(TComponent* owner);
    ~TMMWaveOut() override;

    // Discards what is queued at the driver and in the stretch, pulls fresh
    // data and goes on.
    virtual void Reset();
    void Start() override;
    void Pause() override;
    // Resumes after Pause; a pause driven from upstream gave every buffer
    // back, so Restart then fills and writes them again.
    void Restart() override;
    void Stop() override;

    void SetWaveFormat(const TWaveFormatEx* format) override;
    void ChainOpened() override { Open(); }
    void ChainClosed() override { Close(); }
    void ChainStarted() override { Start(); }
    void ChainPaused() override { Pause(); }
    void ChainRestarted() override { Restart(); }
    void ChainStopped() override { Stop(); }
    void BufferReady(PWaveHdr) override {}
    // Sets up the header for the pull (length, loop block), pulls, and then
    // plays exactly the bytes that arrived.
    void BufferLoad(PWaveHdr lpWaveHdr, bool& moreBuffers) override;

    TMMTimeFormats TimeFormat() const { return timeFormat_; }
    void SetTimeFormat(TMMTimeFormats value) { timeFormat_ = value; }
    bool Looping() const { return looping_.load(); }
    void SetLooping(bool value);
    std::uint16_t LoopCount() const { return loopCount_.load(); }
    void SetLoopCount(std::uint16_t value);
    std::int32_t LoopsLeft() const { return loopsLeft_.load(); }
    // Headers in use since Start (those that received data).
    int BufferCount() const { return bufferCount_.load(); }

    TMMNotifyEvent OnLooping;
    // Fired for each buffer just before it is written to the driver.
    TMMBufferEvent OnBufferFilled;

  protected:
    void HandleBufferDone(TWaveHdr* header) override;
    TWaveResult PlatformOpen() override;
    void DeviceOpened() override;

  private:
    static void Notify(HWaveOut device, TWaveMessage message, void* user, TWaveHdr* header,
                       TWaveResult result);
    HWaveOut Device() const { return static_cast<HWaveOut>(Handle()); }
    // Pulls into Header; returns the bytes that arrived and stores whether
    // more follow.
    std::int32_t Load(TWaveHdr* header);
    void Write(TWaveHdr* header);
    // Loads and writes the headers in order while the source delivers
    // (allocating and preparing the missing ones); returns how many were
    // written.
    int FillBuffers();
    void CompleteStop();
    // Keeps new buffer handlers out (Resetting), waits for a running one and
    // drops the finished buffers not yet handled.
    void FenceOffHandlers();
    void EndHandler();

    TMMTimeFormats timeFormat_ = tfByte;
    std::atomic<bool> looping_{false};
    std::atomic<std::uint16_t> loopCount_{0};
    std::atomic<std::int32_t> loopsLeft_{0};
    std::atomic<bool> moreBuffers_{false};
    std::atomic<int> bufferCount_{0};
};

} // namespace keb
