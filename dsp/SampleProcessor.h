// The base of the stream components that change 16-bit PCM samples in place
// with a state of their own per channel (the notch filter, the noise reducer).
//
// ChainOpened asks the derived class to Prepare its state for the format
// (sample rate, channels); that is the only place state is allocated, and it
// is kept until the next open with another format or destruction, so a
// buffer still travelling while the chain closes never meets freed memory.
// Buffers pushed (BufferReady) or pulled (BufferLoad) are processed in place;
// a format other than 16-bit PCM passes untouched. With Enabled false the
// audio passes bit-exact and undelayed; turning it on again starts from a
// cleared state. A run (from the chain's opening or from turning on) starts
// at its first sample that is not 0: digital silence before it passes
// untouched, so a live stream that begins with a filling queue's silence is
// processed frame for frame like the recording it carries.
//
// Threads: setters and chain notifications on the main thread; buffers from
// one audio thread at a time. The audio thread reads the settings of derived
// classes from atomics once per buffer or per block and never waits.
#pragma once

#include "stream/MMDSPObj.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace keb
{

// Channel c's samples of count interleaved frames as floats, and back to 16
// bits (PcmConversion.h); a block at a time on vectors when there is one
// channel.
void GatherChannel(const std::int16_t* first, int channels, int count, float* values);
void ScatterChannel(const float* values, int count, int channels, std::int16_t* first);

class TMMSampleProcessor : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    bool Enabled() const { return enabled_.load(std::memory_order_relaxed); }
    void SetEnabled(bool value) { enabled_.store(value, std::memory_order_relaxed); }

    void ChainOpened() override;
    void BufferReady(PWaveHdr lpWaveHdr) override;
    void BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers) override;

  protected:
    // Main thread, no buffer travelling: make the state for this format.
    virtual void Prepare(int sampleRate, int channels) = 0;
    // Audio thread: clear the state before the first buffer of a run.
    virtual void Restart() = 0;
    // Audio thread: frames interleaved samples of channels channels, in place.
    virtual void ProcessFrames(std::int16_t* samples, int frames, int channels) = 0;

  private:
    void Process(PWaveHdr header);

    std::atomic<bool> enabled_{true};
    // Written by ChainOpened before audio flows, then by the audio thread.
    std::atomic<bool> prepared_{false};
    bool running_ = false;
    int channels_ = 0;
};

// A sample processor with one TKernel per channel: made at Prepare for the
// rate (reused while rate and channels stay), cleared by its Clear at
// Restart. Each buffer, Configure hands every kernel the current settings,
// then the channel's samples go through the kernel's Process as floats, in
// place, in pieces of up to PieceFrames (a kernel's result must not depend
// on how the stream is cut into pieces). A kernel that is Transparent before
// a piece leaves it unchanged, so the piece is not written back.
template <class TKernel> class TMMChannelKernels : public TMMSampleProcessor
{
  public:
    using TMMSampleProcessor::TMMSampleProcessor;

  protected:
    static constexpr int PieceFrames = 256;

    virtual void Configure(TKernel& kernel) = 0;

    void Prepare(int sampleRate, int channels) override
    {
        if (sampleRate == preparedRate_ && static_cast<int>(kernels_.size()) == channels)
            return;
        kernels_.clear();
        for (int c = 0; c < channels; ++c)
            kernels_.push_back(std::make_unique<TKernel>(sampleRate));
        preparedRate_ = sampleRate;
    }

    void Restart() override
    {
        for (auto& kernel : kernels_)
            kernel->Clear();
    }

    void ProcessFrames(std::int16_t* samples, int frames, int channels) override
    {
        std::array<float, PieceFrames> piece;
        for (int c = 0; c < channels; ++c)
        {
            TKernel& kernel = *kernels_[static_cast<std::size_t>(c)];
            Configure(kernel);
            for (int from = 0; from < frames; from += PieceFrames)
            {
                const int count = std::min(PieceFrames, frames - from);
                std::int16_t* first = samples + static_cast<std::ptrdiff_t>(from) * channels + c;
                const bool changes = !kernel.Transparent();
                GatherChannel(first, channels, count, piece.data());
                kernel.Process(std::span<float>(piece.data(), static_cast<std::size_t>(count)));
                if (changes)
                    ScatterChannel(piece.data(), count, channels, first);
            }
        }
    }

  private:
    std::vector<std::unique_ptr<TKernel>> kernels_;
    int preparedRate_ = 0;
};

} // namespace keb
