// TMMConnector: a stream component that passes every buffer on unchanged and
// keeps a private copy of the last one for up to fourteen displays
// (MMDisplay.h). It cuts the copy into blocks and hands them to the displays
// at the pace the audio is heard: with Synchronize a block is released no
// earlier than its play time (its byte offset at the stream's byte rate)
// after the buffer arrived, by the microsecond clock.
//
// Where deliveries run:
//   RealTime True (default): in the main thread, in passes started by the
//     idle pump (AutoTrigger True) or by Trigger (AutoTrigger False). The
//     connector is "armed" through its window shortly after the chain starts.
//   RealTime False: in the thread that delivers the buffer; with AutoTrigger
//     every arriving buffer runs one pass at once.
// A pass gives each display kind at most one block; the kinds are visited in
// the order levels, meters, oscilloscopes, lights, spectrums, spectrograms.
//
// Threads. Construction, destruction, setters, links and the chain
// notifications belong to the main thread. BufferReady and BufferLoad run in
// the audio threads: they hand the buffer over without a lock
// (display/BufferHandover.h), nothing more (or, with RealTime False and
// AutoTrigger, run one pass there); the next pass moves the newest buffer
// into the copy and sets the flags.
// A pass holds the data lock only to cut its blocks out of the copy and calls
// the displays without it; the audio threads take neither lock, so they never
// wait for a pass or a display.
// Trigger may be called from any thread: in the main thread it runs a pass at
// once, elsewhere it posts one request to the main thread and drops further
// requests until that one has run. Passes of one connector never overlap;
// changing a display slot waits for a pass in progress.
//
// Setters clamp silently (Speed to 1 .. 5000). RealTime raises
// EMMConnectorError "Change to property while device was open" while the
// connector is open or started; pausing raises EOutOfResources "Not enough
// timers available" when the pause timer is refused. Errors of displays pass
// to the caller of the operation that reached them (to HandleException when
// the connector's window ran it).
//
// Implemented in: MMConect.cpp (properties, display slots, the chain
// notifications and the buffer hand-over), MMConectPass.cpp (the delivery
// pass).
#pragma once

#include "display/BufferHandover.h"
#include "display/MMConectConvert.h"
#include "display/MMDisplay.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Lock.h"
#include "stream/MMDSPObj.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace keb
{

KEB_EXCEPTION_CLASS(EMMConnectorError, Exception);

enum TMMTriggerMode
{
    tmNone,
    tmUpFlank,
    tmDownFlank
};

// The display kinds, in the order a pass visits them.
enum class TMMDisplayKind
{
    Levels,
    Meters,
    Oscopes,
    Lights,
    Spectrums,
    Spectrograms
};

inline constexpr int DisplayKinds = 6;
inline constexpr int DisplaySlots = 14;

// The private messages of the connector window; lParam is the connector,
// wParam its serial number.
inline constexpr std::uint32_t WM_CONNECTOR_ARM = 0xB1F5;
inline constexpr std::uint32_t WM_CONNECTOR_TRIGGER = 0xB1F6;
inline constexpr std::uint32_t WM_CONNECTOR_PUMP = 0xB1F7;

inline constexpr std::int32_t MinSpeed = 1;
inline constexpr std::int32_t MaxSpeed = 5000;

// Byte offset of the first frame, from `start`, at which the first channel
// crosses `level` (upwards for tmUpFlank: previous sample below the level,
// this one at or above it; downwards for tmDownFlank: previous at or above,
// this one below); -1 when there is none or the mode is tmNone. 8-bit samples
// count from -128 (byte 0) to 127, 16-bit samples are signed.
std::int32_t FindFlank(const TWaveFormatEx& format, const std::uint8_t* start, std::int32_t bytes,
                       std::int32_t level, TMMTriggerMode mode);

class TMMConnector : public TMMDSPComponent
{
  public:
    using TNotifyEvent = std::function<void(TMMConnector* Sender)>;

    explicit TMMConnector(TComponent* owner);
    ~TMMConnector() override;

    // Properties.
    bool Enabled() const { return enabled_.load(); }
    void SetEnabled(bool value);
    bool AutoConvert() const { return autoConvert_; }
    void SetAutoConvert(bool value) { autoConvert_ = value; }
    bool AutoTrigger() const { return autoTrigger_.load(); }
    void SetAutoTrigger(bool value);
    bool Synchronize() const { return synchronize_.load(); }
    void SetSynchronize(bool value) { synchronize_.store(value); }
    std::int32_t Speed() const { return speed_; }
    void SetSpeed(std::int32_t value);
    TMMTriggerMode TriggerMode() const { return triggerMode_.load(); }
    void SetTriggerMode(TMMTriggerMode value) { triggerMode_.store(value); }
    std::int32_t TriggerLevel() const { return triggerLevel_.load(); }
    void SetTriggerLevel(std::int32_t value) { triggerLevel_.store(value); }
    bool RefreshOnStop() const { return refreshOnStop_; }
    void SetRefreshOnStop(bool value) { refreshOnStop_ = value; }
    bool RealTime() const { return realTime_.load(); }
    void SetRealTime(bool value);
    // One flag for all connectors: with it, the idle pump lets the main loop
    // run once more on every round.
    static bool EnterIdle();
    static void SetEnterIdle(bool value);
    TNotifyEvent OnTrigger;

    // Display slots: Level, Meter, Oscope, Light and Spectrogram 0..1,
    // Spectrum 0..3; other indexes are ignored. A display already in the
    // other slot of a two-slot kind is refused silently.
    TMMDisplay* Level(int index) const { return Slot(TMMDisplayKind::Levels, index); }
    void SetLevel(int index, TMMDisplay* display);
    TMMDisplay* Meter(int index) const { return Slot(TMMDisplayKind::Meters, index); }
    void SetMeter(int index, TMMDisplay* display);
    TMMAnalyserDisplay* Oscope(int index) const;
    void SetOscope(int index, TMMAnalyserDisplay* display);
    TMMDisplay* Light(int index) const { return Slot(TMMDisplayKind::Lights, index); }
    void SetLight(int index, TMMDisplay* display);
    TMMDisplay* Spectrum(int index) const { return Slot(TMMDisplayKind::Spectrums, index); }
    void SetSpectrum(int index, TMMDisplay* display);
    TMMAnalyserDisplay* Spectrogram(int index) const;
    void SetSpectrogram(int index, TMMAnalyserDisplay* display);

    // Requests one delivery pass (see the header comment).
    virtual void Trigger();

    // State, for the host and for tests.
    bool IsConnectorStarted() const { return ownStarted_.load(); }
    bool Armed() const { return armed_.load(); }
    bool Paused() const { return paused_.load(); }
    bool IsPCM() const { return isPCM_.load(); }
    bool Converting() const { return converting_.load(); }
    std::int32_t PendingTriggers() const { return pendingTriggers_.load(); }
    std::uint32_t PauseTimerID() const { return pauseTimerId_; }

    // Chain operations.
    void SetWaveFormat(const TWaveFormatEx* Format) override;
    void ChainStarted() override;
    void ChainPaused() override;
    void ChainRestarted() override;
    void ChainStopped() override;
    void ChainReset() override;
    void BufferReady(PWaveHdr lpWaveHdr) override;
    void BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers) override;

  protected:
    void Notification(TComponent* component, TOperation operation) override;

  private:
    friend class TConnectorClass;

    struct TKindState
    {
        bool Pending = false;
        std::array<std::int32_t, 2> Position{};
    };

    TMMDisplay* Slot(TMMDisplayKind kind, int index) const;
    void SetSlot(TMMDisplayKind kind, int index, TMMDisplay* display);
    bool HasDisplay(TMMDisplayKind kind) const;
    template <typename Visit> void ForEachDisplay(Visit visit) const;

    void BufferArrived(PWaveHdr header);
    // Moves the newest buffer of the hand-over into the copy (under the data lock).
    void TakeArrivedLocked();
    void MarkAllPendingLocked(std::int64_t arrival);
    void UpdateDisplayFormats();
    void ResetDisplays();
    void FillSilence();
    bool OpenDisplayData();
    void CloseDisplayData();

    void TriggerDisplays();
    bool Due(std::int32_t position, std::int64_t elapsed) const;
    void PassSimpleKind(TMMDisplayKind kind, std::int64_t elapsed);
    void PassOscopes(std::int64_t elapsed);
    void PassSpectrograms(std::int64_t elapsed);
    std::int32_t LargestBlock(TMMDisplayKind kind) const;
    void Deliver(TMMDisplayKind kind, const std::uint8_t* block);

    void Arm();
    void Disarm();
    void PostArm();
    void StartPauseTimer();
    void StopPauseTimer();
    static void PauseTick(std::uint32_t timerId, std::uintptr_t user);

    // Properties.
    std::atomic<bool> enabled_{true};
    bool autoConvert_ = true;
    std::atomic<bool> autoTrigger_{true};
    std::atomic<bool> synchronize_{true};
    std::int32_t speed_ = MaxSpeed;
    std::atomic<TMMTriggerMode> triggerMode_{tmNone};
    std::atomic<std::int32_t> triggerLevel_{0};
    bool refreshOnStop_ = true;
    std::atomic<bool> realTime_{true};

    // Slots in the order Level1, Level2, Meter1, Meter2, Oscope1, Oscope2,
    // Light1, Light2, Spectrum1..4, Spectrogram1, Spectrogram2, with the
    // component behind each display for removal notifications.
    std::array<std::atomic<TMMDisplay*>, DisplaySlots> slots_{};
    std::array<TComponent*, DisplaySlots> slotComponents_{};

    std::atomic<bool> ownStarted_{false};
    std::atomic<bool> armed_{false};
    bool countedActive_ = false;
    std::atomic<bool> paused_{false};
    std::atomic<bool> isPCM_{false};
    std::atomic<bool> converting_{false};
    std::unique_ptr<TMMConversion> conversion_;
    TWaveFormatPtr displayFormat_;
    std::uint8_t silenceByte_ = 0;
    std::atomic<std::int32_t> pendingTriggers_{0};
    std::uint32_t pauseTimerId_ = 0;
    const std::uint64_t serial_;

    // Passes hold passLock_ from start to end (it orders them against slot
    // changes and the release of the buffers); the data lock guards the copy,
    // the pending flags, the positions and the arrival time, and is held only
    // for short copies. Order: passLock_, then dataLock_.
    mutable TCriticalSection passLock_;
    mutable TCriticalSection dataLock_;
    std::int32_t bufferBytes_ = 0;
    std::vector<std::uint8_t> displayBuffer_;
    std::vector<std::uint8_t> blockCopy_;
    std::uint8_t* data_ = nullptr;
    std::int32_t dataCapacityBytes_ = 0;
    std::int32_t validBytes_ = 0;
    std::int64_t arrivalTimeUs_ = 0;
    std::array<TKindState, DisplayKinds> kinds_{};
    // The audio threads' buffers on their way to the copy.
    TBufferHandover handover_;
};

} // namespace keb
