// Part of the FFT filter engine (MMFFTFlt.h): one frame of the overlap-add
// convolution. The loops around the transforms move four values at a time with
// GCC/Clang vector types (N/2 >= 4 always holds).

#include "dsp/MMFFTFlt.h"

#include "dsp/MMFFTConvolve.h"
#include "dsp/MMFFTVectorTypes.h"

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace keb
{

namespace
{

// trunc(value) as 32-bit integers; values beyond their range (and NaN) saturate.
TInt4 TruncateSaturated(TFloat4 value)
{
    const TFloat4 limit = TFloat4{} + 2147483520.0f; // the largest float below 2^31
    TFloat4 limited = value > -limit ? value : -limit;
    limited = limited < limit ? limited : limit;
    return __builtin_convertvector(limited, TInt4);
}

using TShort4 = int16_t __attribute__((vector_size(8)));
using TShort8 = int16_t __attribute__((vector_size(16)));

TFloat4 LoadFloats(const int32_t* samples)
{
    return __builtin_convertvector(Load<TInt4>(samples), TFloat4);
}

// Through 32-bit integers: SSE2 converts those to floats and back a vector at a time, 16-bit
// ones only a value at a time. Each sample doubled and read as a 32-bit value, shifted down
// arithmetically, is the sample sign-extended.
TFloat4 LoadFloats(const int16_t* samples)
{
    const TShort4 four = Load<TShort4>(samples);
    const TShort8 doubled = __builtin_shufflevector(four, four, 0, 0, 1, 1, 2, 2, 3, 3);
    TInt4 widened;
    std::memcpy(&widened, &doubled, sizeof widened);
    return __builtin_convertvector(widened >> 16, TFloat4);
}

// Work[j] := (s[j], s[H + j]) and Work[H + j] := 0 for j < H.
template <class TSample> void PackHalfFrames(const TSample* samples, int32_t half, float* work)
{
    for (int32_t j = 0; j < half; j += 4)
    {
        TFloat4 first = LoadFloats(samples + j);
        TFloat4 second = LoadFloats(samples + half + j);
        Store(work + 2 * j, __builtin_shufflevector(first, second, 0, 4, 1, 5));
        Store(work + 2 * j + 4, __builtin_shufflevector(first, second, 2, 6, 3, 7));
    }
    std::memset(work + 2 * half, 0, sizeof(float) * 2 * static_cast<size_t>(half));
}

// Truncated 32-bit samples, unclipped.
struct TWideOutput
{
    int32_t* Samples;

    void Put(int32_t index, TFloat4 values) const
    {
        Store(Samples + index, TruncateSaturated(values));
    }
};

// Truncated 16-bit samples, clipped to their range as the 32-bit ones would be: trunc(x) lies
// outside it exactly when x is not within (-32769, 32768), NaN included, which becomes -32768.
struct TPcm16Output
{
    int16_t* Samples;
    TInt4 Outside{};

    void Put(int32_t index, TFloat4 values)
    {
        Store(Samples + index, __builtin_convertvector(Limited(values), TShort4));
    }

    // Eight samples in a row: the limited values fit 16 bits, so a saturating pack narrows
    // them as the plain conversion would, in one step instead of a shuffle per lane.
    void Put(int32_t index, TFloat4 first, TFloat4 second)
    {
#ifdef __SSE2__
        Store(Samples + index, _mm_packs_epi32(reinterpret_cast<__m128i>(Limited(first)),
                                               reinterpret_cast<__m128i>(Limited(second))));
#else
        Put(index, first);
        Put(index + 4, second);
#endif
    }

  private:
    TInt4 Limited(TFloat4 values)
    {
        const TFloat4 low = TFloat4{} - 32768.0f;
        const TFloat4 high = TFloat4{} + 32767.0f;
        Outside |= ~((values > low - 1.0f) & (values < high + 1.0f));
        TFloat4 limited = values > low ? values : low;
        limited = limited < high ? limited : high;
        return __builtin_convertvector(limited, TInt4);
    }
};

// out[j] = trunc(Re W[j] + Overlap[j]), out[H + j] = trunc(Re W[H + j] + Im W[j]),
// Overlap[j] = Im W[H + j]: each half-frame's head plus the tail of the one before.
struct TOverlapSums
{
    TFloat4 Head; // out[j .. j + 3]
    TFloat4 Tail; // out[H + j .. H + j + 3]
};

[[gnu::always_inline]] inline TOverlapSums AddOverlapsAt(const float* work, int32_t half,
                                                         float* overlap, int32_t j)
{
    TFloat4 headLow = Load<TFloat4>(work + 2 * j);
    TFloat4 headHigh = Load<TFloat4>(work + 2 * j + 4);
    TFloat4 tailLow = Load<TFloat4>(work + 2 * (half + j));
    TFloat4 tailHigh = Load<TFloat4>(work + 2 * (half + j) + 4);
    TFloat4 firstHead = __builtin_shufflevector(headLow, headHigh, 0, 2, 4, 6);
    TFloat4 secondHead = __builtin_shufflevector(headLow, headHigh, 1, 3, 5, 7);
    TFloat4 firstTail = __builtin_shufflevector(tailLow, tailHigh, 0, 2, 4, 6);
    TFloat4 secondTail = __builtin_shufflevector(tailLow, tailHigh, 1, 3, 5, 7);
    TOverlapSums sums{firstHead + Load<TFloat4>(overlap + j), firstTail + secondHead};
    Store(overlap + j, secondTail);
    return sums;
}

template <class TOutput>
void AddOverlaps(const float* work, int32_t half, float* overlap, TOutput& output, int32_t from = 0)
{
    for (int32_t j = from; j < half; j += 4)
    {
        const TOverlapSums sums = AddOverlapsAt(work, half, overlap, j);
        output.Put(j, sums.Head);
        output.Put(half + j, sums.Tail);
    }
}

// 16-bit output eight samples at a time where the half-frame allows.
void AddOverlaps(const float* work, int32_t half, float* overlap, TPcm16Output& output)
{
    int32_t j = 0;
    for (; j + 8 <= half; j += 8)
    {
        const TOverlapSums first = AddOverlapsAt(work, half, overlap, j);
        const TOverlapSums second = AddOverlapsAt(work, half, overlap, j + 4);
        output.Put(j, first.Head, second.Head);
        output.Put(half + j, first.Tail, second.Tail);
    }
    AddOverlaps<TPcm16Output>(work, half, overlap, output, j);
}

// Two consecutive half-frames travel as the real and the imaginary part of one complex
// transform; the response belongs to a real filter, so they stay apart. Each half-frame of
// N/2 samples convolved with N/2 + 1 taps needs exactly N samples, so nothing wraps around.
template <class TSample, class TOutput>
void FilterHalfFrames(TFFTFilter* filter, int channel, const TSample* samples, TOutput& output)
{
    filter->Responses.TakeNewest();
    PackHalfFrames(samples, filter->Half, filter->Work);
    // Forward, times the response, inverse scaled by 1/N; the spectrum stays in bit-reversed
    // order in between, so the response is applied in that order too.
    ConvolveCyclic(filter->Plan, filter->Work, filter->Responses.Current().data());
    AddOverlaps(filter->Work, filter->Half, filter->Channel[channel].Overlap, output);
}

} // namespace

void FilterFrame(TFFTFilter* filter, int channel)
{
    int32_t* samples = filter->Channel[channel].Frame;
    TWideOutput output{samples};
    FilterHalfFrames(filter, channel, samples, output);
}

bool FilterPcm16Frame(TFFTFilter* filter, int channel, const int16_t* input, int16_t* output)
{
    TPcm16Output clipped{output};
    FilterHalfFrames(filter, channel, input, clipped);
    return (clipped.Outside[0] | clipped.Outside[1] | clipped.Outside[2] | clipped.Outside[3]) != 0;
}

} // namespace keb
