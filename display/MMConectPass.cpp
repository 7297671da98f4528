// Part of TMMConnector (MMConect.h): the delivery pass, cutting the display
// copy into blocks for each kind.
#include "display/MMConect.h"

#include "stream/MMTime.h"
#include "stream/MMUtils.h"

#include <cstring>
#include <mutex>

namespace keb
{
namespace
{
std::int32_t SampleAt(const std::uint8_t* sample, int bitsPerSample)
{
    if (bitsPerSample == 8)
        return static_cast<std::int32_t>(*sample) - 128;
    std::int16_t value;
    std::memcpy(&value, sample, sizeof value);
    return value;
}

// The step between blocks with Accelerate: a quarter of a frame.
std::int32_t QuarterStep(const TMMAnalyserDisplay& display)
{
    return display.FFTLength() / 4 * (static_cast<std::int32_t>(display.BitLength()) + 1) *
           (static_cast<std::int32_t>(display.Mode()) + 1);
}
} // namespace

std::int32_t FindFlank(const TWaveFormatEx& format, const std::uint8_t* start, std::int32_t bytes,
                       std::int32_t level, TMMTriggerMode mode)
{
    const std::int32_t frame = format.nBlockAlign;
    if (mode == tmNone || !start || frame <= 0)
        return -1;
    const int bits = format.wBitsPerSample;
    std::int32_t previous = 0;
    for (std::int32_t offset = 0; offset + frame <= bytes; offset += frame)
    {
        const std::int32_t sample = SampleAt(start + offset, bits);
        const bool crossed = mode == tmUpFlank ? previous < level && sample >= level
                                               : previous >= level && sample < level;
        if (offset > 0 && crossed)
            return offset;
        previous = sample;
    }
    return -1;
}

void TMMConnector::TriggerDisplays()
{
    if (!enabled_.load() || !(armed_.load() || (!realTime_.load() && ownStarted_.load())))
        return;
    std::lock_guard pass(passLock_);
    std::int64_t arrival;
    {
        std::lock_guard data(dataLock_);
        if (!data_)
            return;
        TakeArrivedLocked();
        arrival = arrivalTimeUs_;
    }
    if (OnTrigger)
        OnTrigger(this);
    const std::int64_t elapsed = MicrosecondClock() - arrival;
    PassSimpleKind(TMMDisplayKind::Levels, elapsed);
    PassSimpleKind(TMMDisplayKind::Meters, elapsed);
    PassOscopes(elapsed);
    PassSimpleKind(TMMDisplayKind::Lights, elapsed);
    PassSimpleKind(TMMDisplayKind::Spectrums, elapsed);
    PassSpectrograms(elapsed);
}

// A block is due once the time it takes to play the bytes before it has
// passed since the data arrived.
bool TMMConnector::Due(std::int32_t position, std::int64_t elapsed) const
{
    if (!synchronize_.load())
        return true;
    const auto byteRate = static_cast<std::int32_t>(displayFormat_->nAvgBytesPerSec);
    return RoundedMulDiv(position, 1000000, byteRate) <= elapsed;
}

std::int32_t TMMConnector::LargestBlock(TMMDisplayKind kind) const
{
    std::int32_t largest = 0;
    for (int index = 0; index < 4; ++index)
    {
        if (const TMMDisplay* display = Slot(kind, index))
            largest = IntMax(largest, display->BlockBytes());
    }
    return largest;
}

void TMMConnector::Deliver(TMMDisplayKind kind, const std::uint8_t* block)
{
    for (int index = 0; index < 4; ++index)
    {
        if (TMMDisplay* display = Slot(kind, index))
            display->ProcessBlock(block);
    }
}

void TMMConnector::PassSimpleKind(TMMDisplayKind kind, std::int64_t elapsed)
{
    const std::int32_t step = LargestBlock(kind);
    {
        std::lock_guard data(dataLock_);
        TKindState& state = kinds_[static_cast<std::size_t>(kind)];
        const std::int32_t position = state.Position[0];
        if (!state.Pending || !Due(position, elapsed))
            return;
        state.Position[0] = position + step;
        if (step <= 0 || position + step > validBytes_)
        {
            state.Pending = false;
            return;
        }
        MoveBytes(data_ + position, blockCopy_.data(), step);
    }
    Deliver(kind, blockCopy_.data());
}

void TMMConnector::PassOscopes(std::int64_t elapsed)
{
    const std::int32_t step = LargestBlock(TMMDisplayKind::Oscopes);
    const TMMAnalyserDisplay* first = Oscope(0) ? Oscope(0) : Oscope(1);
    const std::int32_t advance =
        first && first->Scroll() && first->Accelerate() ? QuarterStep(*first) : step;
    const TMMTriggerMode mode = paused_.load() ? tmNone : triggerMode_.load();
    {
        std::lock_guard data(dataLock_);
        TKindState& state = kinds_[static_cast<std::size_t>(TMMDisplayKind::Oscopes)];
        std::int32_t position = state.Position[0];
        if (!state.Pending || !Due(position, elapsed))
            return;
        const std::int32_t flank = FindFlank(*displayFormat_, data_ + position,
                                             validBytes_ - position, triggerLevel_.load(), mode);
        if (flank > 0)
            position += flank;
        state.Position[0] = position + advance;
        if (step <= 0 || position + step > validBytes_)
        {
            state.Pending = false;
            return;
        }
        MoveBytes(data_ + position, blockCopy_.data(), step);
    }
    Deliver(TMMDisplayKind::Oscopes, blockCopy_.data());
}

// Each spectrogram has its own position; both are served in one pass when
// both are due, the first one first.
void TMMConnector::PassSpectrograms(std::int64_t elapsed)
{
    std::array<TMMAnalyserDisplay*, 2> displays{Spectrogram(0), Spectrogram(1)};
    std::array<std::int32_t, 2> step{}, advance{};
    for (std::size_t i = 0; i < 2; ++i)
    {
        if (displays[i])
        {
            step[i] = displays[i]->BlockBytes();
            advance[i] = displays[i]->Accelerate() ? QuarterStep(*displays[i]) : step[i];
        }
    }
    std::array<bool, 2> serve{};
    {
        std::lock_guard data(dataLock_);
        TKindState& state = kinds_[static_cast<std::size_t>(TMMDisplayKind::Spectrograms)];
        if (!state.Pending)
            return;
        std::array<bool, 2> due{};
        std::array<std::int32_t, 2> block{};
        for (std::size_t i = 0; i < 2; ++i)
        {
            if (displays[i] && Due(state.Position[i], elapsed))
            {
                due[i] = true;
                block[i] = state.Position[i];
                state.Position[i] += advance[i];
            }
        }
        if (!due[0] && !due[1])
            return;
        std::array<bool, 2> fits{};
        for (std::size_t i = 0; i < 2; ++i)
            fits[i] = displays[i] && step[i] > 0 && block[i] + step[i] <= validBytes_;
        if (!fits[0] && !fits[1])
        {
            state.Pending = false;
            return;
        }
        for (std::size_t i = 0; i < 2; ++i)
        {
            serve[i] = due[i] && fits[i];
            if (serve[i])
                MoveBytes(data_ + block[i], blockCopy_.data() + i * dataCapacityBytes_, step[i]);
        }
    }
    for (std::size_t i = 0; i < 2; ++i)
    {
        if (serve[i])
            displays[i]->ProcessBlock(blockCopy_.data() + i * dataCapacityBytes_);
    }
}

} // namespace keb
