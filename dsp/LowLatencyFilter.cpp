#include "dsp/LowLatencyFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace keb
{

TLowLatencyFilter::TLowLatencyFilter(int channels)
    : Channels(std::clamp(channels, 1, 2)),
      Lines(static_cast<std::size_t>(Channels) * (HistoryFrames + ChunkFrames), 0.0f)
{
}

void TLowLatencyFilter::SetTaps(const float* taps, int count)
{
    TTapSet& set = TapSets.Spare();
    set.Count = std::clamp(count, 1, MaxTaps);
    for (int j = 0; j < set.Count; ++j)
    {
        set.Reversed[static_cast<std::size_t>(j)] = taps[set.Count - 1 - j];
    }
    TapSets.Publish();
}

void TLowLatencyFilter::Reset()
{
    std::fill(Lines.begin(), Lines.end(), 0.0f);
}

bool TLowLatencyFilter::Process(std::int16_t* samples, int frames, int selection)
{
    if (samples == nullptr || frames <= 0)
    {
        return false;
    }
    TapSets.TakeNewest();
    int first = 0;
    int end = Channels;
    if (Channels == 2 && (selection == 1 || selection == 2))
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
            clipped |= FilterChunk(samples + done * Channels, chunk, channel);
        }
    }
    return clipped;
}

// y[i] = sum over j of Reversed[j] * x[i - Count + 1 + j]: a dot product over the line,
// which holds the history right in front of the chunk's samples.
bool TLowLatencyFilter::FilterChunk(std::int16_t* samples, int frames, int channel)
{
    const TTapSet& set = TapSets.Current();
    float* line = Lines.data() + static_cast<std::size_t>(channel) * (HistoryFrames + ChunkFrames);
    for (int i = 0; i < frames; ++i)
    {
        line[HistoryFrames + i] = samples[i * Channels + channel];
    }
    const float* reversed = set.Reversed.data();
    bool clipped = false;
    for (int i = 0; i < frames; ++i)
    {
        const float* x = line + HistoryFrames + i - (set.Count - 1);
        // Four sums side by side: the compiler may keep them in one vector register.
        float sums[4] = {0, 0, 0, 0};
        int j = 0;
        for (; j + 4 <= set.Count; j += 4)
        {
            for (int lane = 0; lane < 4; ++lane)
            {
                sums[lane] += reversed[j + lane] * x[j + lane];
            }
        }
        float value = (sums[0] + sums[1]) + (sums[2] + sums[3]);
        for (; j < set.Count; ++j)
        {
            value += reversed[j] * x[j];
        }
        // Truncated like the FFT engine's output, so that both give the same samples.
        const float limited = std::clamp(std::trunc(value), -32768.0f, 32767.0f);
        clipped |= limited != std::trunc(value);
        samples[i * Channels + channel] = static_cast<std::int16_t>(limited);
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
