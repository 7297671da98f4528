#include "dsp/MMFFT.h"

#include "dsp/MMFFTKernelChoice.h"
#include "dsp/MMFFTTables.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

namespace keb
{

namespace
{

constexpr int MaxOrder = 30;
constexpr std::align_val_t TableAlignment{64};

template <class T> T* NewTable(std::size_t count)
{
    return new (TableAlignment, std::nothrow) T[count == 0 ? 1 : count]();
}

template <class T> void DeleteTable(T*& table)
{
    ::operator delete[](table, TableAlignment);
    table = nullptr;
}

// Twiddle and stage tables of a complex transform of `length` points; false when memory is
// short (whatever was allocated stays in the arguments for the caller to release).
bool MakeComplexTables(int32_t length, float*& twiddles, float*& stages)
{
    twiddles = NewTable<float>(static_cast<std::size_t>(length));
    stages = NewTable<float>(fft::StageTwiddleFloats(length));
    if (twiddles == nullptr || stages == nullptr)
    {
        return false;
    }
    fft::FillTwiddles(twiddles, length);
    fft::FillStageTwiddles(stages, length, twiddles);
    return true;
}

// The bit-reversal table of `order` and the list of the pairs it swaps; false when memory
// is short (whatever was allocated stays in the arguments for the caller to release).
bool MakeReorderTables(int order, int32_t*& bitReverse, int32_t& swapCount, int32_t*& swaps)
{
    std::size_t count = std::size_t{1} << order;
    bitReverse = NewTable<int32_t>(count);
    swaps = NewTable<int32_t>(count);
    if (bitReverse == nullptr || swaps == nullptr)
    {
        return false;
    }
    fft::FillBitReverse(bitReverse, order);
    swapCount = 0;
    for (std::size_t i = 0; i < count; ++i)
    {
        if (static_cast<int32_t>(i) < bitReverse[i])
        {
            swaps[2 * swapCount] = static_cast<int32_t>(i);
            swaps[2 * swapCount + 1] = bitReverse[i];
            ++swapCount;
        }
    }
    return true;
}

// Turns the half-length spectrum Z of the even/odd samples into the first half of the
// real input's spectrum X, in place: X[k] = Z[k] (b - ia) + conj Z[M-k] (1 - b + ia) and
// X[M-k] = Z[M-k] (b + ia) + conj Z[k] (1 - b - ia), with (a, b) from the split table.
void SplitHalfSpectrum(float* x, int32_t half, const float* split)
{
    float dc = x[0] + x[1];
    x[0] = dc;
    x[1] = 0.0f;
    for (int32_t k = 1; k <= half / 2; ++k)
    {
        float a = split[2 * (k - 1)];
        float b = split[2 * (k - 1) + 1];
        float* low = x + 2 * k;
        float* high = x + 2 * (half - k);
        float zRe = low[0];
        float zIm = low[1];
        float mRe = high[0];
        float mIm = high[1];
        float c = 1.0f - b;
        low[0] = zRe * b + zIm * a + mRe * c + mIm * a;
        low[1] = zIm * b - zRe * a - mIm * c + mRe * a;
        high[0] = mRe * b - mIm * a + zRe * c - zIm * a;
        high[1] = mIm * b + mRe * a - zIm * c - zRe * a;
    }
}

} // namespace

TComplexFFTPlan* InitComplexFFT(int order)
{
    if (order < 1 || order > MaxOrder)
    {
        return nullptr;
    }
    auto* plan = new (std::nothrow) TComplexFFTPlan{};
    if (plan == nullptr)
    {
        return nullptr;
    }
    plan->Order = order;
    plan->N = int32_t{1} << order;
    plan->InvN = 1.0f / static_cast<float>(plan->N);
    if (!MakeReorderTables(order, plan->BitReverse, plan->SwapCount, plan->Swaps) ||
        !MakeComplexTables(plan->N, plan->Twiddles, plan->StageTwiddles))
    {
        DoneComplexFFT(plan);
        return nullptr;
    }
    return plan;
}

void DoneComplexFFT(TComplexFFTPlan*& plan)
{
    if (plan == nullptr)
    {
        return;
    }
    DeleteTable(plan->BitReverse);
    DeleteTable(plan->Twiddles);
    DeleteTable(plan->StageTwiddles);
    DeleteTable(plan->Swaps);
    delete plan;
    plan = nullptr;
}

void ComplexFFT(const TComplexFFTPlan* plan, float* data, int direction)
{
    if (plan == nullptr || data == nullptr)
    {
        return;
    }
    fft::TCoreTables tables{plan->N,          plan->Twiddles, plan->StageTwiddles,
                            plan->BitReverse, plan->Swaps,    plan->SwapCount};
    const fft::TKernelOps& kernel = CurrentKernelOps();
    kernel.Transform(tables, data, direction == -1, direction < 0 ? plan->InvN : 1.0f);
    kernel.Reorder(tables, data);
}

TRealFFTPlan* InitRealFFT(int order)
{
    if (order < 1 || order > MaxOrder)
    {
        return nullptr;
    }
    auto* plan = new (std::nothrow) TRealFFTPlan{};
    if (plan == nullptr)
    {
        return nullptr;
    }
    plan->Order = order;
    plan->N = int32_t{1} << order;
    plan->InvN = 1.0f / static_cast<float>(plan->N);
    int32_t half = plan->N / 2;
    plan->Split = NewTable<float>(static_cast<std::size_t>(half));
    if (plan->Split == nullptr ||
        !MakeReorderTables(order - 1, plan->BitReverse, plan->SwapCount, plan->Swaps) ||
        !MakeComplexTables(half, plan->Twiddles, plan->StageTwiddles))
    {
        DoneRealFFT(plan);
        return nullptr;
    }
    fft::FillSplit(plan->Split, plan->N);
    return plan;
}

void DoneRealFFT(TRealFFTPlan*& plan)
{
    if (plan == nullptr)
    {
        return;
    }
    DeleteTable(plan->BitReverse);
    DeleteTable(plan->Twiddles);
    DeleteTable(plan->Split);
    DeleteTable(plan->StageTwiddles);
    DeleteTable(plan->Swaps);
    delete plan;
    plan = nullptr;
}

void RealFFT(const TRealFFTPlan* plan, float* data, int /*direction*/)
{
    if (plan == nullptr || data == nullptr)
    {
        return;
    }
    int32_t half = plan->N / 2;
    fft::TCoreTables tables{half,        plan->Twiddles, plan->StageTwiddles, plan->BitReverse,
                            plan->Swaps, plan->SwapCount};
    const fft::TKernelOps& kernel = CurrentKernelOps();
    kernel.Transform(tables, data, false, 1.0f);
    kernel.Reorder(tables, data);
    SplitHalfSpectrum(data, half, plan->Split);
}

void ScaleFloats(int count, float factor, float* data)
{
    if (count > 0 && data != nullptr)
    {
        CurrentKernelOps().Scale(count, factor, data);
    }
}

void MultiplyComplex(int count, float* a, const float* b)
{
    if (count > 0 && a != nullptr && b != nullptr)
    {
        CurrentKernelOps().Multiply(count, a, b);
    }
}

} // namespace keb
