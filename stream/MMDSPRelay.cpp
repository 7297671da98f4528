#include "stream/MMDSPObj.h"

namespace keb
{

bool IsDeviceComponent(const TMMDSPComponent* Component)
{
    return dynamic_cast<const TMMCustomSoundComponent*>(Component) != nullptr;
}

void TMMCustomSoundComponent::Notify(TMMDSPComponent* Component, TNotification Notification)
{
    switch (Notification)
    {
    case TNotification::Opened:
        Component->ChainOpened();
        break;
    case TNotification::Closed:
        Component->ChainClosed();
        break;
    case TNotification::Started:
        Component->ChainStarted();
        break;
    case TNotification::Paused:
        Component->ChainPaused();
        break;
    case TNotification::Restarted:
        Component->ChainRestarted();
        break;
    case TNotification::Stopped:
        Component->ChainStopped();
        break;
    case TNotification::Reset:
        Component->ChainReset();
        break;
    }
}

void TMMCustomSoundComponent::NotifyBase(TNotification Notification)
{
    switch (Notification)
    {
    case TNotification::Opened:
        TMMDSPComponent::ChainOpened();
        break;
    case TNotification::Closed:
        TMMDSPComponent::ChainClosed();
        break;
    case TNotification::Started:
        TMMDSPComponent::ChainStarted();
        break;
    case TNotification::Paused:
        TMMDSPComponent::ChainPaused();
        break;
    case TNotification::Restarted:
        TMMDSPComponent::ChainRestarted();
        break;
    case TNotification::Stopped:
        TMMDSPComponent::ChainStopped();
        break;
    case TNotification::Reset:
        TMMDSPComponent::ChainReset();
        break;
    }
}

// The stretch starts at this device when another device lies upstream, else
// at the head of the chain.
TMMDSPComponent* TMMCustomSoundComponent::FindStretchStart(bool& MetDevice)
{
    MetDevice = false;
    TMMDSPComponent* start = this;
    for (TMMDSPComponent* k = GetInput(); k; k = k->GetInput())
    {
        if (k != this && IsDeviceComponent(k))
        {
            MetDevice = true;
            return this;
        }
        start = k;
    }
    return start;
}

// Open, start, pause, restart and reset: the stretch in chain order, the next
// device last; on opening each gets this device's buffer size first.
void TMMCustomSoundComponent::RelayInChainOrder(TNotification Notification)
{
    const bool opening = Notification == TNotification::Opened;
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
        Notify(k, Notification);
        if (IsDeviceComponent(k))
            break;
    }
    NotifyBase(Notification);
}

// Close and stop: the next device first, then the own stretch in chain order.
void TMMCustomSoundComponent::RelayDeviceFirst(TNotification Notification)
{
    for (TMMDSPComponent* k = GetOutput(); k; k = k->GetOutput())
    {
        if (k != this && IsDeviceComponent(k))
        {
            Notify(k, Notification);
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
        Notify(k, Notification);
    }
    NotifyBase(Notification);
}

void TMMCustomSoundComponent::ChainOpened()
{
    RelayInChainOrder(TNotification::Opened);
}

void TMMCustomSoundComponent::ChainClosed()
{
    RelayDeviceFirst(TNotification::Closed);
}

void TMMCustomSoundComponent::ChainStarted()
{
    RelayInChainOrder(TNotification::Started);
}

void TMMCustomSoundComponent::ChainPaused()
{
    RelayInChainOrder(TNotification::Paused);
}

void TMMCustomSoundComponent::ChainRestarted()
{
    RelayInChainOrder(TNotification::Restarted);
}

void TMMCustomSoundComponent::ChainStopped()
{
    RelayDeviceFirst(TNotification::Stopped);
}

void TMMCustomSoundComponent::ChainReset()
{
    RelayInChainOrder(TNotification::Reset);
}

} // namespace keb
