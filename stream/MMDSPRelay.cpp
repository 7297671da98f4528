// Part of the stream components (MMDSPObj.h): how device components relay the
// chain notifications along their stretch of chain.
#include "stream/MMDSPObj.h"

namespace keb
{

bool IsDeviceComponent(const TMMDSPComponent* component)
{
    return dynamic_cast<const TMMCustomSoundComponent*>(component) != nullptr;
}

// The stretch starts at this device when another device lies upstream, else
// at the head of the chain.
TMMDSPComponent* TMMCustomSoundComponent::FindStretchStart(bool& metDevice)
{
    metDevice = false;
    TMMDSPComponent* start = this;
    for (TMMDSPComponent* k = GetInput(); k; k = k->GetInput())
    {
        if (k != this && IsDeviceComponent(k))
        {
            metDevice = true;
            return this;
        }
        start = k;
    }
    return start;
}

// Open, start, pause, restart and reset: the stretch in chain order, the next
// device last; on opening each gets this device's buffer size first. The
// caller then runs its own base notification.
void TMMCustomSoundComponent::RelayInChainOrder(TNotification notification)
{
    const bool opening = notification == &TMMDSPComponent::ChainOpened;
    bool metDevice = false;
    TMMDSPComponent* start = FindStretchStart(metDevice);
    if (opening)
        hasUpstreamDevice_ = metDevice;
    for (TMMDSPComponent* k = start; k; k = k->GetOutput())
    {
        if (k == this)
            continue;
        if (opening)
            k->SetBufferSize(GetBufferSize());
        (k->*notification)();
        if (IsDeviceComponent(k))
            break;
    }
}

// Close and stop: the next device first, then the own stretch in chain order.
void TMMCustomSoundComponent::RelayDeviceFirst(TNotification notification)
{
    for (TMMDSPComponent* k = GetOutput(); k; k = k->GetOutput())
    {
        if (k != this && IsDeviceComponent(k))
        {
            (k->*notification)();
            break;
        }
    }
    bool metDevice = false;
    for (TMMDSPComponent* k = FindStretchStart(metDevice); k; k = k->GetOutput())
    {
        if (k == this)
            continue;
        if (IsDeviceComponent(k))
            break;
        (k->*notification)();
    }
}

void TMMCustomSoundComponent::ChainOpened()
{
    RelayInChainOrder(&TMMDSPComponent::ChainOpened);
    TMMDSPComponent::ChainOpened();
}

void TMMCustomSoundComponent::ChainClosed()
{
    RelayDeviceFirst(&TMMDSPComponent::ChainClosed);
    TMMDSPComponent::ChainClosed();
}

void TMMCustomSoundComponent::ChainStarted()
{
    RelayInChainOrder(&TMMDSPComponent::ChainStarted);
    TMMDSPComponent::ChainStarted();
}

void TMMCustomSoundComponent::ChainPaused()
{
    RelayInChainOrder(&TMMDSPComponent::ChainPaused);
    TMMDSPComponent::ChainPaused();
}

void TMMCustomSoundComponent::ChainRestarted()
{
    RelayInChainOrder(&TMMDSPComponent::ChainRestarted);
    TMMDSPComponent::ChainRestarted();
}

void TMMCustomSoundComponent::ChainStopped()
{
    RelayDeviceFirst(&TMMDSPComponent::ChainStopped);
    TMMDSPComponent::ChainStopped();
}

void TMMCustomSoundComponent::ChainReset()
{
    RelayInChainOrder(&TMMDSPComponent::ChainReset);
    TMMDSPComponent::ChainReset();
}

} // namespace keb
