// Stream components: the chain that carries audio from component to component.
//
// Every audio-carrying component is a TMMDSPComponent. Components link into a
// singly linked chain through Input (upstream) and Output (downstream); both
// ends of every link always agree, and no link can close a cycle. Each
// component holds a private copy of the wave format it emits, and a format set
// at the head of the chain runs down to its end. Audio buffers travel by
// reference (PWaveHdr, MMWaveHdr.h): pushed downstream with BufferReady or
// pulled from upstream with BufferLoad; every component works on the bytes in
// place and nothing is allocated per buffer.
//
// Device components (TMMCustomSoundComponent) relay the seven chain
// notifications to the other components of their stretch of chain: open,
// start, pause, restart and reset run down the chain and reach the next device
// last; close and stop reach the next device first.
//
// Threads. Linking, formats, buffer sizes, the chain notifications,
// construction and destruction belong to the main thread (one exception: a
// capture device that fails on its worker stops and closes itself from
// there). BufferReady, BufferLoad and their events run in whatever thread
// delivers the buffer; links and formats must not change while a buffer
// travels (a component changing its links first stops itself). The base
// classes take no locks; components that share state between the buffer path
// and the main thread protect it themselves. A worker that must run an event
// in the main thread calls SyncToMainThread.
//
// Refused links (the component itself, a cycle, a missing port) are ignored
// silently. Errors of overrides (a device that cannot open, a refused format)
// propagate out of the operation that triggered them.
//
// Destruction: a component unlinks itself from both neighbours (its
// downstream neighbour receives a null format). The base destructor only runs
// the base behaviour, so a derived class tears down its own state (a device
// closes itself) in its own destructor.
//
// Implemented in: MMDSPObj.cpp (TMMDSPComponent: links, formats, the chain
// notifications and the buffer path), MMDSPRelay.cpp (how device components
// relay the notifications), MMDSPThread.cpp (TMMDSPThread and
// SyncToMainThread).
#pragma once

#include "platform/core/Component.h"
#include "platform/core/Thread.h"
#include "stream/MMWaveFormat.h"
#include "stream/MMWaveHdr.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace keb
{

class TMMDSPComponent;

// A plain notification from a component (OnOpen, OnStart, OnEmpty, ...).
using TMMNotifyEvent = std::function<void(TComponent* Sender)>;
using TMMBufferEvent = std::function<void(TMMDSPComponent* Sender, PWaveHdr lpWaveHdr)>;
using TMMBufferLoadEvent =
    std::function<void(TMMDSPComponent* Sender, PWaveHdr lpWaveHdr, bool& MoreBuffers)>;

// Port names: the property of the other component that points back.
inline constexpr const char* InputPort = "Input";
inline constexpr const char* OutputPort = "Output";
inline constexpr std::size_t MaxPortNameLength = 20; // characters

inline constexpr std::int32_t DefaultBufferBytes = 2048;

// The root of the library's non-visual components.
class TMMComponent : public TComponent
{
  public:
    using TComponent::TComponent;
};

class TMMNonVisualComponent : public TMMComponent
{
  public:
    using TMMComponent::TMMComponent;
};

class TMMCustomDSPComponent : public TMMNonVisualComponent
{
  public:
    using TMMNonVisualComponent::TMMNonVisualComponent;
};

class TMMDSPComponent : public TMMCustomDSPComponent
{
  public:
    explicit TMMDSPComponent(TComponent* owner);
    ~TMMDSPComponent() override;

    // Which ports the class has: a link joins an Output port to an Input port.
    // Both by default; a class without one overrides it (the capture device
    // has no Input).
    virtual bool HasInputPort() const { return true; }
    virtual bool HasOutputPort() const { return true; }

    // After a link change: take the input's format, or hand the own format to
    // the output. Nothing while loading, reading or being destroyed.
    virtual void SyncWaveFormat();
    // Clears this component's link on the given side if Sender is taking it
    // over through the port of that name.
    virtual void DropStaleLink(TMMDSPComponent* Sender, bool InputSide,
                               const std::string& PortName);

    virtual void SetInput(TMMDSPComponent* Value);
    virtual TMMDSPComponent* GetInput() const { return input_.load(); }
    virtual void SetOutput(TMMDSPComponent* Value);
    virtual TMMDSPComponent* GetOutput() const { return output_.load(); }

    // The upstream neighbour announces its format (null: none).
    virtual void InputFormatChanged(const TWaveFormatEx* Format);
    // Holds a private copy of Format (unless it is the very pointer held) and
    // hands the held format downstream.
    virtual void SetWaveFormat(const TWaveFormatEx* Format);
    // The held copy (not a copy); valid until the format changes.
    virtual const TWaveFormatEx* GetWaveFormat() const { return waveFormat_.get(); }

    // RealBufferSize while opened, else BufferSize.
    virtual std::int32_t GetBufferSize() const; // bytes
    // No range check here; device and queue components check.
    virtual void SetBufferSize(std::int32_t Value); // bytes

    // The chain notifications; main thread.
    virtual void ChainOpened();
    virtual void ChainClosed();
    virtual void ChainStarted();
    virtual void ChainPaused();
    virtual void ChainRestarted();
    virtual void ChainStopped();
    virtual void ChainReset();

    // Push: fires OnBufferReady, then passes the buffer to Output. The
    // producer keeps the buffer and reuses it when the call returns.
    virtual void BufferReady(PWaveHdr lpWaveHdr);
    // Pull: fires OnBufferLoad, then asks Input to fill the buffer. The caller
    // sets dwBufferLength to the bytes wanted and dwBytesRecorded to 0; the
    // supplier writes at most dwBufferLength bytes, sets dwBytesRecorded and
    // MoreBuffers (false: the stream has ended).
    virtual void BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers);

    // Store the link and its port name (cut to 20 characters); nothing else.
    virtual void SetInputLink(TMMDSPComponent* Component, const std::string& PortName);
    virtual void SetOutputLink(TMMDSPComponent* Component, const std::string& PortName);

    // May P become this component's Input (Output)? False for this component,
    // a component without the opposite port, and anything downstream
    // (upstream) of this one.
    virtual bool CanConnectInput(TMMDSPComponent* P);
    virtual bool CanConnectOutput(TMMDSPComponent* P);

    void Loaded() override;

    std::int32_t RealBufferSize() const { return realBufferSize_.load(); } // bytes
    bool Opened() const { return opened_.load(); }
    bool Started() const { return started_.load(); }
    const std::string& InputPortName() const { return inputPortName_; }
    const std::string& OutputPortName() const { return outputPortName_; }

    // Fired in the context that delivers the buffer; not marshalled.
    TMMBufferEvent OnBufferReady;
    TMMBufferLoadEvent OnBufferLoad;

  protected:
    // Loading, reading or being destroyed: format changes do not propagate.
    bool PropagationSuspended() const;
    // The component that the port of that name points at (null when the class
    // has no such port).
    TMMDSPComponent* PortValue(const std::string& PortName) const;

    TWaveFormatPtr waveFormat_;
    std::atomic<std::int32_t> bufferSize_{DefaultBufferBytes};     // bytes
    std::atomic<std::int32_t> realBufferSize_{DefaultBufferBytes}; // bytes
    std::atomic<bool> opened_{false};
    std::atomic<bool> started_{false};

  private:
    std::atomic<TMMDSPComponent*> input_{nullptr};
    std::atomic<TMMDSPComponent*> output_{nullptr};
    std::string inputPortName_;
    std::string outputPortName_;
};

// A device component: relays the chain notifications to its stretch of chain,
// the non-device components from the head of the chain (or from itself, when
// another device lies upstream) down to the next device component.
class TMMCustomSoundComponent : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    // Recomputed by every ChainOpened relay.
    bool HasUpstreamDevice() const { return hasUpstreamDevice_; }

    void ChainOpened() override;
    void ChainClosed() override;
    void ChainStarted() override;
    void ChainPaused() override;
    void ChainRestarted() override;
    void ChainStopped() override;
    void ChainReset() override;

  private:
    using TNotification = void (TMMDSPComponent::*)();

    TMMDSPComponent* FindStretchStart(bool& metDevice);
    void RelayInChainOrder(TNotification notification);
    void RelayDeviceFirst(TNotification notification);

    bool hasUpstreamDevice_ = false;
};

// True for a device component (a TMMCustomSoundComponent).
bool IsDeviceComponent(const TMMDSPComponent* component);

// Every live stream component in creation order. Main thread.
const std::vector<TMMDSPComponent*>& StreamComponents();

// The worker-thread base of the device and queue components: a thread that
// knows its stream component and is registered for SyncToMainThread. Created
// suspended; descendants supply Execute and start it.
class TMMDSPThread : public TThread
{
  public:
    explicit TMMDSPThread(TMMDSPComponent* owner);
    ~TMMDSPThread() override;

    TMMDSPComponent* Owner() const { return owner_; }

  private:
    TMMDSPComponent* owner_;
};

// Runs method in the main thread: called from a registered TMMDSPThread (not
// the main thread) the worker blocks until the main thread has run it;
// everywhere else method runs directly. Exceptions propagate to the caller.
void SyncToMainThread(const std::function<void()>& method);

} // namespace keb
