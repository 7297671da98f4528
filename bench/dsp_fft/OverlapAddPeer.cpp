#include "OverlapAddPeer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace keb::bench
{

TOverlapAddPeer::TOverlapAddPeer(const std::vector<float>& taps, int n, int maxCall)
    : n_(n), hop_(n / 2), time_(fftwf_alloc_real(static_cast<std::size_t>(n))),
      bins_(fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1))),
      kernel_(fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1))),
      forward_(fftwf_plan_dft_r2c_1d(n, time_, bins_, FFTW_MEASURE)),
      backward_(fftwf_plan_dft_c2r_1d(n, bins_, time_, FFTW_MEASURE)),
      overlap_(static_cast<std::size_t>(n / 2), 0.0f),
      inQueue_(static_cast<std::size_t>(maxCall + n)),
      outQueue_(static_cast<std::size_t>(maxCall + n))
{
    // The taps' spectrum, with the 1/N of the unnormalised inverse folded in.
    std::fill(time_, time_ + n, 0.0f);
    for (std::size_t t = 0; t < taps.size(); ++t)
    {
        time_[t] = taps[t] / static_cast<float>(n);
    }
    fftwf_execute(forward_);
    std::memcpy(kernel_, bins_, sizeof(fftwf_complex) * static_cast<std::size_t>(n / 2 + 1));
}

TOverlapAddPeer::~TOverlapAddPeer()
{
    fftwf_destroy_plan(forward_);
    fftwf_destroy_plan(backward_);
    fftwf_free(time_);
    fftwf_free(bins_);
    fftwf_free(kernel_);
}

void TOverlapAddPeer::FilterBlock(const int16_t* block)
{
    for (int j = 0; j < hop_; ++j)
    {
        time_[j] = block[j];
        time_[hop_ + j] = 0.0f;
    }
    fftwf_execute(forward_);
    for (int k = 0; k <= n_ / 2; ++k)
    {
        float re = bins_[k][0] * kernel_[k][0] - bins_[k][1] * kernel_[k][1];
        float im = bins_[k][0] * kernel_[k][1] + bins_[k][1] * kernel_[k][0];
        bins_[k][0] = re;
        bins_[k][1] = im;
    }
    fftwf_execute(backward_);
    int16_t* out = outQueue_.data() + outFill_;
    for (int j = 0; j < hop_; ++j)
    {
        float value = std::trunc(time_[j] + overlap_[j]);
        out[j] = static_cast<int16_t>(std::clamp(value, -32768.0f, 32767.0f));
        overlap_[j] = time_[hop_ + j];
    }
    outFill_ += hop_;
}

void TOverlapAddPeer::Process(int16_t* samples, int count)
{
    std::memcpy(inQueue_.data() + inFill_, samples,
                sizeof(int16_t) * static_cast<std::size_t>(count));
    inFill_ += count;
    int used = 0;
    for (; used + hop_ <= inFill_; used += hop_)
    {
        FilterBlock(inQueue_.data() + used);
    }
    inFill_ -= used;
    std::memmove(inQueue_.data(), inQueue_.data() + used,
                 sizeof(int16_t) * static_cast<std::size_t>(inFill_));
    int available = std::min(count, outFill_);
    int silence = count - available;
    std::fill(samples, samples + silence, int16_t{0});
    std::memcpy(samples + silence, outQueue_.data(),
                sizeof(int16_t) * static_cast<std::size_t>(available));
    outFill_ -= available;
    std::memmove(outQueue_.data(), outQueue_.data() + available,
                 sizeof(int16_t) * static_cast<std::size_t>(outFill_));
}

} // namespace keb::bench
