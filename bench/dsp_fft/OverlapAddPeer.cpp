#include "OverlapAddPeer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace keb::bench
{

OverlapAddPeer::OverlapAddPeer(const std::vector<float>& taps, int n, int maxCall)
    : N(n), Hop(n / 2), Time(fftwf_alloc_real(static_cast<std::size_t>(n))),
      Bins(fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1))),
      Kernel(fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1))),
      Forward(fftwf_plan_dft_r2c_1d(n, Time, Bins, FFTW_MEASURE)),
      Backward(fftwf_plan_dft_c2r_1d(n, Bins, Time, FFTW_MEASURE)),
      Overlap(static_cast<std::size_t>(n / 2), 0.0f),
      InQueue(static_cast<std::size_t>(maxCall + n)),
      OutQueue(static_cast<std::size_t>(maxCall + n))
{
    // The taps' spectrum, with the 1/N of the unnormalised inverse folded in.
    std::fill(Time, Time + n, 0.0f);
    for (std::size_t t = 0; t < taps.size(); ++t)
    {
        Time[t] = taps[t] / static_cast<float>(n);
    }
    fftwf_execute(Forward);
    std::memcpy(Kernel, Bins, sizeof(fftwf_complex) * static_cast<std::size_t>(n / 2 + 1));
}

OverlapAddPeer::~OverlapAddPeer()
{
    fftwf_destroy_plan(Forward);
    fftwf_destroy_plan(Backward);
    fftwf_free(Time);
    fftwf_free(Bins);
    fftwf_free(Kernel);
}

void OverlapAddPeer::FilterBlock(const int16_t* block)
{
    for (int j = 0; j < Hop; ++j)
    {
        Time[j] = block[j];
        Time[Hop + j] = 0.0f;
    }
    fftwf_execute(Forward);
    for (int k = 0; k <= N / 2; ++k)
    {
        float re = Bins[k][0] * Kernel[k][0] - Bins[k][1] * Kernel[k][1];
        float im = Bins[k][0] * Kernel[k][1] + Bins[k][1] * Kernel[k][0];
        Bins[k][0] = re;
        Bins[k][1] = im;
    }
    fftwf_execute(Backward);
    int16_t* out = OutQueue.data() + OutFill;
    for (int j = 0; j < Hop; ++j)
    {
        float value = std::trunc(Time[j] + Overlap[j]);
        out[j] = static_cast<int16_t>(std::clamp(value, -32768.0f, 32767.0f));
        Overlap[j] = Time[Hop + j];
    }
    OutFill += Hop;
}

void OverlapAddPeer::Process(int16_t* samples, int count)
{
    std::memcpy(InQueue.data() + InFill, samples,
                sizeof(int16_t) * static_cast<std::size_t>(count));
    InFill += count;
    int used = 0;
    for (; used + Hop <= InFill; used += Hop)
    {
        FilterBlock(InQueue.data() + used);
    }
    InFill -= used;
    std::memmove(InQueue.data(), InQueue.data() + used,
                 sizeof(int16_t) * static_cast<std::size_t>(InFill));
    int available = std::min(count, OutFill);
    int silence = count - available;
    std::fill(samples, samples + silence, int16_t{0});
    std::memcpy(samples + silence, OutQueue.data(),
                sizeof(int16_t) * static_cast<std::size_t>(available));
    OutFill -= available;
    std::memmove(OutQueue.data(), OutQueue.data() + available,
                 sizeof(int16_t) * static_cast<std::size_t>(OutFill));
}

} // namespace keb::bench
