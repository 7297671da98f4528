#pragma once

// Cyclic convolution on a complex plan for the FFT filter engine: forward transform, product
// with a response, inverse transform, without putting the spectrum into natural order in
// between (the response is kept in bit-reversed order instead). The result equals
// ComplexFFT(1), MultiplyComplex(N, data, response), ComplexFFT(-1) to rounding, at the cost
// of two transforms. Same threading rules as MMFFT.h; nothing is allocated.
//
// Implemented in: MMFFT.cpp.

#include "dsp/MMFFT.h"

namespace keb
{

// scrambled := the plan->N complex values of spectrum in bit-reversed order.
void ScrambleSpectrum(const TComplexFFTPlan* plan, const float* spectrum, float* scrambled);
// data := inverse(forward(data) * response) / N, with the response given scrambled.
void ConvolveCyclic(const TComplexFFTPlan* plan, float* data, const float* scrambledResponse);

} // namespace keb
