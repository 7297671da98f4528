// TMMWaveIn: the capture device component, the head of a stream chain.
//
// It opens a recording device of the wave layer, keeps NumBuffers buffers
// queued at the driver and pushes every filled buffer down the chain
// (BufferReady, then Output), then queues it again. Start opens the device
// when needed; Close stops it when needed. The chain notifications relay
// open, start, pause, restart (in chain order) and stop, close (next device
// first) to the stretch of chain behind it.
//
// Threads: every command and setter belongs to the main thread. The buffer
// work (OnBufferReady, Output's BufferReady, the record limit) runs in the
// main thread in cmWindow and in the component's worker in cmThread (see
// MMWaveDevice.h for the deferred stop and close).
//
// Setters clamp silently: SampleRate to 8000 .. 100000, BufferSize to at least
// 32, NumBuffers to at most 500 (values below 2 are ignored), Mode other than
// mono or stereo is ignored. Device properties raise "Change to property while
// device was open" through DeviceError while the device is open.
//
// MaxRecordTime (in TimeFormat units; negative: no limit) stops recording once
// exactly that much has been delivered: the buffer that crosses the limit is
// cut to the remainder.
#pragma once

#include "devices/MMWaveDevice.h"
#include "stream/MMWaveFormat.h"

namespace keb
{

KEB_EXCEPTION_CLASS(EMMWaveInError, Exception);

class TMMWaveIn : public TMMWaveDevice
{
  public:
    explicit TMMWaveIn(TComponent* owner);
    ~TMMWaveIn() override;

    bool HasInputPort() const override { return false; }

    void Start() override;
    void Pause() override;
    void Restart() override;
    void Stop() override;

    // Closes the device; a valid PCM format also sets SampleRate,
    // BitLength and Mode.
    void SetWaveFormat(const TWaveFormatEx* format) override;
    void ChainOpened() override;
    void ChainStarted() override;
    void ChainPaused() override;
    void ChainRestarted() override;
    void ChainStopped() override;
    // The record limit, then the inherited push.
    void BufferReady(PWaveHdr lpWaveHdr) override;

    TMMMode Mode() const { return mode_; }
    void SetMode(TMMMode value);
    TMMBits BitLength() const { return bitLength_; }
    void SetBitLength(TMMBits value);
    std::int32_t SampleRate() const { return sampleRate_; } // Hz
    void SetSampleRate(std::int32_t value);                 // Hz
    TMMTimeFormats TimeFormat() const { return timeFormat_; }
    // Rewrites MaxRecordTime in the new unit, so that the limit stays put.
    void SetTimeFormat(TMMTimeFormats value);
    std::int32_t MaxRecordTime() const { return maxRecordTime_.load(); } // in TimeFormat's unit
    void SetMaxRecordTime(std::int32_t value);
    // The limit in bytes, a whole number of sample frames.
    std::int32_t MaxRecordBytes() const { return maxRecordBytes_.load(); }

  protected:
    void HandleBufferDone(TWaveHdr* header) override;
    TWaveResult PlatformOpen() override;
    void DeviceOpened() override;

  private:
    static void Notify(HWaveIn device, TWaveMessage message, void* user, TWaveHdr* header,
                       TWaveResult result);
    HWaveIn Device() const { return static_cast<HWaveIn>(Handle()); }
    void ApplyOwnFormat();
    void UpdateMaxRecordBytes();

    TMMMode mode_ = mMono;
    TMMBits bitLength_ = b8Bit;
    std::int32_t sampleRate_ = 11025; // Hz
    TMMTimeFormats timeFormat_ = tfByte;
    std::atomic<std::int32_t> maxRecordTime_{-1}; // in timeFormat_'s unit
    std::atomic<std::int32_t> maxRecordBytes_{INT32_MAX};
    std::int64_t bytesRecorded_ = 0; // buffer path only (and Start)
};

} // namespace keb
