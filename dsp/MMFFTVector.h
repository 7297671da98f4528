#pragma once

// The vector kernels, written once over GCC/Clang vector types and compiled twice: with the
// baseline instruction set (128-bit vectors) and, in a file of its own, with AVX and FMA
// (256-bit vectors). Everything here has internal linkage, so the two compilations never
// mix in the link.
//
// Algorithm: radix-4 decimation in frequency (two radix-2 stages merged, which gives the
// same bit-reversed spectrum as the split-radix walk of the scalar kernel). Odd orders from
// 8 points on start with one radix-2 stage; then come radix-4 stages of block length
// n, n/4, ... while n >= 16, vectorised over the index j inside a block with the stage
// twiddles of MMFFTTables.h; a block larger than the first-level cache gets its first stage
// and then has each quarter finished on its own. The last radix-4 pass needs no twiddles
// and runs inside the bit-reversal reordering, which swaps 4 x 4 tiles of values with
// whole-row loads and stores, and applies the scale factor there. Data are interleaved
// (re, im) before the first stage and after the last twiddled one; between the 128-bit
// stages they lie as four real parts followed by four imaginary parts, and those stages read
// their factors from a table in the same layout. An odd order from 32 points on runs its
// radix-2 stage and the first radix-4 stage of both halves in one pass (radix 8), then
// finishes the blocks of N/8 values a cache's worth at a time. The engine's
// inverse transform of a bit-reversed spectrum runs the forward network backwards instead, so
// its spectrum is never reordered.
//
// Compiled in: MMFFTVector128.cpp (128-bit), MMFFTVector256.cpp (256-bit).

#include "dsp/MMFFTKernel.h"
#include "dsp/MMFFTVectorTypes.h"

#include <algorithm>
#ifdef __AVX__
#include <immintrin.h>
#endif
#include <type_traits>

namespace keb::fft
{
namespace
{

template <class V> constexpr int Lanes = sizeof(V) / sizeof(float);

// Exchanges the real and the imaginary part of every complex value.
inline TFloat4 SwapParts(TFloat4 v)
{
    return __builtin_shufflevector(v, v, 1, 0, 3, 2);
}

#ifdef __AVX__
inline TFloat8 SwapParts(TFloat8 v)
{
    return __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
}
#endif

// Every complex value's real part, or imaginary part, in both of its lanes.
inline TFloat4 RealPartsTwice(TFloat4 v)
{
    return __builtin_shufflevector(v, v, 0, 0, 2, 2);
}

inline TFloat4 ImaginaryPartsTwice(TFloat4 v)
{
    return __builtin_shufflevector(v, v, 1, 1, 3, 3);
}

// The complex values in reversed order.
inline TFloat4 ReverseValues(TFloat4 v)
{
    return __builtin_shufflevector(v, v, 2, 3, 0, 1);
}

#ifdef __AVX__
inline TFloat8 RealPartsTwice(TFloat8 v)
{
    return __builtin_shufflevector(v, v, 0, 0, 2, 2, 4, 4, 6, 6);
}

inline TFloat8 ImaginaryPartsTwice(TFloat8 v)
{
    return __builtin_shufflevector(v, v, 1, 1, 3, 3, 5, 5, 7, 7);
}

inline TFloat8 ReverseValues(TFloat8 v)
{
    return __builtin_shufflevector(v, v, 6, 7, 4, 5, 2, 3, 0, 1);
}
#endif

// +1 on real parts and -1 on imaginary parts.
template <class V> V AlternatingSigns()
{
    V signs;
    for (int i = 0; i < Lanes<V>; ++i)
    {
        signs[i] = (i % 2 == 0) ? 1.0f : -1.0f;
    }
    return signs;
}

// a * w with w given as (re, re) and (-im, +im) pairs; the inverse uses conj(w).
template <bool Inverse, class V> V MultiplyTwiddle(V a, V wRe, V wIm)
{
    return Inverse ? a * wRe - SwapParts(a) * wIm : a * wRe + SwapParts(a) * wIm;
}

// -i * t for the forward transform, +i * t for the inverse.
template <bool Inverse, class V> V QuarterTurn(V t)
{
    V rotated = SwapParts(t) * AlternatingSigns<V>();
    return Inverse ? -rotated : rotated;
}

// d + q and d - q with q the quarter turn of t (QuarterTurn).
template <bool Inverse, class T> T PlusQuarterTurn(T d, T t)
{
    return d + QuarterTurn<Inverse>(t);
}

template <bool Inverse, class T> T MinusQuarterTurn(T d, T t)
{
    return d - QuarterTurn<Inverse>(t);
}

#ifdef __FMA__
// The same on the multiply units: d * 1 + or - the swapped t, the sign alternating between
// the real and the imaginary parts, which leaves the adders free for the butterflies' other
// sums; d * 1 is exact, so the results are those of the plain sums.
template <bool Inverse> TFloat8 PlusQuarterTurn(TFloat8 d, TFloat8 t)
{
    TFloat8 ones = TFloat8{} + 1.0f;
    return Inverse ? _mm256_fmaddsub_ps(d, ones, SwapParts(t))
                   : _mm256_fmsubadd_ps(d, ones, SwapParts(t));
}

template <bool Inverse> TFloat8 MinusQuarterTurn(TFloat8 d, TFloat8 t)
{
    return PlusQuarterTurn<!Inverse>(d, t);
}
#endif

// The stage factors W_n^j, W_n^2j and W_n^3j of the lanes' indices j, as (re, re) and
// (-im, +im) pairs.
template <class V> struct TStageFactors
{
    V Re[3];
    V Im[3];
};

// The factors of the lanes' j at w in the stage table of a stage with the given quarter (n/4).
template <class V>
[[gnu::always_inline]] inline TStageFactors<V> LoadStageFactors(const float* w, int32_t quarter)
{
    // Written out rather than looped, so that the factors stay in registers.
    return {{Load<V>(w), Load<V>(w + 4 * quarter), Load<V>(w + 8 * quarter)},
            {Load<V>(w + 2 * quarter), Load<V>(w + 6 * quarter), Load<V>(w + 10 * quarter)}};
}

// Calls butterfly(x, quarter, factors) for every block of length n and every j, x pointing
// at value j of the block: j runs over the vector lanes, the blocks over the inner loop so
// that the factors are loaded once per j.
template <class V, class Butterfly>
void ForEachButterfly(float* data, int32_t total, int32_t n, const float* twiddles,
                      Butterfly butterfly)
{
    int32_t quarter = n / 4;
    for (int32_t j = 0; j < quarter; j += Lanes<V> / 2)
    {
        TStageFactors<V> factors = LoadStageFactors<V>(twiddles + 2 * j, quarter);
        for (int32_t start = 0; start < total; start += n)
        {
            butterfly(data + 2 * (start + j), quarter, factors);
        }
    }
}

// The radix-4 butterfly of a0 .. a3 (vectors of interleaved values, or split ones), giving
// y0 = (a0 + a2) + (a1 + a3), y1 = ((a0 + a2) - (a1 + a3)) W^2j, y2 = (t0 -+ i t1) W^j and
// y3 = (t0 +- i t1) W^3j with t0 = a0 - a2, t1 = a1 - a3, to put(k, yk); twiddle(k, v)
// multiplies by W^((k+1) j).
template <bool Inverse, class T, class Twiddle, class Put>
[[gnu::always_inline]] inline void RadixFourButterfly(T a0, T a1, T a2, T a3, Twiddle twiddle,
                                                      Put put)
{
    T sum02 = a0 + a2;
    T difference02 = a0 - a2;
    T sum13 = a1 + a3;
    T difference13 = a1 - a3;
    put(0, sum02 + sum13);
    put(1, twiddle(1, sum02 - sum13));
    put(2, twiddle(0, PlusQuarterTurn<Inverse>(difference02, difference13)));
    put(3, twiddle(2, MinusQuarterTurn<Inverse>(difference02, difference13)));
}

// RadixFourButterfly in place on x[0], x[q], x[2q], x[3q].
template <bool Inverse, class V>
void Butterfly(float* x, int32_t quarter, const TStageFactors<V>& w)
{
    RadixFourButterfly<Inverse>(
        Load<V>(x), Load<V>(x + 2 * quarter), Load<V>(x + 4 * quarter), Load<V>(x + 6 * quarter),
        [&w](int k, V v) { return MultiplyTwiddle<Inverse>(v, w.Re[k], w.Im[k]); },
        [x, quarter](int k, V v) { Store(x + 2 * k * quarter, v); });
}

// Undoes the forward Butterfly up to a factor 4: the conjugate factors first, then the
// sums and differences in reverse.
template <class V> void UndoButterfly(float* x, int32_t quarter, const TStageFactors<V>& w)
{
    float* x1 = x + 2 * quarter;
    float* x2 = x1 + 2 * quarter;
    float* x3 = x2 + 2 * quarter;
    V y0 = Load<V>(x);
    V u1 = MultiplyTwiddle<true>(Load<V>(x1), w.Re[1], w.Im[1]);
    V u2 = MultiplyTwiddle<true>(Load<V>(x2), w.Re[0], w.Im[0]);
    V u3 = MultiplyTwiddle<true>(Load<V>(x3), w.Re[2], w.Im[2]);
    V sum02 = y0 + u1;
    V sum13 = y0 - u1;
    V difference02 = u2 + u3;
    V difference13 = QuarterTurn<true>(u2 - u3);
    Store(x, sum02 + difference02);
    Store(x2, sum02 - difference02);
    Store(x1, sum13 + difference13);
    Store(x3, sum13 - difference13);
}

// The first stage of an odd order: x[j] := a + b, x[j + N/2] := (a - b) W_N^j with a = x[j],
// b = x[j + N/2]; the twiddles are W_N^j as (re, re) and (-im, +im) pairs, N floats each.
template <bool Inverse, class V>
void RadixTwoStage(float* data, int32_t total, const float* twiddles)
{
    int32_t half = total / 2;
    for (int32_t j = 0; j < half; j += Lanes<V> / 2)
    {
        float* x0 = data + 2 * j;
        float* x1 = x0 + total;
        V a = Load<V>(x0);
        V b = Load<V>(x1);
        Store(x0, a + b);
        Store(x1, MultiplyTwiddle<Inverse>(a - b, Load<V>(twiddles + 2 * j),
                                           Load<V>(twiddles + total + 2 * j)));
    }
}

// The radix-2 stage of an odd order N >= 32 fused with the first radix-4 stage of both
// halves: eight values N/8 apart at a time, so that the data cross memory once for both. The
// radix-2 factors come first in the stage table, then those of the radix-4 stage.
template <bool Inverse, class V>
void RadixEightStage(float* data, int32_t total, const float* twiddles)
{
    int32_t eighth = total / 8;
    const float* halfTwiddles = twiddles + 2 * total;
    for (int32_t j = 0; j < eighth; j += Lanes<V> / 2)
    {
        float* x = data + 2 * j;
        V sums[4];
        V differences[4];
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k)
        {
            const float* w = twiddles + 2 * (j + k * eighth);
            V a = Load<V>(x + 2 * k * eighth);
            V b = Load<V>(x + 2 * (k + 4) * eighth);
            sums[k] = a + b;
            differences[k] = MultiplyTwiddle<Inverse>(a - b, Load<V>(w), Load<V>(w + total));
        }
        TStageFactors<V> factors = LoadStageFactors<V>(halfTwiddles + 2 * j, eighth);
        auto twiddle = [&factors](int k, V v)
        { return MultiplyTwiddle<Inverse>(v, factors.Re[k], factors.Im[k]); };
        RadixFourButterfly<Inverse>(sums[0], sums[1], sums[2], sums[3], twiddle,
                                    [x, eighth](int k, V v) { Store(x + 2 * k * eighth, v); });
        RadixFourButterfly<Inverse>(
            differences[0], differences[1], differences[2], differences[3], twiddle,
            [x, total, eighth](int k, V v) { Store(x + total + 2 * k * eighth, v); });
    }
}

// Undoes RadixTwoStage<false> up to a factor 2.
template <class V> void UndoRadixTwoStage(float* data, int32_t total, const float* twiddles)
{
    int32_t half = total / 2;
    for (int32_t j = 0; j < half; j += Lanes<V> / 2)
    {
        float* x0 = data + 2 * j;
        float* x1 = x0 + total;
        V a = Load<V>(x0);
        V b = MultiplyTwiddle<true>(Load<V>(x1), Load<V>(twiddles + 2 * j),
                                    Load<V>(twiddles + total + 2 * j));
        Store(x0, a + b);
        Store(x1, a - b);
    }
}

template <bool Inverse, class V>
void RadixFourStage(float* data, int32_t total, int32_t n, const float* twiddles)
{
    ForEachButterfly<V>(data, total, n, twiddles,
                        [](float* x, int32_t quarter, const TStageFactors<V>& w)
                        { Butterfly<Inverse, V>(x, quarter, w); });
}

template <class V>
void UndoRadixFourStage(float* data, int32_t total, int32_t n, const float* twiddles)
{
    ForEachButterfly<V>(data, total, n, twiddles,
                        [](float* x, int32_t quarter, const TStageFactors<V>& w)
                        { UndoButterfly<V>(x, quarter, w); });
}

// Blocks of four values: the radix-4 butterfly without twiddles, each result scaled.
template <bool Inverse> void RadixFourPass(float* data, int32_t total, float scale)
{
    TFloat4 signs = Inverse ? TFloat4{1, 1, -1, 1} : TFloat4{1, 1, 1, -1};
    for (int32_t start = 0; start < total; start += 4)
    {
        float* x = data + 2 * start;
        TFloat4 low = Load<TFloat4>(x);
        TFloat4 high = Load<TFloat4>(x + 4);
        TFloat4 sums = low + high; // t0, t2
        TFloat4 differences =
            __builtin_shufflevector(low - high, low - high, 0, 1, 3, 2) * signs; // t1, turned t3
        TFloat4 firsts = __builtin_shufflevector(sums, differences, 0, 1, 4, 5);
        TFloat4 seconds = __builtin_shufflevector(sums, differences, 2, 3, 6, 7);
        TFloat4 plus = (firsts + seconds) * scale;  // y0, y2
        TFloat4 minus = (firsts - seconds) * scale; // y1, y3
        Store(x, __builtin_shufflevector(plus, minus, 0, 1, 4, 5));
        Store(x + 4, __builtin_shufflevector(plus, minus, 2, 3, 6, 7));
    }
}

// Blocks of two values: sum and difference, each result scaled.
inline void RadixTwoPass(float* data, int32_t total, float scale)
{
    TFloat4 signs{1, 1, -1, -1};
    for (int32_t start = 0; start < total; start += 2)
    {
        float* x = data + 2 * start;
        TFloat4 v = Load<TFloat4>(x);
        TFloat4 firsts = __builtin_shufflevector(v, v, 0, 1, 0, 1);
        TFloat4 seconds = __builtin_shufflevector(v, v, 2, 3, 2, 3) * signs;
        Store(x, (firsts + seconds) * scale);
    }
}

// Undoes RadixFourPass<false> up to a factor 4, each result scaled.
inline void UndoRadixFourPass(float* data, int32_t total, float scale)
{
    for (int32_t start = 0; start < total; start += 4)
    {
        float* x = data + 2 * start;
        TFloat4 low = Load<TFloat4>(x);
        TFloat4 high = Load<TFloat4>(x + 4);
        TFloat4 evens = __builtin_shufflevector(low, high, 0, 1, 4, 5); // y0, y2
        TFloat4 odds = __builtin_shufflevector(low, high, 2, 3, 6, 7);  // y1, y3
        TFloat4 sums = evens + odds;                                    // 2 (a0 + a2), 2 (a0 - a2)
        TFloat4 differences = evens - odds;                             // 2 (a1 + a3), 2 R
        TFloat4 turned =
            __builtin_shufflevector(differences, differences, 0, 1, 3, 2) * TFloat4{1, 1, -1, 1};
        TFloat4 firsts = __builtin_shufflevector(sums, turned, 0, 1, 4, 5);
        TFloat4 seconds = __builtin_shufflevector(sums, turned, 2, 3, 6, 7);
        Store(x, (firsts + seconds) * scale);     // a0, a1
        Store(x + 4, (firsts - seconds) * scale); // a2, a3
    }
}

// The 128-bit kernel's stages keep four values at a time as four real parts followed by four
// imaginary parts, which spares the shuffles of interleaved complex arithmetic. The first
// stage reads interleaved values and the last twiddled stage writes them again, so every
// other pass sees the plan's layout.
template <class V> constexpr bool UsesSplitStages = Lanes<V> == 4;

// Two 128-bit vectors: four values' real parts and then their imaginary parts in the stages,
// or two pairs of interleaved values in a row of the reordering below.
struct TFloat4Pair
{
    TFloat4 First;
    TFloat4 Second;
};

inline TFloat4Pair operator+(TFloat4Pair a, TFloat4Pair b)
{
    return {a.First + b.First, a.Second + b.Second};
}

inline TFloat4Pair operator-(TFloat4Pair a, TFloat4Pair b)
{
    return {a.First - b.First, a.Second - b.Second};
}

inline TFloat4Pair operator*(TFloat4Pair a, float factor)
{
    return {a.First * factor, a.Second * factor};
}

// -i * t for the forward transform, +i * t for the inverse.
template <bool Inverse> TFloat4Pair QuarterTurn(TFloat4Pair t)
{
    if constexpr (Inverse)
    {
        return {-t.Second, t.First};
    }
    return {t.Second, -t.First};
}

inline TFloat4 EvenLanes(TFloat4 a, TFloat4 b)
{
    return __builtin_shufflevector(a, b, 0, 2, 4, 6);
}

inline TFloat4 OddLanes(TFloat4 a, TFloat4 b)
{
    return __builtin_shufflevector(a, b, 1, 3, 5, 7);
}

// Hides where v came from, so that the compiler keeps it in a register and copies it there
// instead of loading it from memory again for every use: the two-operand baseline
// instructions overwrite an operand, and repeated loads would then outnumber the arithmetic.
inline void KeepInRegister(TFloat4& v)
{
#if defined(__SSE2__)
    __asm__("" : "+x"(v));
#else
    (void)v;
#endif
}

// Four values at p, split or interleaved.
template <bool Split> TFloat4Pair LoadValues(const float* p)
{
    TFloat4 first = Load<TFloat4>(p);
    TFloat4 second = Load<TFloat4>(p + 4);
    KeepInRegister(first);
    KeepInRegister(second);
    if constexpr (Split)
    {
        return {first, second};
    }
    return {EvenLanes(first, second), OddLanes(first, second)};
}

template <bool Split> void StoreValues(float* p, TFloat4Pair x)
{
    if constexpr (Split)
    {
        Store(p, x.First);
        Store(p + 4, x.Second);
        return;
    }
    Store(p, __builtin_shufflevector(x.First, x.Second, 0, 4, 1, 5));
    Store(p + 4, __builtin_shufflevector(x.First, x.Second, 2, 6, 3, 7));
}

// x times the four floats at p, a 16-byte aligned entry of a split stage table. The baseline
// instruction set multiplies straight from memory: a factor read at each use takes no register
// and needs no copy, where a factor kept in a register would be copied before each of its two
// multiplications (the two-operand instructions overwrite an operand). Reading it twice costs
// less than that copy.
inline TFloat4 TimesStored(TFloat4 x, const float* p)
{
#if defined(__SSE2__) && !defined(__AVX__)
    __asm__("mulps %1, %0"
            : "+x"(x)
            : "m"(*static_cast<const TFloat4*>(__builtin_assume_aligned(p, 16))));
    return x;
#else
    return x * Load<TFloat4>(p);
#endif
}

// a * w, or a * conj(w) for the inverse, with w the four factors at w: their real parts, then
// their imaginary parts.
template <bool Inverse> TFloat4Pair Times(TFloat4Pair a, const float* w)
{
    const float* imaginary = w + 4;
    if constexpr (Inverse)
    {
        return {TimesStored(a.First, w) + TimesStored(a.Second, imaginary),
                TimesStored(a.Second, w) - TimesStored(a.First, imaginary)};
    }
    return {TimesStored(a.First, w) - TimesStored(a.Second, imaginary),
            TimesStored(a.First, imaginary) + TimesStored(a.Second, w)};
}

// The radix-4 butterfly on split values a0 .. a3 with the factors W_n^j, W_n^2j, W_n^3j of
// four j at `factors` in the split stage table, its results stored in the layout given,
// result k at x + 2 k quarter.
template <bool Inverse, bool SplitOut>
[[gnu::always_inline]] inline void SplitButterfly(TFloat4Pair a0, TFloat4Pair a1, TFloat4Pair a2,
                                                  TFloat4Pair a3, const float* factors, float* x,
                                                  int32_t quarter)
{
    RadixFourButterfly<Inverse>(
        a0, a1, a2, a3,
        [factors](int k, TFloat4Pair v) { return Times<Inverse>(v, factors + 8 * k); },
        [x, quarter](int k, TFloat4Pair v) { StoreValues<SplitOut>(x + 2 * k * quarter, v); });
}

// Butterfly on split values, read and written in the layouts given; the twiddles in the
// split stage table's layout.
template <bool Inverse, bool SplitIn, bool SplitOut>
void SplitRadixFourStage(float* data, int32_t total, int32_t n, const float* twiddles)
{
    int32_t quarter = n / 4;
    for (int32_t start = 0; start < total; start += n)
    {
        for (int32_t j = 0; j < quarter; j += 4)
        {
            const float* factors = twiddles + 6 * j;
            float* x = data + 2 * (start + j);
            SplitButterfly<Inverse, SplitOut>(
                LoadValues<SplitIn>(x), LoadValues<SplitIn>(x + 2 * quarter),
                LoadValues<SplitIn>(x + 4 * quarter), LoadValues<SplitIn>(x + 6 * quarter), factors,
                x, quarter);
        }
    }
}

// The radix-2 stage of N = 8, read and written interleaved.
template <bool Inverse> void SplitRadixTwoStage(float* data, const float* twiddles)
{
    TFloat4Pair a = LoadValues<false>(data);
    TFloat4Pair b = LoadValues<false>(data + 8);
    StoreValues<false>(data, a + b);
    StoreValues<false>(data + 8, Times<Inverse>(a - b, twiddles));
}

// The radix-2 stage of an odd order N >= 32 fused with the first radix-4 stage of both
// halves: eight values N/8 apart at a time, read interleaved, so that the data cross memory
// once for both. Written interleaved when N = 32, where the radix-4 stage is the last one.
template <bool Inverse, bool SplitOut>
void SplitRadixEightStage(float* data, int32_t total, const float* twiddles)
{
    int32_t eighth = total / 8;
    const float* halfTwiddles = twiddles + total;
    for (int32_t j = 0; j < eighth; j += 4)
    {
        float* x = data + 2 * j;
        TFloat4Pair sums[4];
        TFloat4Pair differences[4];
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k)
        {
            TFloat4Pair a = LoadValues<false>(x + 2 * k * eighth);
            TFloat4Pair b = LoadValues<false>(x + 2 * (k + 4) * eighth);
            sums[k] = a + b;
            differences[k] = Times<Inverse>(a - b, twiddles + 2 * (j + k * eighth));
        }
        const float* factors = halfTwiddles + 6 * j;
        SplitButterfly<Inverse, SplitOut>(sums[0], sums[1], sums[2], sums[3], factors, x, eighth);
        SplitButterfly<Inverse, SplitOut>(differences[0], differences[1], differences[2],
                                          differences[3], factors, x + total, eighth);
    }
}

// One radix-4 stage of block length n; the first stage reads interleaved values, the last
// (n = 16) writes them.
template <bool Inverse, class V>
void RadixFourStageIn(float* data, int32_t total, int32_t n, const float* twiddles, bool first)
{
    if constexpr (UsesSplitStages<V>)
    {
        bool last = n == 16;
        if (first)
        {
            last ? SplitRadixFourStage<Inverse, false, false>(data, total, n, twiddles)
                 : SplitRadixFourStage<Inverse, false, true>(data, total, n, twiddles);
        }
        else
        {
            last ? SplitRadixFourStage<Inverse, true, false>(data, total, n, twiddles)
                 : SplitRadixFourStage<Inverse, true, true>(data, total, n, twiddles);
        }
    }
    else
    {
        RadixFourStage<Inverse, V>(data, total, n, twiddles);
    }
}

// The radix-2 stage of N = 8, the one odd order that does not fuse it with a radix-4 stage.
template <bool Inverse, class V>
void RadixTwoStageIn(float* data, int32_t total, const float* twiddles)
{
    if constexpr (UsesSplitStages<V>)
    {
        SplitRadixTwoStage<Inverse>(data, twiddles);
    }
    else
    {
        RadixTwoStage<Inverse, V>(data, total, twiddles);
    }
}

// Whether the stages start with a radix-2 stage: for odd orders from 8 points on, so that the
// radix-4 stages that follow always end on blocks of four values.
inline bool HasRadixTwoStage(int32_t total)
{
    return total >= 8 && (__builtin_ctz(static_cast<uint32_t>(total)) % 2) == 1;
}

// The stage table a kernel reads, and the floats of its radix-2 stage of `total` values and
// of a radix-4 stage of block length n in it.
template <class V> const float* StageTable(const TCoreTables& tables)
{
    return UsesSplitStages<V> ? tables.SplitStageTwiddles : tables.StageTwiddles;
}

template <class V> constexpr int32_t RadixTwoStageFloats(int32_t total)
{
    return UsesSplitStages<V> ? total : 2 * total;
}

template <class V> constexpr int32_t RadixFourStageFloats(int32_t n)
{
    return UsesSplitStages<V> ? 3 * n / 2 : 3 * n;
}

// Blocks up to this many values, with the twiddles of their stages, fit the first-level cache.
constexpr int32_t CachedBlockValues = 1024;

// The radix-4 stages of block lengths n, n/4, ... while n >= 16 over `total` values. A single
// block too large for the cache gets its first stage, then each quarter is finished on its
// own while it stays in the cache.
template <bool Inverse, class V>
void RadixFourStages(float* data, int32_t total, int32_t n, const float* twiddles, bool first)
{
    if (n == total && n > CachedBlockValues)
    {
        RadixFourStageIn<Inverse, V>(data, total, n, twiddles, first);
        int32_t quarter = n / 4;
        for (int k = 0; k < 4; ++k)
        {
            RadixFourStages<Inverse, V>(data + 2 * k * quarter, quarter, quarter,
                                        twiddles + RadixFourStageFloats<V>(n), false);
        }
        return;
    }
    for (; n >= 16; n /= 4, first = false)
    {
        RadixFourStageIn<Inverse, V>(data, total, n, twiddles, first);
        twiddles += RadixFourStageFloats<V>(n);
    }
}

// The stages of an odd order N >= 32: the fused radix-2 and radix-4 stage, then the radix-4
// stages of the blocks of N/8 values, as many blocks at a time as fit the cache (so that the
// factors loaded for one j serve several blocks), at least one. The 128-bit kernel's fused
// stage writes interleaved values when N = 32, where its radix-4 stage is the last one.
template <bool Inverse, class V>
void RunRadixEightStages(float* data, int32_t total, const float* twiddles)
{
    if constexpr (UsesSplitStages<V>)
    {
        total > 32 ? SplitRadixEightStage<Inverse, true>(data, total, twiddles)
                   : SplitRadixEightStage<Inverse, false>(data, total, twiddles);
    }
    else
    {
        RadixEightStage<Inverse, V>(data, total, twiddles);
    }
    int32_t eighth = total / 8;
    int32_t group = std::max(eighth, std::min(total / 2, CachedBlockValues));
    const float* rest =
        twiddles + RadixTwoStageFloats<V>(total) + RadixFourStageFloats<V>(total / 2);
    for (int32_t start = 0; start < total; start += group)
    {
        RadixFourStages<Inverse, V>(data + 2 * start, group, eighth, rest, false);
    }
}

// The twiddled stages; returns the block length left for the last pass (4, 2, or 1 when
// N = 1).
template <bool Inverse, class V> int32_t RunStages(const TCoreTables& tables, float* data)
{
    int32_t total = tables.N;
    const float* twiddles = StageTable<V>(tables);
    if (HasRadixTwoStage(total) && total >= 32)
    {
        RunRadixEightStages<Inverse, V>(data, total, twiddles);
    }
    else if (HasRadixTwoStage(total))
    {
        RadixTwoStageIn<Inverse, V>(data, total, twiddles);
    }
    else
    {
        RadixFourStages<Inverse, V>(data, total, total, twiddles, true);
    }
    return total < 4 ? total : 4;
}

template <bool Inverse, class V>
void VectorTransformIn(const TCoreTables& tables, float* data, float scale)
{
    int32_t length = RunStages<Inverse, V>(tables, data);
    if (length == 4)
    {
        RadixFourPass<Inverse>(data, tables.N, scale);
    }
    else if (length == 2)
    {
        RadixTwoPass(data, tables.N, scale);
    }
    else if (scale != 1.0f)
    {
        data[0] *= scale;
        data[1] *= scale;
    }
}

// data := the inverse transform of a spectrum given in bit-reversed order, times scale: the
// forward network run backwards, so no reordering is needed on either side.
template <class V> void VectorInverseScrambled(const TCoreTables& tables, float* data, float scale)
{
    int32_t total = tables.N;
    const float* radixTwoTwiddles = tables.StageTwiddles;
    int32_t n = total;
    bool radixTwo = HasRadixTwoStage(total);
    const float* twiddles = radixTwoTwiddles;
    if (radixTwo)
    {
        twiddles += 2 * n;
        n /= 2;
    }
    int32_t lengths[16];
    const float* factors[16];
    int stages = 0;
    for (; n >= 16; n /= 4, ++stages)
    {
        lengths[stages] = n;
        factors[stages] = twiddles;
        twiddles += 3 * n;
    }
    if (n == 4)
    {
        UndoRadixFourPass(data, total, scale);
    }
    else if (n == 2)
    {
        RadixTwoPass(data, total, scale);
    }
    else
    {
        data[0] *= scale;
        data[1] *= scale;
    }
    while (stages-- > 0)
    {
        UndoRadixFourStage<V>(data, total, lengths[stages], factors[stages]);
    }
    if (radixTwo)
    {
        UndoRadixTwoStage<V>(data, total, radixTwoTwiddles);
    }
}

// Bit-reversal reordering by 4 x 4 tiles of complex values. With index
// i = a * (N/4) + 4 b + c (a, c < 4), reversal maps the tile of b onto the tile of
// reverse(b), and inside the tile row a, column c onto row reverse(c), column reverse(a): a
// transpose with reversed row and column order. Each tile pair is read once and written once
// with whole rows. A row is four complex values: one 256-bit vector, or a pair of 128-bit ones
// (values 0 and 1 first).

// d + q and d - q for rows, q the quarter turn of t.
template <bool Inverse> TFloat4Pair PlusQuarterTurnRow(TFloat4Pair d, TFloat4Pair t)
{
    return {PlusQuarterTurn<Inverse>(d.First, t.First),
            PlusQuarterTurn<Inverse>(d.Second, t.Second)};
}

template <bool Inverse> TFloat4Pair MinusQuarterTurnRow(TFloat4Pair d, TFloat4Pair t)
{
    return {MinusQuarterTurn<Inverse>(d.First, t.First),
            MinusQuarterTurn<Inverse>(d.Second, t.Second)};
}

template <class Row> Row LoadRow(const float* p);

template <> inline TFloat4Pair LoadRow<TFloat4Pair>(const float* p)
{
    return {Load<TFloat4>(p), Load<TFloat4>(p + 4)};
}

inline void StoreRow(float* p, TFloat4Pair row)
{
    Store(p, row.First);
    Store(p + 4, row.Second);
}

template <class Row> struct TTile
{
    Row R0;
    Row R1;
    Row R2;
    Row R3;
};

// The first (or second) complex value of a, then that of b.
inline TFloat4 FirstValues(TFloat4 a, TFloat4 b)
{
    return reinterpret_cast<TFloat4>(__builtin_shufflevector(reinterpret_cast<TDouble2>(a),
                                                             reinterpret_cast<TDouble2>(b), 0, 2));
}

inline TFloat4 SecondValues(TFloat4 a, TFloat4 b)
{
    return reinterpret_cast<TFloat4>(__builtin_shufflevector(reinterpret_cast<TDouble2>(a),
                                                             reinterpret_cast<TDouble2>(b), 1, 3));
}

// Row k of the result holds value k of every row of the argument.
[[gnu::always_inline]] inline TTile<TFloat4Pair> Transpose(const TTile<TFloat4Pair>& t)
{
    return {{FirstValues(t.R0.First, t.R1.First), FirstValues(t.R2.First, t.R3.First)},
            {SecondValues(t.R0.First, t.R1.First), SecondValues(t.R2.First, t.R3.First)},
            {FirstValues(t.R0.Second, t.R1.Second), FirstValues(t.R2.Second, t.R3.Second)},
            {SecondValues(t.R0.Second, t.R1.Second), SecondValues(t.R2.Second, t.R3.Second)}};
}

#ifdef __AVX__
template <bool Inverse> TFloat8 PlusQuarterTurnRow(TFloat8 d, TFloat8 t)
{
    return PlusQuarterTurn<Inverse>(d, t);
}

template <bool Inverse> TFloat8 MinusQuarterTurnRow(TFloat8 d, TFloat8 t)
{
    return MinusQuarterTurn<Inverse>(d, t);
}

template <> inline TFloat8 LoadRow<TFloat8>(const float* p)
{
    return Load<TFloat8>(p);
}

inline void StoreRow(float* p, TFloat8 row)
{
    Store(p, row);
}

// Each complex value moves as one 64-bit lane.
[[gnu::always_inline]] inline TTile<TFloat8> Transpose(const TTile<TFloat8>& t)
{
    auto r0 = reinterpret_cast<TDouble4>(t.R0);
    auto r1 = reinterpret_cast<TDouble4>(t.R1);
    auto r2 = reinterpret_cast<TDouble4>(t.R2);
    auto r3 = reinterpret_cast<TDouble4>(t.R3);
    TDouble4 t0 = __builtin_shufflevector(r0, r1, 0, 4, 2, 6);
    TDouble4 t1 = __builtin_shufflevector(r0, r1, 1, 5, 3, 7);
    TDouble4 t2 = __builtin_shufflevector(r2, r3, 0, 4, 2, 6);
    TDouble4 t3 = __builtin_shufflevector(r2, r3, 1, 5, 3, 7);
    return {reinterpret_cast<TFloat8>(__builtin_shufflevector(t0, t2, 0, 1, 4, 5)),
            reinterpret_cast<TFloat8>(__builtin_shufflevector(t1, t3, 0, 1, 4, 5)),
            reinterpret_cast<TFloat8>(__builtin_shufflevector(t0, t2, 2, 3, 6, 7)),
            reinterpret_cast<TFloat8>(__builtin_shufflevector(t1, t3, 2, 3, 6, 7))};
}
#endif

// The rows of a tile in reversed order (two-bit reversal swaps rows 1 and 2), transposed.
template <class Row>
[[gnu::always_inline]] inline TTile<Row> ReadTile(const float* tile, int32_t rowFloats)
{
    return Transpose(TTile<Row>{LoadRow<Row>(tile), LoadRow<Row>(tile + 2 * rowFloats),
                                LoadRow<Row>(tile + rowFloats),
                                LoadRow<Row>(tile + 3 * rowFloats)});
}

template <class Row>
[[gnu::always_inline]] inline void WriteTile(float* tile, int32_t rowFloats, const TTile<Row>& t)
{
    StoreRow(tile, t.R0);
    StoreRow(tile + rowFloats, t.R2);
    StoreRow(tile + 2 * rowFloats, t.R1);
    StoreRow(tile + 3 * rowFloats, t.R3);
}

// Calls finish(tile) on every tile as read (transposed, rows and columns in reversed order)
// and writes the result to its partner's place (N >= 16). The tile numbers b are walked as
// (u, m, v): the high half u of their bits, a middle bit m when their count is odd, and the
// low half v. The partner of b is (reverse(v), m, reverse(u)), with reverse taking a half's
// bits in reversed order, so b < partner exactly when u < reverse(v), and b is its own
// partner when u = reverse(v): each pair is visited once and each tile that stays in place
// is read and written once.
template <class Row, class Finish>
void ForEachTilePair(const TCoreTables& tables, float* data, Finish finish)
{
    int32_t rowFloats = tables.N / 2;
    int order = __builtin_ctz(static_cast<uint32_t>(tables.N));
    int halfBits = (order - 4) / 2;
    int middleBits = (order - 4) % 2;
    for (int32_t v = 0; v < (int32_t{1} << halfBits); ++v)
    {
        int32_t reversedV = tables.BitReverse[v] >> (order - halfBits);
        for (int32_t m = 0; m < (int32_t{1} << middleBits); ++m)
        {
            int32_t low = (m << halfBits) | v;
            for (int32_t u = 0; u < reversedV; ++u)
            {
                int32_t b = (u << (halfBits + middleBits)) | low;
                float* first = data + 8 * b;
                float* second = data + 8 * (tables.BitReverse[4 * b] / 4);
                TTile<Row> fromFirst = finish(ReadTile<Row>(first, rowFloats));
                TTile<Row> fromSecond = ReadTile<Row>(second, rowFloats);
                WriteTile(second, rowFloats, fromFirst);
                WriteTile(first, rowFloats, finish(fromSecond));
            }
            float* tile = data + 8 * ((reversedV << (halfBits + middleBits)) | low);
            WriteTile(tile, rowFloats, finish(ReadTile<Row>(tile, rowFloats)));
        }
    }
}

template <class V> struct TRowOf
{
    using Type = TFloat4Pair;
};
#ifdef __AVX__
template <> struct TRowOf<TFloat8>
{
    using Type = TFloat8;
};
#endif

template <class V> void VectorReorder(const TCoreTables& tables, float* data)
{
    if (tables.N < 16)
    {
        SwapReorder(tables, data);
        return;
    }
    using TRow = typename TRowOf<V>::Type;
    ForEachTilePair<TRow>(tables, data, [](const TTile<TRow>& t) { return t; });
}

// The last radix-4 pass fused with the reordering (N >= 16): a read tile holds, in each row,
// the same value of four blocks of the last pass, so its butterflies run across the rows and
// the tile is written in natural order at once.
template <bool Inverse, class V>
void LastPassReordered(const TCoreTables& tables, float* data, float scale)
{
    using TRow = typename TRowOf<V>::Type;
    auto butterflies = [](const TTile<TRow>& x)
    {
        TRow sum02 = x.R0 + x.R2;
        TRow difference02 = x.R0 - x.R2;
        TRow sum13 = x.R1 + x.R3;
        TRow difference13 = x.R1 - x.R3;
        return TTile<TRow>{sum02 + sum13, sum02 - sum13,
                           PlusQuarterTurnRow<Inverse>(difference02, difference13),
                           MinusQuarterTurnRow<Inverse>(difference02, difference13)};
    };
    if (scale == 1.0f)
    {
        ForEachTilePair<TRow>(tables, data, butterflies);
        return;
    }
    ForEachTilePair<TRow>(
        tables, data,
        [scale, butterflies](const TTile<TRow>& x)
        {
            TTile<TRow> y = butterflies(x);
            return TTile<TRow>{y.R0 * scale, y.R1 * scale, y.R2 * scale, y.R3 * scale};
        });
}

// The whole transform in natural order.
template <bool Inverse, class V>
void VectorTransformOrderedIn(const TCoreTables& tables, float* data, float scale)
{
    if (tables.N >= 16)
    {
        RunStages<Inverse, V>(tables, data);
        LastPassReordered<Inverse, V>(tables, data, scale);
        return;
    }
    VectorTransformIn<Inverse, V>(tables, data, scale);
    SwapReorder(tables, data);
}

// The transform, left bit-reversed or (Ordered) put in natural order.
template <class V, bool Ordered>
void VectorTransform(const TCoreTables& tables, float* data, bool inverse, float scale)
{
    auto run = [&](auto inverseTag)
    {
        constexpr bool isInverse = decltype(inverseTag)::value;
        if constexpr (Ordered)
        {
            VectorTransformOrderedIn<isInverse, V>(tables, data, scale);
        }
        else
        {
            VectorTransformIn<isInverse, V>(tables, data, scale);
        }
    };
    if (inverse)
    {
        run(std::true_type{});
    }
    else
    {
        run(std::false_type{});
    }
}

template <class V> void VectorMultiply(int count, float* a, const float* b)
{
    constexpr int values = Lanes<V> / 2;
    int k = 0;
    for (; k + values <= count; k += values)
    {
        V x = Load<V>(a + 2 * k);
        V y = Load<V>(b + 2 * k);
        Store(a + 2 * k, MultiplyTwiddle<false>(x, RealPartsTwice(y),
                                                ImaginaryPartsTwice(y) * -AlternatingSigns<V>()));
    }
    ScalarKernel.Multiply(count - k, a + 2 * k, b + 2 * k);
}

// SplitSpectrum (MMFFTKernel.h) on whole vectors: lanes of values k, k + 1, ... below half/2
// against the values half - k, half - k - 1, ... loaded from the top and reversed; the values
// from half/2 - 1 or so on go through the scalar code. With the split factors as
// a, b and c = 1 - b: X[k] = Z b + swap(Z) (a, -a) + M (c, -c) + swap(M) a and
// X[half - k] = M b - swap(M) (a, -a) + Z (c, -c) - swap(Z) a, with Z = Z[k], M = Z[half - k].
template <class V> void VectorSplitSpectrum(int32_t half, const float* split, float* data)
{
    data[0] += data[1];
    data[1] = 0.0f;
    constexpr int32_t values = Lanes<V> / 2;
    V signs = AlternatingSigns<V>();
    int32_t k = 1;
    for (; k + values <= half / 2; k += values)
    {
        V factors = Load<V>(split + 2 * (k - 1));
        V a = RealPartsTwice(factors);
        V b = ImaginaryPartsTwice(factors);
        V alternatingA = a * signs;
        V alternatingC = (1.0f - b) * signs;
        float* low = data + 2 * k;
        float* high = data + 2 * (half - k - values + 1);
        V z = Load<V>(low);
        V m = ReverseValues(Load<V>(high));
        V swappedZ = SwapParts(z);
        V swappedM = SwapParts(m);
        Store(low, z * b + swappedZ * alternatingA + m * alternatingC + swappedM * a);
        Store(high,
              ReverseValues(m * b - swappedM * alternatingA + z * alternatingC - swappedZ * a));
    }
    SplitSpectrumFrom(k, half, split, data);
}

template <class V> void VectorScale(int count, float factor, float* data)
{
    int i = 0;
    for (; i + Lanes<V> <= count; i += Lanes<V>)
    {
        Store(data + i, Load<V>(data + i) * factor);
    }
    ScalarKernel.Scale(count - i, factor, data + i);
}

} // namespace
} // namespace keb::fft
