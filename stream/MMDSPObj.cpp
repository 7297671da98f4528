// Part of the stream components (MMDSPObj.h): TMMDSPComponent: links, formats,
// the chain notifications and the buffer path.
#include "stream/MMDSPObj.h"

#include <algorithm>

namespace keb
{
namespace
{
std::vector<TMMDSPComponent*>& Registry()
{
    static auto* registry = new std::vector<TMMDSPComponent*>;
    return *registry;
}

// Tells every registered component that Sender takes over a link.
void BroadcastDropStaleLink(TMMDSPComponent* sender, bool inputSide, const std::string& portName)
{
    const auto& registry = Registry();
    for (std::size_t i = 0; i < registry.size(); ++i)
        registry[i]->DropStaleLink(sender, inputSide, portName);
}

std::string CutPortName(const std::string& portName)
{
    return portName.substr(0, MaxPortNameLength);
}
} // namespace

const std::vector<TMMDSPComponent*>& StreamComponents()
{
    return Registry();
}

TMMDSPComponent::TMMDSPComponent(TComponent* owner) : TMMCustomDSPComponent(owner)
{
    Registry().push_back(this);
}

TMMDSPComponent::~TMMDSPComponent()
{
    Destroying();
    SetInput(nullptr);
    SetOutput(nullptr);
    SetWaveFormat(nullptr);
    auto& registry = Registry();
    registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
}

bool TMMDSPComponent::PropagationSuspended() const
{
    return IsLoading() || IsReading() || IsDestroying();
}

TMMDSPComponent* TMMDSPComponent::PortValue(const std::string& PortName) const
{
    if (PortName == InputPort && HasInputPort())
        return GetInput();
    if (PortName == OutputPort && HasOutputPort())
        return GetOutput();
    return nullptr;
}

void TMMDSPComponent::SyncWaveFormat()
{
    if (PropagationSuspended())
        return;
    if (TMMDSPComponent* input = GetInput())
        InputFormatChanged(input->GetWaveFormat());
    else if (TMMDSPComponent* output = GetOutput())
        output->InputFormatChanged(GetWaveFormat());
}

void TMMDSPComponent::DropStaleLink(TMMDSPComponent* Sender, bool InputSide,
                                    const std::string& PortName)
{
    if (InputSide)
    {
        if (GetInput() == Sender && inputPortName_ == PortName &&
            Sender->PortValue(PortName) == this)
            SetInputLink(nullptr, "");
    }
    else if (GetOutput() == Sender && outputPortName_ == PortName &&
             Sender->PortValue(PortName) == this)
    {
        SetOutputLink(nullptr, "");
    }
}

void TMMDSPComponent::SetInput(TMMDSPComponent* Value)
{
    if (Value == GetInput() || (Value && (!HasInputPort() || !CanConnectInput(Value))))
        return;
    ChainStopped();
    if (GetInput())
    {
        BroadcastDropStaleLink(this, false, InputPort);
        SetInputLink(nullptr, "");
        InputFormatChanged(nullptr);
    }
    if (Value)
    {
        BroadcastDropStaleLink(Value, true, OutputPort);
        SetInputLink(Value, OutputPort);
        Value->SetOutputLink(this, InputPort);
        SyncWaveFormat();
    }
}

void TMMDSPComponent::SetOutput(TMMDSPComponent* Value)
{
    if (Value == GetOutput() || (Value && (!HasOutputPort() || !CanConnectOutput(Value))))
        return;
    ChainStopped();
    if (TMMDSPComponent* oldOutput = GetOutput())
    {
        BroadcastDropStaleLink(this, true, OutputPort);
        oldOutput->InputFormatChanged(nullptr);
        SetOutputLink(nullptr, "");
    }
    if (Value)
    {
        BroadcastDropStaleLink(Value, false, InputPort);
        SetOutputLink(Value, InputPort);
        Value->SetInputLink(this, OutputPort);
        SyncWaveFormat();
    }
}

void TMMDSPComponent::SetInputLink(TMMDSPComponent* Component, const std::string& PortName)
{
    input_.store(Component);
    inputPortName_ = CutPortName(PortName);
}

void TMMDSPComponent::SetOutputLink(TMMDSPComponent* Component, const std::string& PortName)
{
    output_.store(Component);
    outputPortName_ = CutPortName(PortName);
}

bool TMMDSPComponent::CanConnectInput(TMMDSPComponent* P)
{
    if (!P || P == this || !P->HasOutputPort())
        return false;
    TMMDSPComponent* output = GetOutput();
    return !output || output->CanConnectInput(P);
}

bool TMMDSPComponent::CanConnectOutput(TMMDSPComponent* P)
{
    if (!P || P == this || !P->HasInputPort())
        return false;
    TMMDSPComponent* input = GetInput();
    return !input || input->CanConnectOutput(P);
}

void TMMDSPComponent::InputFormatChanged(const TWaveFormatEx* Format)
{
    SetWaveFormat(Format);
}

void TMMDSPComponent::SetWaveFormat(const TWaveFormatEx* Format)
{
    if (Format != waveFormat_.get())
    {
        if (Started())
            ChainStopped();
        TWaveFormatPtr copy(CopyWaveFormat(Format));
        waveFormat_ = std::move(copy);
    }
    if (PropagationSuspended())
        return;
    if (TMMDSPComponent* output = GetOutput())
        output->InputFormatChanged(GetWaveFormat());
}

void TMMDSPComponent::Loaded()
{
    TMMCustomDSPComponent::Loaded();
    SetWaveFormat(GetWaveFormat());
}

std::int32_t TMMDSPComponent::GetBufferSize() const
{
    return Opened() ? realBufferSize_.load() : bufferSize_.load();
}

void TMMDSPComponent::SetBufferSize(std::int32_t Value)
{
    if (Value == bufferSize_.load())
        return;
    if (Started())
        ChainStopped();
    bufferSize_.store(Value);
}

// The real size is a whole number of sample frames, at least one; a format
// without a block alignment counts as no format.
void TMMDSPComponent::ChainOpened()
{
    if (!Opened())
    {
        const std::int32_t requested = bufferSize_.load();
        const TWaveFormatEx* format = GetWaveFormat();
        const std::int32_t frame = format ? format->nBlockAlign : 0;
        realBufferSize_.store(frame > 0 ? std::max(requested - requested % frame, frame)
                                        : requested);
    }
    opened_.store(true);
}

void TMMDSPComponent::ChainClosed()
{
    opened_.store(false);
}

void TMMDSPComponent::ChainStarted()
{
    if (!Started() && Opened())
        started_.store(true);
}

void TMMDSPComponent::ChainPaused() {}

void TMMDSPComponent::ChainRestarted() {}

void TMMDSPComponent::ChainStopped()
{
    started_.store(false);
}

void TMMDSPComponent::ChainReset() {}

void TMMDSPComponent::BufferReady(PWaveHdr lpWaveHdr)
{
    if (OnBufferReady)
        OnBufferReady(this, lpWaveHdr);
    if (TMMDSPComponent* output = GetOutput())
        output->BufferReady(lpWaveHdr);
}

void TMMDSPComponent::BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers)
{
    if (OnBufferLoad)
        OnBufferLoad(this, lpWaveHdr, MoreBuffers);
    if (TMMDSPComponent* input = GetInput())
        input->BufferLoad(lpWaveHdr, MoreBuffers);
}

} // namespace keb
