// What the capture and the playback device components share: the callback
// modes, the device states, the buffer headers, the worker thread with its
// start/close handshake, the hidden window that brings stop requests to the
// main thread, the device properties with their setter rules, and DeviceError.
//
// Threads. Commands, setters and the chain notifications run in the main
// thread. The wave layer's notification callback (the "low-level handler")
// only stores state, counts or posts: in cmWindow it posts each finished
// buffer to the component's hidden window (the work runs in the main thread),
// in cmThread to the component's worker thread (the work runs there).
// cmCallback (work in the driver's context) is refused on this platform: its
// setter shows a message box and keeps the old mode.
//
// Stops from inside a buffer handler are deferred: the handler count
// (InHandler) tells Stop that a handler runs; the stop is marked StopDeferred
// and the handler, when it leaves, posts the private stop request to the
// hidden window, so that the driver is reset and the headers are freed in the
// main thread and never under a running handler. A close that arrives
// meanwhile is marked CloseDeferred and completed after the stop.
//
// A worker whose buffer handler raised does not close the device itself: it
// records the error, leaves, and posts a request to the hidden window, which
// closes the device in the main thread and then hands the error to
// HandleException (the chain's stop and close notifications and the OnStop /
// OnClose events never run in a worker).
//
// Closing waits up to 5 s for the worker to end. A worker that is late but
// outside device code is detached and ends on its own; one still inside a
// buffer handler would come back into a device that may be gone, so the
// program reports it on standard error and aborts.
//
// Errors: DeviceError fires OnError and raises the device family's exception;
// a message for a failing platform call is the call's name, a colon, a line
// feed, a carriage return and the platform's text.
//
// Implemented in: MMWaveDevice.cpp (properties, open, close and errors),
// MMWaveDeviceBuffers.cpp (the buffer headers), MMWaveDeviceWorker.cpp (the
// worker thread and the hidden window).
#pragma once

#include "platform/audio/WaveAudio.h"
#include "platform/core/Event.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Lock.h"
#include "platform/core/MessageWindow.h"
#include "stream/MMDSPObj.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace keb
{

// Where the work of a device or timer notification runs.
enum TMMCBMode
{
    cmWindow,   // the component's hidden window, in the main thread
    cmCallback, // the notification context itself (refused on this platform)
    cmThread    // the component's worker thread
};

// A device number; MapperId selects the backend's default device.
using TMMDeviceId = std::int32_t;
inline constexpr TMMDeviceId MapperId = -1;
inline constexpr TMMDeviceId badDeviceId = -2;

inline constexpr std::int32_t MaxWaveBuffers = 500;
inline constexpr std::int32_t MinWaveBufferBytes = 32;
inline constexpr std::int32_t DefaultNumBuffers = 10;

// The private message that asks the main thread to complete a stop.
inline constexpr std::uint32_t StopRequestMessage = 0x8001;
// The private message that asks the main thread to close after a worker died.
inline constexpr std::uint32_t WorkerFailedMessage = 0x8002;

// The device state bits (a set).
enum TMMWaveDeviceState : std::uint8_t
{
    wsClosed = 0x01,
    wsOpened = 0x02,
    wsStarted = 0x04,
    wsPaused = 0x08
};

// What differs between the capture and the playback side of the wave layer.
// The handle-taking calls are adapted to an untyped handle (DeviceCall,
// HeaderCall below).
struct TWaveDeviceTraits
{
    const char* ClassName;      // caption of the component's message boxes
    const char* Api;            // "WaveIn" / "WaveOut": prefix of every call name
    const char* NoDevice;       // the product name and error without a device
    const char* InvalidFormat;  // Open without a format
    const char* CannotDoFormat; // the capability check failed
    const char* QueueCall;      // "AddBuffer" / "Write"
    std::uint32_t DataMessage;  // the "buffer done" message number
    int NotificationWaits;      // 10 ms waits for the opened / closed notification
    int (*GetNumDevs)();
    TWaveResult (*GetDevCaps)(int deviceId, TWaveCaps* caps);
    TWaveResult (*QueryFormat)(int deviceId, const TWaveFormatEx* format);
    TWaveResult (*GetErrorText)(TWaveResult result, char* text,
                                std::size_t size); // Size: characters
    TWaveResult (*Close)(void* device);
    TWaveResult (*Prepare)(void* device, TWaveHdr* header);
    TWaveResult (*Unprepare)(void* device, TWaveHdr* header);
    TWaveResult (*Queue)(void* device, TWaveHdr* header);
    std::exception_ptr (*MakeError)(const std::string& message); // the family's exception
};

template <typename Error> std::exception_ptr MakeError(const std::string& message)
{
    return std::make_exception_ptr(Error(message));
}

template <typename Handle, TWaveResult (*Call)(Handle)> TWaveResult DeviceCall(void* device)
{
    return Call(static_cast<Handle>(device));
}

template <typename Handle, TWaveResult (*Call)(Handle, TWaveHdr*)>
TWaveResult HeaderCall(void* device, TWaveHdr* header)
{
    return Call(static_cast<Handle>(device), header);
}

// Prefix + line feed + carriage return + text.
std::string DeviceMessage(const std::string& prefix, const std::string& text);

// The standard-format bit of a device's capabilities that covers Format (by
// rate class 8000..11025, 11026..22050, 22051..48000 Hz, channels and bits),
// or 0 when none covers it and the format query alone decides.
std::uint32_t StandardFormatBit(const TWaveFormatEx& format);

class TMMWaveDevice;

// The worker of cmThread mode (for capture and playback alike): takes the
// finished buffers posted to its queue and has the device handle them. It
// owns the events of its handshake, so a worker that outlives its device's
// wait never reaches events of the device (freed, or a later open's). Such a
// worker can be detached while it runs no device code: it then leaves without
// touching the device again and frees itself.
class TMMWaveDeviceThread : public TMMDSPThread
{
  public:
    TMMWaveDeviceThread(TMMWaveDevice* device, std::uint32_t dataMessage);
    ~TMMWaveDeviceThread() override;

    // Set by the worker when it runs and when it ends.
    TEvent& StartEvent() { return startEvent_; }
    // Ends the worker.
    TEvent& CloseEvent() { return closeEvent_; }
    // Asks the worker to drop the finished buffers in its queue; it resets
    // the event when it has.
    TEvent& FlushEvent() { return flushEvent_; }
    // Main thread, for a worker that has not ended in time: true when it was
    // let go (the caller then gives the object up: the worker deletes it);
    // false while it is inside device code, or when it has ended after all
    // (then the object is the caller's still).
    bool Detach();
    bool Ended() const { return gate_.load() == Finished; }

  protected:
    void Execute() override;

  private:
    enum : int
    {
        Idle,
        InDevice,
        Detached,
        Finished
    };
    bool EnterDevice();

    TMMWaveDevice* device_;
    const std::uint32_t dataMessage_;
    TEvent startEvent_{false, false};
    TEvent closeEvent_{false, false};
    TEvent flushEvent_{true, false};
    std::atomic<int> gate_{Idle};
};

class TMMWaveDevice : public TMMCustomSoundComponent
{
  public:
    TMMWaveDevice(TComponent* owner, const TWaveDeviceTraits& traits);
    ~TMMWaveDevice() override;

    // Fires OnError, then raises the family's exception with Message.
    [[noreturn]] virtual void DeviceError(const std::string& message);
    // Runs the chain's open relay, starts the worker (cmThread), opens the
    // device with the held format and waits for its opened notification. On
    // failure: OnError, the device closed again, the error raised.
    virtual void Open();
    // Stops first; a stop deferred behind a running handler defers the close
    // too. Never raises (an internal failure fires OnError only).
    virtual void Close();
    virtual void Start() = 0;
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    virtual void Stop() = 0;

    std::uint8_t State() const { return state_.load(); }
    bool HasState(TMMWaveDeviceState bit) const { return (state_.load() & bit) != 0; }

    // Refused while open; at least 32. An unchanged value is ignored.
    void SetBufferSize(std::int32_t value) override; // bytes
    std::int32_t NumBuffers() const { return numBuffers_; }
    // Values below 2 ignored; refused while open; at most 500.
    void SetNumBuffers(std::int32_t value);
    TMMDeviceId DeviceID() const { return deviceId_; }
    // Refused while open; fills ProductName and DriverVersion; a number out
    // of range is stored as badDeviceId.
    void SetDeviceID(TMMDeviceId value);
    TMMCBMode CallBackMode() const { return callBackMode_; }
    // Refused while open; cmCallback shows a message box and is not taken.
    void SetCallBackMode(TMMCBMode value);
    const std::string& ProductName() const { return productName_; }
    std::uint32_t DriverVersion() const { return driverVersion_; }
    int NumDevs() const { return numDevs_; }
    // Buffers now held by the driver.
    int QueuedCount() const { return queuedCount_.load(); }
    TWaveResult LastError() const { return lastError_.load(); }

    // The window's message procedure (main thread); public for the loop.
    void WindowProc(const TMessage& message);
    // One message the worker took (a finished buffer, handled unless the
    // device is stopping); false when the handler raised: the worker ends and
    // the main thread closes the device. Called by the worker.
    bool HandleWorkerMessage(const TMessage& message);

    TMMNotifyEvent OnError;
    TMMNotifyEvent OnOpen;
    TMMNotifyEvent OnStart;
    TMMNotifyEvent OnPause;
    TMMNotifyEvent OnRestart;
    TMMNotifyEvent OnStop;
    TMMNotifyEvent OnClose;

  protected:
    // The buffer-done handler: the buffer work of one finished buffer, in
    // the context the callback mode gives.
    virtual void HandleBufferDone(TWaveHdr* header) = 0;
    // Opens the device of this side with the component's notification
    // callback and stores the handle (OpenDevice does it).
    virtual TWaveResult PlatformOpen() = 0;
    template <typename Handle, typename Callback>
    TWaveResult OpenDevice(TWaveResult (*openCall)(Handle*, int, const TWaveFormatEx*, Callback,
                                                   void*),
                           Callback notify)
    {
        Handle device = nullptr;
        const TWaveResult result = openCall(&device, DeviceID(), GetWaveFormat(), notify, this);
        SetHandle(device);
        return result;
    }
    // The last step of Open, after the opened notification.
    virtual void DeviceOpened() = 0;
    // Handle null, headers freed, the close relay, OnClose, Closing cleared.
    void CompleteClose();
    // For a derived destructor: marks the component destroyed (no OnStop,
    // no OnClose) and closes the device if a handle is held.
    void CloseForDestruction();

    void Fire(const TMMNotifyEvent& event);

    // What a failing command leaves behind: the device closed; for a failed
    // open or start also when it had not got that far.
    enum class TFailure
    {
        CloseOnly,
        OpeningFailed,
        StartingFailed
    };
    // Runs Command; on an exception fires OnError, closes the device as Kind
    // says and lets the exception go on.
    template <typename F> void Guarded(TFailure kind, F&& command)
    {
        try
        {
            command();
        }
        catch (...)
        {
            Fire(OnError);
            CloseAfterFailure(kind);
            throw;
        }
    }
    void CloseAfterFailure(TFailure kind);
    // The opened / closed notifications set the state; true when Message was
    // one of them.
    bool StoreStateNotification(TWaveMessage message);
    // Hands a prepared buffer to the driver (add or write), counted first
    // because it may come back at once; nothing once the device is stopping.
    // The test and the hand-over share the lock with a stop's halt and
    // reset, so a buffer a handler queues either comes back with the reset or
    // is never queued, and no buffer stays at the driver of a stopped device.
    void QueueBuffer(TWaveHdr* header);
    void SetState(std::uint8_t value) { state_.store(value); }
    void AddState(std::uint8_t bits) { state_.fetch_or(bits); }
    void RemoveState(std::uint8_t bits) { state_.fetch_and(static_cast<std::uint8_t>(~bits)); }
    bool IsStartedOrPaused() const { return (state_.load() & (wsStarted | wsPaused)) != 0; }

    // Raises "Change to property while device was open" when open.
    void RefuseWhileOpen();
    // Raises through DeviceError with Api + Call + ":" LF CR + the platform
    // text unless Result is wrNoError.
    void Check(TWaveResult result, const char* call);
    std::string ErrorText(TWaveResult result) const;
    // Whether device D can record / play Format (format query, then the
    // standard-format bits of its capabilities).
    bool CanDeviceDo(TMMDeviceId device, const TWaveFormatEx* format);
    // Waits (10 ms steps, up to the traits' count) until Bit is in State;
    // returns whether it came.
    bool WaitForState(TMMWaveDeviceState bit) const;

    // Headers: the first Count of the 500.
    TMMWaveHdr* Header(int index) const { return headers_[static_cast<std::size_t>(index)]; }
    void AllocateHeaders(int count);
    void PrepareHeader(int index);
    void PrepareHeaders(int count);
    void UnprepareHeaders(int count);
    void FreeHeaders();

    // The worker of cmThread mode and the events of its handshake.
    void StartWorker();
    void EndWorker();
    // Waits (bounded) until no buffer-done handler runs in the worker; at
    // once where the handlers run in the calling thread.
    void WaitForWorkerHandlers();
    // Drops the finished-buffer messages not yet handled (window queue or
    // worker queue); returns once the worker has dropped them.
    void DiscardPendingDone();

    // Routes one finished buffer to where the mode wants the work done.
    void DeliverDone(TWaveHdr* header);
    // Marks the device stopping and asks the main thread to run Stop.
    void PostStopRequest();
    // Counts a buffer-done handler in; false (and no handler counted) when
    // the device is not started, or is stopping or resetting. With
    // CountReturn the returned buffer also leaves the queued count here (the
    // capture side; the playback side counts it in the driver's context).
    bool EnterHandler(bool countReturn);
    // Counts a handler out; true when it was the last one and a stop is due
    // (StopDeferred, or with QueueEmptyEnds no buffer left at the driver and
    // none on its way to a handler); Stopping is then set.
    bool LeaveHandler(bool queueEmptyEnds);
    // For the stop completion: true (and StopDeferred set) while a handler
    // runs.
    bool DeferStopBehindHandler();

    void* Handle() const { return handle_.load(); }
    void SetHandle(void* value) { handle_.store(value); }

    const TWaveDeviceTraits& traits_;
    TCriticalSection lock_;
    std::atomic<int> inHandler_{0};
    std::atomic<int> queuedCount_{0};
    // Finished buffers posted to the handler and not yet taken up (the
    // playback side; counted before they leave the queued count).
    std::atomic<int> finishedOnTheWay_{0};
    std::atomic<int> bufferIndex_{0};
    std::atomic<bool> stopDeferred_{false};
    std::atomic<bool> closeDeferred_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> closing_{false};
    std::atomic<bool> resetting_{false};

  private:
    bool IsCurrentSession(std::uintptr_t value) const;

    std::unique_ptr<TMessageWindow> window_;
    std::atomic<void*> handle_{nullptr};
    // Numbers each open. The messages the device posts carry it, so one left
    // over from an earlier open is dropped even when the platform gives the
    // new device the old one's handle value.
    std::atomic<std::uintptr_t> session_{0};
    std::atomic<std::uint8_t> state_{wsClosed};
    std::array<TMMWaveHdr*, MaxWaveBuffers> headers_{};
    TMMDeviceId deviceId_ = 0;
    TMMCBMode callBackMode_ = cmWindow;
    std::int32_t numBuffers_ = DefaultNumBuffers;
    int numDevs_ = 0;
    std::atomic<TWaveResult> lastError_{wrNoError};
    std::string productName_;
    std::uint32_t driverVersion_ = 0;

    std::unique_ptr<TMMWaveDeviceThread> thread_;
    std::atomic<TMMWaveDeviceThread*> worker_{nullptr}; // read by the driver's context
    std::exception_ptr workerError_;
};

} // namespace keb
