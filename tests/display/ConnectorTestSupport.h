// A small chain around a connector for its tests: a source that fills pulled
// buffers, the connector, a sink that records pushed buffers, and displays
// that record what they are given.
#pragma once

#include "devices/MMHTimerPeriodic.h"
#include "display/MMConect.h"
#include "platform/core/Clock.h"
#include "platform/core/Component.h"
#include "platform/core/MainLoop.h"
#include "stream/MMTime.h"
#include "stream/MMUtils.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace keb::test
{

// The timer service on its manual clock for the guard's lifetime.
struct ManualTimerService
{
    ManualTimerService() { SetTimerServiceManual(true); }
    ~ManualTimerService() { SetTimerServiceManual(false); }
};

// The program's stream: 8000 Hz, 16 bit, mono, buffers of 2000 bytes.
inline constexpr std::int32_t BufferBytes = 2000;

inline TWaveFormatEx ProgramFormat()
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, 8000);
    return format;
}

// A buffer header with its audio bytes; 16-bit sample i holds base + i, so a
// block tells where it was cut from.
struct TestBuffer
{
    explicit TestBuffer(std::int32_t bytes = BufferBytes, std::int16_t base = 0)
        : Header(AllocWaveHdr(static_cast<std::uint32_t>(bytes)))
    {
        Fill(base);
        Header->wh.dwBytesRecorded = static_cast<std::uint32_t>(bytes);
    }
    ~TestBuffer() { FreeAndClear(Header); }
    TestBuffer(const TestBuffer&) = delete;
    TestBuffer& operator=(const TestBuffer&) = delete;

    void Fill(std::int16_t base)
    {
        auto* samples = reinterpret_cast<std::int16_t*>(Header->wh.lpData);
        for (std::uint32_t i = 0; i < Header->wh.dwBufferLength / 2; ++i)
            samples[i] = static_cast<std::int16_t>(base + i);
    }
    PWaveHdr Wave() { return &Header->wh; }
    std::vector<std::uint8_t> Bytes(std::int32_t offset, std::int32_t count) const
    {
        const auto* data = reinterpret_cast<const std::uint8_t*>(Header->wh.lpData);
        return {data + offset, data + offset + count};
    }

    TMMWaveHdr* Header;
};

// The first sample of a block in the pattern above.
inline std::int16_t FirstSample(const std::uint8_t* block)
{
    std::int16_t sample;
    std::memcpy(&sample, block, sizeof sample);
    return sample;
}

struct Delivery
{
    std::string Display;
    std::vector<std::uint8_t> Block;
    std::int64_t Time;
    std::int32_t Offset() const { return FirstSample(Block.data()) * 2; }
};

// A display of any kind, with the analyser's values (a spectrogram with
// FFTLength 256, 16 bit, mono by default). Deliveries go to a shared log, so
// a test sees the order across displays. Not thread-safe: tests that deliver
// in another thread read the log after joining.
class RecordingDisplay : public TComponent, public TMMAnalyserDisplay
{
  public:
    RecordingDisplay(std::string name, std::vector<Delivery>& log)
        : TComponent(nullptr), name_(std::move(name)), log_(log)
    {
    }

    void SetDisplayFormat(const TWaveFormatEx& format) override { Formats.push_back(format); }
    void ProcessBlock(const std::uint8_t* block) override
    {
        log_.push_back({name_, {block, block + BlockBytes()}, MicrosecondClock()});
    }
    void ResetDisplay() override { ++Resets; }
    std::int32_t BlockBytes() const override
    {
        return FixedBlockBytes > 0 ? FixedBlockBytes
                                   : FFTLength() * (BitLength() + 1) * (Mode() + 1);
    }
    bool Accelerate() const override { return AccelerateValue; }
    std::int32_t FFTLength() const override { return FFTLengthValue; }
    TMMBits BitLength() const override { return b16Bit; }
    TMMMode Mode() const override { return mMono; }
    bool Scroll() const override { return ScrollValue; }

    std::vector<TWaveFormatEx> Formats;
    int Resets = 0;
    bool AccelerateValue = false;
    bool ScrollValue = false;
    std::int32_t FFTLengthValue = 256;
    std::int32_t FixedBlockBytes = 0;

  private:
    std::string name_;
    std::vector<Delivery>& log_;
};

// The head of the chain: fills what is pulled from it with the sample
// pattern, starting at PullBase.
class TestSource : public TMMDSPComponent
{
  public:
    TestSource() : TMMDSPComponent(nullptr) {}
    bool HasInputPort() const override { return false; }
    void BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers) override
    {
        auto* samples = reinterpret_cast<std::int16_t*>(lpWaveHdr->lpData);
        for (std::uint32_t i = 0; i < lpWaveHdr->dwBufferLength / 2; ++i)
            samples[i] = static_cast<std::int16_t>(PullBase + i);
        lpWaveHdr->dwBytesRecorded = lpWaveHdr->dwBufferLength;
        MoreBuffers = true;
    }
    std::int16_t PullBase = 0;
};

// source -> connector -> sink with the program's format and buffer size,
// the connector set up as the program's (AutoTrigger False), and a manual
// clock for release times.
class ConnectorChain : public testing::Test
{
  protected:
    ConnectorChain()
    {
        connector.SetInput(&source);
        connector.SetOutput(&sink);
        const TWaveFormatEx format = ProgramFormat();
        source.SetWaveFormat(&format);
        connector.SetBufferSize(BufferBytes);
        connector.SetAutoTrigger(false);
        sink.OnBufferReady = [this](TMMDSPComponent*, PWaveHdr header)
        {
            const auto* data = reinterpret_cast<const std::uint8_t*>(header->lpData);
            passedOn.emplace_back(data, data + header->dwBytesRecorded);
        };
    }

    ~ConnectorChain() override
    {
        connector.ChainStopped();
        connector.ChainClosed();
        ProcessMessages();
    }

    // Opens and starts the connector as a device relay would, then lets the
    // main loop arm it.
    void Start()
    {
        connector.ChainOpened();
        connector.ChainStarted();
        ProcessMessages();
    }

    std::vector<std::int32_t> Offsets(const std::string& display) const
    {
        std::vector<std::int32_t> offsets;
        for (const Delivery& delivery : log)
        {
            if (delivery.Display == display)
                offsets.push_back(delivery.Offset());
        }
        return offsets;
    }

    TManualClock clock;
    TClockSourceGuard clockGuard{clock};
    std::vector<Delivery> log;
    std::vector<std::vector<std::uint8_t>> passedOn;
    TestSource source;
    TMMConnector connector{nullptr};
    TMMDSPComponent sink{nullptr};
    RecordingDisplay waterfall{"waterfall", log};
};

} // namespace keb::test
