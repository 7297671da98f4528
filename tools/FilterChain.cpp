#include "tools/FilterChain.h"

#include "stream/MMUtils.h"

#include <algorithm>
#include <numeric>

namespace keb
{

TFilterChain::TFilterChain(TSampleSupply& supply, int sampleRate)
    : source_(nullptr, supply, sampleRate), equalizer_(nullptr), notch_(nullptr), reducer_(nullptr),
      sink_(nullptr), buffer_(AllocWaveHdr(PullBytes))
{
    equalizer_.SetInput(&source_);
    notch_.SetInput(&equalizer_);
    reducer_.SetInput(&notch_);
    sink_.SetInput(&reducer_);
}

TFilterChain::~TFilterChain()
{
    if (opened_)
    {
        const std::vector<TMMDSPComponent*> linked = LinkedComponents();
        for (TMMDSPComponent* component : linked)
            component->ChainStopped();
        for (TMMDSPComponent* component : linked)
            component->ChainClosed();
    }
    FreeAndClear(buffer_);
}

bool TFilterChain::NotchActs() const
{
    return notch_.Enabled() && (notch_.Automatic() || !notch_.ManualNotches().empty());
}

bool TFilterChain::ReducerActs() const
{
    return reducer_.Enabled() && reducer_.Level() > 0;
}

void TFilterChain::Open()
{
    // A cleanup stage the run leaves off passes every sample as it is, for the whole run (its
    // settings do not change once the chain is open): the buffers go around it.
    reducer_.SetInput(NotchActs() ? static_cast<TMMDSPComponent*>(&notch_) : &equalizer_);
    sink_.SetInput(ReducerActs() ? &reducer_ : reducer_.GetInput());
    opened_ = true;
    const std::vector<TMMDSPComponent*> linked = LinkedComponents();
    for (TMMDSPComponent* component : linked)
        component->ChainOpened();
    for (TMMDSPComponent* component : linked)
        component->ChainStarted();
}

std::vector<TMMDSPComponent*> TFilterChain::LinkedComponents()
{
    std::vector<TMMDSPComponent*> linked;
    for (TMMDSPComponent* component = &sink_; component != nullptr;
         component = component->GetInput())
        linked.insert(linked.begin(), component);
    return linked;
}

bool TFilterChain::Blockwise() const
{
    return !NotchActs() && !ReducerActs() && !equalizer_.LowLatency();
}

int TFilterChain::PeriodSamples() const
{
    return std::lcm(PullSamples, std::min(equalizer_.FFTLength(), FFTFilterMaxLength));
}

std::span<const std::int16_t> TFilterChain::Pull(bool& more)
{
    buffer_->wh.dwBufferLength = PullBytes;
    buffer_->wh.dwBytesRecorded = 0;
    more = false;
    sink_.BufferLoad(&buffer_->wh, more);
    return {reinterpret_cast<const std::int16_t*>(buffer_->wh.lpData),
            buffer_->wh.dwBytesRecorded / 2};
}

} // namespace keb
