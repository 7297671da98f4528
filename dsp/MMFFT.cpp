// Part of the FFT (MMFFT.h): plans and transforms, and the cyclic convolution of
// MMFFTConvolve.h.
#include "dsp/MMFFT.h"

#include "dsp/MMFFTConvolve.h"
#include "dsp/MMFFTKernelChoice.h"
#include "dsp/MMFFTTables.h"

#include <cstddef>
#include <cstring>
#include <new>

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
// short (whatever was allocated stays in the plan for the caller to release).
template <class Plan> bool MakeComplexTables(int32_t length, Plan& plan)
{
    plan.Twiddles = NewTable<float>(static_cast<std::size_t>(length));
    plan.StageTwiddles = NewTable<float>(fft::StageTwiddleFloats(length));
    plan.SplitStageTwiddles = NewTable<float>(fft::SplitStageTwiddleFloats(length));
    if (plan.Twiddles == nullptr || plan.StageTwiddles == nullptr ||
        plan.SplitStageTwiddles == nullptr)
    {
        return false;
    }
    fft::FillTwiddles(plan.Twiddles, length);
    fft::FillStageTwiddles(plan.StageTwiddles, length, plan.Twiddles);
    fft::FillSplitStageTwiddles(plan.SplitStageTwiddles, length, plan.Twiddles);
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

// Releases the tables every plan has and the record; nullptr is ignored.
template <class Plan> void DeletePlan(Plan*& plan)
{
    if (plan == nullptr)
    {
        return;
    }
    DeleteTable(plan->BitReverse);
    DeleteTable(plan->Twiddles);
    DeleteTable(plan->StageTwiddles);
    DeleteTable(plan->SplitStageTwiddles);
    DeleteTable(plan->Swaps);
    delete plan;
    plan = nullptr;
}

// A zeroed plan record with Order, N and InvN set and the tables of the complex transform
// of N / pointsPerValue values made; nullptr when the order is out of range or memory short.
template <class Plan> Plan* NewPlan(int order, int pointsPerValue)
{
    if (order < 1 || order > MaxOrder)
    {
        return nullptr;
    }
    auto* plan = new (std::nothrow) Plan{};
    if (plan == nullptr)
    {
        return nullptr;
    }
    plan->Order = order;
    plan->N = int32_t{1} << order;
    plan->InvN = 1.0f / static_cast<float>(plan->N);
    int complexOrder = order - (pointsPerValue - 1);
    if (!MakeReorderTables(complexOrder, plan->BitReverse, plan->SwapCount, plan->Swaps) ||
        !MakeComplexTables(plan->N / pointsPerValue, *plan))
    {
        DeletePlan(plan);
    }
    return plan;
}

template <class Plan> fft::TCoreTables CoreTables(const Plan& plan, int32_t values)
{
    return {values,          plan.Twiddles, plan.StageTwiddles, plan.SplitStageTwiddles,
            plan.BitReverse, plan.Swaps,    plan.SwapCount};
}

// Runs the current kernel's transform of `values` complex values into natural order.
template <class Plan>
void Transform(const Plan& plan, int32_t values, float* data, bool inverse, float scale)
{
    CurrentKernelOps().TransformOrdered(CoreTables(plan, values), data, inverse, scale);
}

} // namespace

TComplexFFTPlan* InitComplexFFT(int order)
{
    return NewPlan<TComplexFFTPlan>(order, 1);
}

void DoneComplexFFT(TComplexFFTPlan*& plan)
{
    DeletePlan(plan);
}

void ComplexFFT(const TComplexFFTPlan* plan, float* data, int direction)
{
    if (plan == nullptr || data == nullptr)
    {
        return;
    }
    Transform(*plan, plan->N, data, direction == -1, direction < 0 ? plan->InvN : 1.0f);
}

TRealFFTPlan* InitRealFFT(int order)
{
    TRealFFTPlan* plan = NewPlan<TRealFFTPlan>(order, 2);
    if (plan == nullptr)
    {
        return nullptr;
    }
    plan->Split = NewTable<float>(static_cast<std::size_t>(plan->N / 2));
    if (plan->Split == nullptr)
    {
        DeletePlan(plan);
        return nullptr;
    }
    fft::FillSplit(plan->Split, plan->N);
    return plan;
}

void DoneRealFFT(TRealFFTPlan*& plan)
{
    if (plan != nullptr)
    {
        DeleteTable(plan->Split);
    }
    DeletePlan(plan);
}

void RealFFT(const TRealFFTPlan* plan, float* data, int /*direction*/)
{
    if (plan == nullptr || data == nullptr)
    {
        return;
    }
    Transform(*plan, plan->N / 2, data, false, 1.0f);
    CurrentKernelOps().SplitSpectrum(plan->N / 2, plan->Split, data);
}

void ScrambleSpectrum(const TComplexFFTPlan* plan, const float* spectrum, float* scrambled)
{
    std::memcpy(scrambled, spectrum, sizeof(float) * 2 * static_cast<std::size_t>(plan->N));
    CurrentKernelOps().Reorder(CoreTables(*plan, plan->N), scrambled);
}

void ConvolveCyclic(const TComplexFFTPlan* plan, float* data, const float* scrambledResponse)
{
    fft::TCoreTables tables = CoreTables(*plan, plan->N);
    const fft::TKernelOps& kernel = CurrentKernelOps();
    kernel.Transform(tables, data, false, 1.0f);
    kernel.Multiply(plan->N, data, scrambledResponse);
    kernel.InverseScrambled(tables, data, plan->InvN);
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
