#pragma once

// Tables of the transforms, made once per plan. Twiddles and split factors are made by
// recurrence in extended precision and stored as floats, so that no sine or cosine is
// evaluated per entry.

#include <cstddef>
#include <cstdint>

namespace keb::fft
{

// table[i] = i with its `order` low bits reversed, i = 0 .. 2^order - 1.
void FillBitReverse(int32_t* table, int order);

// Twiddle table of length L (L >= 4): entry j (0 <= j < L/4) holds W^(j+1) and W^(3(j+1))
// as (re, im, re, im), W = e^(-2 pi i/L). Nothing is written for L < 4.
void FillTwiddles(float* table, int32_t length);

// Split table of a real transform of N points (N >= 4): entry j (0 <= j < N/4) holds
// (cos((j+1) phi) / 2, 1/2 - sin((j+1) phi) / 2), phi = 2 pi/N.
void FillSplit(float* table, int32_t length);

// The vector kernels' twiddles for a complex transform of `length` points, stage by stage.
// Odd orders from 8 points on start with a radix-2 stage of block length `length`: two arrays
// of `length` floats, the real parts of W^j (j < length/2), each written twice, then the
// imaginary parts as (-im, +im), both indexed by 2j. Then come the radix-4 stages of block
// lengths n = length (or length/2), n/4, ... while n >= 16. A stage of block length n
// (q = n/4) holds, for the factors W_n^j, W_n^(2j), W_n^(3j) in turn, two arrays of 2q floats
// laid out the same way, indexed by 2j. The values come from the twiddle table of the same
// length.
std::size_t StageTwiddleFloats(int32_t length);
void FillStageTwiddles(float* stages, int32_t length, const float* twiddles);

// The same factors for the 128-bit kernel, whose stages work on four values at a time with
// the real parts in one vector and the imaginary parts in another: for every four consecutive
// j, the real parts of four factors and then their imaginary parts; a radix-4 stage holds the
// 24 floats of W_n^j, W_n^(2j), W_n^(3j) per four j, the radix-2 stage the 8 floats of W^j.
// Half as many floats as the stage table.
std::size_t SplitStageTwiddleFloats(int32_t length);
void FillSplitStageTwiddles(float* stages, int32_t length, const float* twiddles);

} // namespace keb::fft
