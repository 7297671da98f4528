#include "dsp/LowLatencyFilter.h"

#include "dsp/MMFFTVectorTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace keb
{

namespace
{

// sums[i] = sum over j < count of taps[j] * x[i + j], for i < outputs: 16 outputs at a
// time in four independent vector sums (each tap times the 16 inputs it meets), then four,
// then one by one.
void DotProducts(const float* taps, int count, const float* x, int outputs, float* sums)
{
    int i = 0;
    for (; i + 16 <= outputs; i += 16)
    {
        TFloat4 sum0{}, sum1{}, sum2{}, sum3{};
        for (int j = 0; j < count; ++j)
        {
            const float* in = x + i + j;
            sum0 += taps[j] * Load<TFloat4>(in);
            sum1 += taps[j] * Load<TFloat4>(in + 4);
            sum2 += taps[j] * Load<TFloat4>(in + 8);
            sum3 += taps[j] * Load<TFloat4>(in + 12);
        }
        Store(sums + i, sum0);
        Store(sums + i + 4, sum1);
        Store(sums + i + 8, sum2);
        Store(sums + i + 12, sum3);
    }
    for (; i + 4 <= outputs; i += 4)
    {
        TFloat4 sum{};
        for (int j = 0; j < count; ++j)
            sum += taps[j] * Load<TFloat4>(x + i + j);
        Store(sums + i, sum);
    }
    for (; i < outputs; ++i)
    {
        float sum = 0;
        for (int j = 0; j < count; ++j)
            sum += taps[j] * x[i + j];
        sums[i] = sum;
    }
}

} // namespace

TLowLatencyFilter::TLowLatencyFilter(int channels)
    : channels_(std::clamp(channels, 1, 2)),
      lines_(static_cast<std::size_t>(channels_) * (HistoryFrames + ChunkFrames), 0.0f)
{
}

void TLowLatencyFilter::SetTaps(const float* taps, int count)
{
    TTapSet& set = tapSets_.Spare();
    set.Count = std::clamp(count, 1, MaxTaps);
    for (int j = 0; j < set.Count; ++j)
    {
        set.Reversed[static_cast<std::size_t>(j)] = taps[set.Count - 1 - j];
    }
    tapSets_.Publish();
}

void TLowLatencyFilter::Reset()
{
    std::fill(lines_.begin(), lines_.end(), 0.0f);
}

bool TLowLatencyFilter::Process(std::int16_t* samples, int frames, int selection)
{
    if (samples == nullptr || frames <= 0)
    {
        return false;
    }
    tapSets_.TakeNewest();
    int first = 0;
    int end = channels_;
    if (channels_ == 2 && (selection == 1 || selection == 2))
    {
        first = selection - 1;
        end = selection;
    }
    bool clipped = false;
    for (int done = 0; done < frames; done += ChunkFrames)
    {
        const int chunk = std::min(ChunkFrames, frames - done);
        for (int channel = first; channel < end; ++channel)
        {
            clipped |= FilterChunk(samples + done * channels_, chunk, channel);
        }
    }
    return clipped;
}

// y[i] = sum over j of Reversed[j] * x[i - Count + 1 + j]: a dot product over the line,
// which holds the history right in front of the chunk's samples.
bool TLowLatencyFilter::FilterChunk(std::int16_t* samples, int frames, int channel)
{
    const TTapSet& set = tapSets_.Current();
    float* line = lines_.data() + static_cast<std::size_t>(channel) * (HistoryFrames + ChunkFrames);
    for (int i = 0; i < frames; ++i)
    {
        line[HistoryFrames + i] = samples[i * channels_ + channel];
    }
    std::array<float, ChunkFrames> sums;
    DotProducts(set.Reversed.data(), set.Count, line + HistoryFrames - (set.Count - 1), frames,
                sums.data());
    bool clipped = false;
    for (int i = 0; i < frames; ++i)
    {
        // Truncated like the FFT engine's output, so that both give the same samples.
        const float value = std::trunc(sums[static_cast<std::size_t>(i)]);
        const float limited = std::clamp(value, -32768.0f, 32767.0f);
        clipped |= limited != value;
        samples[i * channels_ + channel] = static_cast<std::int16_t>(limited);
    }
    std::memmove(line, line + frames, sizeof(float) * HistoryFrames);
    return clipped;
}

void MinimumPhaseTaps(const float* taps, int count, float* result)
{
    constexpr int Order = 12;
    constexpr int Points = 1 << Order;
    constexpr double Floor = 1e-6; // 120 dB below the peak
    TComplexFFTPlan* plan = InitComplexFFT(Order);
    std::vector<float> data(2 * Points, 0.0f);
    for (int t = 0; t < count; ++t)
    {
        data[2 * static_cast<std::size_t>(t)] = taps[t];
    }
    ComplexFFT(plan, data.data(), 1);
    float peak = 0;
    for (int k = 0; k < Points; ++k)
    {
        peak = std::max(peak, std::hypot(data[2 * k], data[2 * k + 1]));
    }
    const double smallest = std::max(static_cast<double>(peak) * Floor, 1e-30);
    for (int k = 0; k < Points; ++k)
    {
        const double magnitude = std::hypot(data[2 * k], data[2 * k + 1]);
        data[2 * k] = static_cast<float>(std::log(std::max(magnitude, smallest)));
        data[2 * k + 1] = 0.0f;
    }
    // The real cepstrum, folded onto its causal half: the cepstrum of the minimum-phase filter
    // with the same magnitude.
    ComplexFFT(plan, data.data(), -1);
    for (int n = 1; n < Points / 2; ++n)
    {
        data[2 * n] *= 2.0f;
        data[2 * n + 1] = 0.0f;
    }
    data[1] = 0.0f;
    data[Points + 1] = 0.0f;
    std::fill(data.begin() + Points + 2, data.end(), 0.0f);
    ComplexFFT(plan, data.data(), 1);
    for (int k = 0; k < Points; ++k)
    {
        const double amplitude = std::exp(static_cast<double>(data[2 * k]));
        const double phase = data[2 * k + 1];
        data[2 * k] = static_cast<float>(amplitude * std::cos(phase));
        data[2 * k + 1] = static_cast<float>(amplitude * std::sin(phase));
    }
    ComplexFFT(plan, data.data(), -1);
    for (int t = 0; t < count; ++t)
    {
        result[t] = data[2 * static_cast<std::size_t>(t)];
    }
    DoneComplexFFT(plan);
}

} // namespace keb
