#pragma once

// The vector kernels, written once over GCC/Clang vector types and compiled twice: with the
// baseline instruction set (128-bit vectors) and, in a file of its own, with AVX and FMA
// (256-bit vectors). Everything here has internal linkage, so the two compilations never
// mix in the link.
//
// Algorithm: radix-4 decimation in frequency (two radix-2 stages merged, which gives the
// same bit-reversed spectrum as the split-radix walk of the scalar kernel), stages of block
// length n = N, N/4, ... while n >= 8, vectorised over the index j inside a block with the
// stage twiddles of MMFFTTables.h; then an unrolled radix-4 or radix-2 pass without
// twiddles that also applies the scale factor. Data stay interleaved (re, im). The
// bit-reversal reordering moves whole tiles; with 256-bit vectors the last pass runs inside
// the reordering. The engine's inverse transform of a bit-reversed spectrum runs the forward
// network backwards instead, so its spectrum is never reordered.
//
// Compiled in: MMFFTVector128.cpp (128-bit), MMFFTVector256.cpp (256-bit).

#include "dsp/MMFFTKernel.h"
#include "dsp/MMFFTVectorTypes.h"

#include <type_traits>

namespace keb::fft
{
namespace
{

template <class V> constexpr int Lanes = sizeof(V) / sizeof(float);

// Exchanges the real and the imaginary part of every complex value.
inline Float4 SwapParts(Float4 v)
{
    return __builtin_shufflevector(v, v, 1, 0, 3, 2);
}

#ifdef __AVX__
inline Float8 SwapParts(Float8 v)
{
    return __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
}
#endif

// Every complex value's real part in both of its lanes, and its imaginary part as (-im, +im).
inline Float4 RealParts(Float4 v)
{
    return __builtin_shufflevector(v, v, 0, 0, 2, 2);
}

inline Float4 ImaginaryParts(Float4 v)
{
    return __builtin_shufflevector(v, v, 1, 1, 3, 3) * Float4{-1, 1, -1, 1};
}

#ifdef __AVX__
inline Float8 RealParts(Float8 v)
{
    return __builtin_shufflevector(v, v, 0, 0, 2, 2, 4, 4, 6, 6);
}

inline Float8 ImaginaryParts(Float8 v)
{
    return __builtin_shufflevector(v, v, 1, 1, 3, 3, 5, 5, 7, 7) *
           Float8{-1, 1, -1, 1, -1, 1, -1, 1};
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

// The stage factors W_n^j, W_n^2j and W_n^3j of the lanes' indices j, as (re, re) and
// (-im, +im) pairs.
template <class V> struct TStageFactors
{
    V Re[3];
    V Im[3];
};

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
        // Written out rather than looped, so that the factors stay in registers.
        const float* w = twiddles + 2 * j;
        TStageFactors<V> factors{
            {Load<V>(w), Load<V>(w + 4 * quarter), Load<V>(w + 8 * quarter)},
            {Load<V>(w + 2 * quarter), Load<V>(w + 6 * quarter), Load<V>(w + 10 * quarter)}};
        for (int32_t start = 0; start < total; start += n)
        {
            butterfly(data + 2 * (start + j), quarter, factors);
        }
    }
}

// x[0] = (a0 + a2) + (a1 + a3), x[q] = ((a0 + a2) - (a1 + a3)) W^2j,
// x[2q] = (t0 -+ i t1) W^j, x[3q] = (t0 +- i t1) W^3j with t0 = a0 - a2, t1 = a1 - a3.
template <bool Inverse, class V>
void Butterfly(float* x, int32_t quarter, const TStageFactors<V>& w)
{
    float* x1 = x + 2 * quarter;
    float* x2 = x1 + 2 * quarter;
    float* x3 = x2 + 2 * quarter;
    V a0 = Load<V>(x);
    V a1 = Load<V>(x1);
    V a2 = Load<V>(x2);
    V a3 = Load<V>(x3);
    V sum02 = a0 + a2;
    V difference02 = a0 - a2;
    V sum13 = a1 + a3;
    V turned13 = QuarterTurn<Inverse>(a1 - a3);
    Store(x, sum02 + sum13);
    Store(x1, MultiplyTwiddle<Inverse>(sum02 - sum13, w.Re[1], w.Im[1]));
    Store(x2, MultiplyTwiddle<Inverse>(difference02 + turned13, w.Re[0], w.Im[0]));
    Store(x3, MultiplyTwiddle<Inverse>(difference02 - turned13, w.Re[2], w.Im[2]));
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
    Float4 signs = Inverse ? Float4{1, 1, -1, 1} : Float4{1, 1, 1, -1};
    for (int32_t start = 0; start < total; start += 4)
    {
        float* x = data + 2 * start;
        Float4 low = Load<Float4>(x);
        Float4 high = Load<Float4>(x + 4);
        Float4 sums = low + high; // t0, t2
        Float4 differences =
            __builtin_shufflevector(low - high, low - high, 0, 1, 3, 2) * signs; // t1, turned t3
        Float4 firsts = __builtin_shufflevector(sums, differences, 0, 1, 4, 5);
        Float4 seconds = __builtin_shufflevector(sums, differences, 2, 3, 6, 7);
        Float4 plus = (firsts + seconds) * scale;  // y0, y2
        Float4 minus = (firsts - seconds) * scale; // y1, y3
        Store(x, __builtin_shufflevector(plus, minus, 0, 1, 4, 5));
        Store(x + 4, __builtin_shufflevector(plus, minus, 2, 3, 6, 7));
    }
}

// Blocks of two values: sum and difference, each result scaled.
inline void RadixTwoPass(float* data, int32_t total, float scale)
{
    Float4 signs{1, 1, -1, -1};
    for (int32_t start = 0; start < total; start += 2)
    {
        float* x = data + 2 * start;
        Float4 v = Load<Float4>(x);
        Float4 firsts = __builtin_shufflevector(v, v, 0, 1, 0, 1);
        Float4 seconds = __builtin_shufflevector(v, v, 2, 3, 2, 3) * signs;
        Store(x, (firsts + seconds) * scale);
    }
}

// Undoes RadixFourPass<false> up to a factor 4, each result scaled.
inline void UndoRadixFourPass(float* data, int32_t total, float scale)
{
    for (int32_t start = 0; start < total; start += 4)
    {
        float* x = data + 2 * start;
        Float4 low = Load<Float4>(x);
        Float4 high = Load<Float4>(x + 4);
        Float4 evens = __builtin_shufflevector(low, high, 0, 1, 4, 5); // y0, y2
        Float4 odds = __builtin_shufflevector(low, high, 2, 3, 6, 7);  // y1, y3
        Float4 sums = evens + odds;                                    // 2 (a0 + a2), 2 (a0 - a2)
        Float4 differences = evens - odds;                             // 2 (a1 + a3), 2 R
        Float4 turned =
            __builtin_shufflevector(differences, differences, 0, 1, 3, 2) * Float4{1, 1, -1, 1};
        Float4 firsts = __builtin_shufflevector(sums, turned, 0, 1, 4, 5);
        Float4 seconds = __builtin_shufflevector(sums, turned, 2, 3, 6, 7);
        Store(x, (firsts + seconds) * scale);     // a0, a1
        Store(x + 4, (firsts - seconds) * scale); // a2, a3
    }
}

// The twiddled stages; returns the block length left for the last pass (4, 2, or 1 when
// N = 1).
template <bool Inverse, class V> int32_t RunStages(const TCoreTables& tables, float* data)
{
    const float* twiddles = tables.StageTwiddles;
    int32_t n = tables.N;
    for (; n >= 8; n /= 4)
    {
        if (n / 2 >= Lanes<V>)
        {
            RadixFourStage<Inverse, V>(data, tables.N, n, twiddles);
        }
        else
        {
            RadixFourStage<Inverse, Float4>(data, tables.N, n, twiddles);
        }
        twiddles += 3 * n;
    }
    return n;
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
    int32_t lengths[16];
    const float* factors[16];
    int stages = 0;
    const float* twiddles = tables.StageTwiddles;
    int32_t n = total;
    for (; n >= 8; n /= 4, ++stages)
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
        if (lengths[stages] / 2 >= Lanes<V>)
        {
            UndoRadixFourStage<V>(data, total, lengths[stages], factors[stages]);
        }
        else
        {
            UndoRadixFourStage<Float4>(data, total, lengths[stages], factors[stages]);
        }
    }
}

// Bit-reversal reordering by tiles. With index i = a * (N/T) + T * b + c (a, c < T, T the
// tile width), reversal maps the tile of b onto the tile of reverse(b), and inside the tile
// row a, column c onto row reverse(c), column reverse(a): a transpose with reversed row and
// column order. Each tile pair is read once and written once with whole vectors.
inline void TransposeTwo(Double2& r0, Double2& r1)
{
    Double2 t0 = __builtin_shufflevector(r0, r1, 0, 2);
    r1 = __builtin_shufflevector(r0, r1, 1, 3);
    r0 = t0;
}

#ifdef __AVX__
// Transposes four rows of four complex values (each handled as one 64-bit lane).
inline void TransposeFour(Double4 (&r)[4])
{
    Double4 t0 = __builtin_shufflevector(r[0], r[1], 0, 4, 2, 6);
    Double4 t1 = __builtin_shufflevector(r[0], r[1], 1, 5, 3, 7);
    Double4 t2 = __builtin_shufflevector(r[2], r[3], 0, 4, 2, 6);
    Double4 t3 = __builtin_shufflevector(r[2], r[3], 1, 5, 3, 7);
    r[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    r[1] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    r[2] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    r[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}
#endif

template <class Tile> struct TileReorder;

template <> struct TileReorder<Double2>
{
    static constexpr int Width = 2;
    using Rows = Double2[2];
    // rev(0) = 0, rev(1) = 1: a plain transpose.
    static void Read(const float* tile, int32_t rowStride, Rows& rows)
    {
        rows[0] = Load<Double2>(tile);
        rows[1] = Load<Double2>(tile + 2 * rowStride);
        TransposeTwo(rows[0], rows[1]);
    }
    static void Write(float* tile, int32_t rowStride, const Rows& rows)
    {
        Store(tile, rows[0]);
        Store(tile + 2 * rowStride, rows[1]);
    }
};

#ifdef __AVX__
template <> struct TileReorder<Double4>
{
    static constexpr int Width = 4;
    using Rows = Double4[4];
    // Two-bit reversal swaps rows and columns 1 and 2.
    static void Read(const float* tile, int32_t rowStride, Rows& rows)
    {
        static constexpr int Reversed[4] = {0, 2, 1, 3};
        for (int k = 0; k < 4; ++k)
        {
            rows[k] = Load<Double4>(tile + 2 * Reversed[k] * rowStride);
        }
        TransposeFour(rows);
    }
    static void Write(float* tile, int32_t rowStride, const Rows& rows)
    {
        static constexpr int Reversed[4] = {0, 2, 1, 3};
        for (int k = 0; k < 4; ++k)
        {
            Store(tile + 2 * k * rowStride, rows[Reversed[k]]);
        }
    }
};
#endif

// Calls finish(rows) on every tile as read (transposed, rows and columns in reversed order)
// before it is written to its partner's place; the tiles of a pair are swapped.
template <class Tile, class Finish>
void ForEachTilePair(const TCoreTables& tables, float* data, Finish finish)
{
    using Reorder = TileReorder<Tile>;
    constexpr int width = Reorder::Width;
    int32_t rowStride = tables.N / width;
    for (int32_t b = 0; b < rowStride / width; ++b)
    {
        int32_t reversed = tables.BitReverse[width * b] / width;
        if (reversed < b)
        {
            continue;
        }
        typename Reorder::Rows first;
        typename Reorder::Rows second;
        Reorder::Read(data + 2 * width * b, rowStride, first);
        Reorder::Read(data + 2 * width * reversed, rowStride, second);
        finish(first);
        Reorder::Write(data + 2 * width * reversed, rowStride, first);
        if (reversed != b)
        {
            finish(second);
            Reorder::Write(data + 2 * width * b, rowStride, second);
        }
    }
}

template <class Tile> void VectorReorder(const TCoreTables& tables, float* data)
{
    if (tables.N < TileReorder<Tile>::Width * TileReorder<Tile>::Width)
    {
        SwapReorder(tables, data);
        return;
    }
    ForEachTilePair<Tile>(tables, data, [](typename TileReorder<Tile>::Rows&) {});
}

#ifdef __AVX__
// The last pass fused with the reordering (N >= 16): a read tile holds, in each vector, the
// same value of four blocks of the last pass, so its butterflies run across the vectors and
// the tile is written in natural order at once.
template <bool Inverse>
void LastPassReordered(const TCoreTables& tables, float* data, int32_t length, float scale)
{
    ForEachTilePair<Double4>(tables, data,
                             [length, scale](Double4(&rows)[4])
                             {
                                 Float8 x[4];
                                 for (int k = 0; k < 4; ++k)
                                 {
                                     x[k] = reinterpret_cast<Float8>(rows[k]);
                                 }
                                 Float8 y[4];
                                 if (length == 4)
                                 {
                                     Float8 sum02 = x[0] + x[2];
                                     Float8 difference02 = x[0] - x[2];
                                     Float8 sum13 = x[1] + x[3];
                                     Float8 turned13 = QuarterTurn<Inverse>(x[1] - x[3]);
                                     y[0] = sum02 + sum13;
                                     y[1] = sum02 - sum13;
                                     y[2] = difference02 + turned13;
                                     y[3] = difference02 - turned13;
                                 }
                                 else
                                 {
                                     y[0] = x[0] + x[1];
                                     y[1] = x[0] - x[1];
                                     y[2] = x[2] + x[3];
                                     y[3] = x[2] - x[3];
                                 }
                                 for (int k = 0; k < 4; ++k)
                                 {
                                     rows[k] = reinterpret_cast<Double4>(y[k] * scale);
                                 }
                             });
}
#endif

template <class V> struct TileOf;
template <> struct TileOf<Float4>
{
    using Type = Double2;
};
#ifdef __AVX__
template <> struct TileOf<Float8>
{
    using Type = Double4;
};
#endif

// The whole transform in natural order.
template <bool Inverse, class V>
void VectorTransformOrderedIn(const TCoreTables& tables, float* data, float scale)
{
#ifdef __AVX__
    if constexpr (Lanes<V> == 8)
    {
        if (tables.N >= 16)
        {
            LastPassReordered<Inverse>(tables, data, RunStages<Inverse, V>(tables, data), scale);
            return;
        }
    }
#endif
    VectorTransformIn<Inverse, V>(tables, data, scale);
    VectorReorder<typename TileOf<V>::Type>(tables, data);
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
        Store(a + 2 * k, MultiplyTwiddle<false>(x, RealParts(y), ImaginaryParts(y)));
    }
    ScalarKernel.Multiply(count - k, a + 2 * k, b + 2 * k);
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
