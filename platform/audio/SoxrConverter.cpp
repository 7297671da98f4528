#include "platform/audio/SoxrConverter.h"

#include <algorithm>
#include <soxr.h>

namespace keb
{

namespace
{

// Null when libsoxr refuses.
soxr_t CreateResampler(double fromRate, double toRate, unsigned channels, TWaveLatency latency)
{
    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    // Digital silence stays silent.
    io.flags |= SOXR_NO_DITHER;
    const TConversionSpecs specs = ConversionSpecs(latency);
    soxr_error_t error = nullptr;
    const soxr_t resampler =
        soxr_create(fromRate, toRate, channels, &error, &io, &specs.Quality, &specs.Runtime);
    if (resampler == nullptr || error != nullptr)
    {
        soxr_delete(resampler);
        return nullptr;
    }
    return resampler;
}

class TSoxrCapture final : public TCaptureConverter
{
  public:
    explicit TSoxrCapture(soxr_t resampler) : resampler_(resampler) {}
    ~TSoxrCapture() override { soxr_delete(resampler_); }

    void Process(const std::int16_t* input, std::size_t frames, std::size_t& used,
                 std::int16_t* output, std::size_t capacity, std::size_t& made) override
    {
        soxr_process(resampler_, input, frames, &used, output, capacity, &made);
    }
    void Clear() override { soxr_clear(resampler_); }
    bool RunsInCallback() const override { return false; }

  private:
    const soxr_t resampler_;
};

class TSoxrPlayback final : public TPlaybackConverter
{
  public:
    TSoxrPlayback(soxr_t resampler, TConversionSupply supply, void* state, std::size_t largestPull)
        : resampler_(resampler), supply_(supply), state_(state), largestPull_(largestPull)
    {
        AttachSupply();
    }
    ~TSoxrPlayback() override { soxr_delete(resampler_); }

    std::size_t Output(std::int16_t* output, std::size_t frames) override
    {
        return soxr_output(resampler_, output, frames);
    }
    void Clear() override
    {
        soxr_clear(resampler_);
        AttachSupply();
    }
    bool RunsInCallback() const override { return false; }

  private:
    // libsoxr forgets its input function when it is cleared.
    void AttachSupply() { soxr_set_input_fn(resampler_, Input, this, largestPull_); }

    static std::size_t Input(void* self, soxr_in_t* data, std::size_t requested)
    {
        auto& converter = *static_cast<TSoxrPlayback*>(self);
        const std::int16_t* samples = nullptr;
        const std::size_t frames = converter.supply_(converter.state_, &samples,
                                                     std::min(requested, converter.largestPull_));
        *data = samples;
        return frames;
    }

    const soxr_t resampler_;
    const TConversionSupply supply_;
    void* const state_;
    const std::size_t largestPull_;
};

} // namespace

std::unique_ptr<TCaptureConverter> MakeSoxrCapture(double fromRate, double toRate,
                                                   unsigned channels, TWaveLatency latency)
{
    const soxr_t resampler = CreateResampler(fromRate, toRate, channels, latency);
    return resampler == nullptr ? nullptr : std::make_unique<TSoxrCapture>(resampler);
}

std::unique_ptr<TPlaybackConverter> MakeSoxrPlayback(double fromRate, double toRate,
                                                     unsigned channels, TWaveLatency latency,
                                                     TConversionSupply supply, void* state,
                                                     std::size_t largestPull)
{
    const soxr_t resampler = CreateResampler(fromRate, toRate, channels, latency);
    return resampler == nullptr
               ? nullptr
               : std::make_unique<TSoxrPlayback>(resampler, supply, state, largestPull);
}

} // namespace keb
