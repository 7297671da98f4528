// Part of TMMConnector (MMConect.h): properties, display slots, the chain
// notifications and the buffer hand-over.
#include "display/MMConect.h"

#include "devices/MMHTimerPeriodic.h"
#include "display/MMConectClass.h"
#include "stream/MMTime.h"
#include "stream/MMUtils.h"

#include <algorithm>
#include <mutex>

namespace keb
{
namespace
{
constexpr const char* kPropertyWhileOpen = "Change to property while device was open";
constexpr const char* kNotEnoughTimers = "Not enough timers available";

struct TKindSlots
{
    int First;
    int Count;
};

constexpr std::array<TKindSlots, DisplayKinds> kKindSlots{
    {{0, 2}, {2, 2}, {4, 2}, {6, 2}, {8, 4}, {12, 2}}};

constexpr TKindSlots SlotsOf(TMMDisplayKind kind)
{
    return kKindSlots[static_cast<std::size_t>(kind)];
}

// A PCM format the displays can be cut by: blocks need a frame size and
// release times need a byte rate.
bool IsShowablePCM(const TWaveFormatEx& format)
{
    return format.wFormatTag == WaveFormatPcm && format.nAvgBytesPerSec > 0 &&
           format.nBlockAlign > 0;
}

template <typename Vector> void Release(Vector& vector)
{
    Vector().swap(vector);
}
} // namespace

TMMConnector::TMMConnector(TComponent* owner)
    : TMMDSPComponent(owner), serial_(TConnectorClass::Register(this))
{
    timeBeginPeriod(1);
}

TMMConnector::~TMMConnector()
{
    ChainStopped();
    timeEndPeriod(1);
    TConnectorClass::Unregister(this);
}

void TMMConnector::SetEnabled(bool value)
{
    if (value == enabled_.load())
        return;
    enabled_.store(value);
    if (IsDesigning())
        return;
    if (!value)
    {
        Disarm();
        ResetDisplays();
    }
    else if (ownStarted_.load() && realTime_.load())
        PostArm();
}

void TMMConnector::SetAutoTrigger(bool value)
{
    if (value == autoTrigger_.load())
        return;
    autoTrigger_.store(value);
    if (IsDesigning())
        return;
    if (!value)
        Disarm();
    else if (ownStarted_.load() && enabled_.load() && realTime_.load())
        PostArm();
}

void TMMConnector::SetSpeed(std::int32_t value)
{
    speed_ = Clamp(value, MinSpeed, MaxSpeed);
    if (!IsDesigning())
        TConnectorClass::RecomputeLargestSpeed();
}

void TMMConnector::SetRealTime(bool value)
{
    if (value == realTime_.load())
        return;
    if (Opened() || ownStarted_.load())
        throw EMMConnectorError(kPropertyWhileOpen);
    realTime_.store(value);
}

bool TMMConnector::EnterIdle()
{
    return TConnectorClass::EnterIdle();
}

void TMMConnector::SetEnterIdle(bool value)
{
    TConnectorClass::SetEnterIdle(value);
}

TMMDisplay* TMMConnector::Slot(TMMDisplayKind kind, int index) const
{
    const TKindSlots slots = SlotsOf(kind);
    return index >= 0 && index < slots.Count ? slots_[slots.First + index].load() : nullptr;
}

// The oscilloscope and spectrogram slots only ever receive analyser displays.
TMMAnalyserDisplay* TMMConnector::Oscope(int index) const
{
    return static_cast<TMMAnalyserDisplay*>(Slot(TMMDisplayKind::Oscopes, index));
}

TMMAnalyserDisplay* TMMConnector::Spectrogram(int index) const
{
    return static_cast<TMMAnalyserDisplay*>(Slot(TMMDisplayKind::Spectrograms, index));
}

void TMMConnector::SetLevel(int index, TMMDisplay* display)
{
    SetSlot(TMMDisplayKind::Levels, index, display);
}

void TMMConnector::SetMeter(int index, TMMDisplay* display)
{
    SetSlot(TMMDisplayKind::Meters, index, display);
}

void TMMConnector::SetOscope(int index, TMMAnalyserDisplay* display)
{
    SetSlot(TMMDisplayKind::Oscopes, index, display);
}

void TMMConnector::SetLight(int index, TMMDisplay* display)
{
    SetSlot(TMMDisplayKind::Lights, index, display);
}

void TMMConnector::SetSpectrum(int index, TMMDisplay* display)
{
    SetSlot(TMMDisplayKind::Spectrums, index, display);
}

void TMMConnector::SetSpectrogram(int index, TMMAnalyserDisplay* display)
{
    SetSlot(TMMDisplayKind::Spectrograms, index, display);
}

void TMMConnector::SetSlot(TMMDisplayKind kind, int index, TMMDisplay* display)
{
    const TKindSlots slots = SlotsOf(kind);
    if (index < 0 || index >= slots.Count || Slot(kind, index) == display)
        return;
    if (display && slots.Count == 2 && Slot(kind, 1 - index) == display)
        return;
    TComponent* component = display ? dynamic_cast<TComponent*>(display) : nullptr;
    {
        std::lock_guard pass(passLock_);
        std::lock_guard data(dataLock_);
        slots_[slots.First + index].store(display);
        slotComponents_[slots.First + index] = component;
        kinds_[static_cast<std::size_t>(kind)].Pending = false;
    }
    if (component)
        FreeNotification(component);
    if (display)
        UpdateDisplayFormats();
}

void TMMConnector::Notification(TComponent* component, TOperation operation)
{
    if (operation == TOperation::opRemove)
    {
        std::lock_guard pass(passLock_);
        for (int slot = 0; slot < DisplaySlots; ++slot)
        {
            if (slotComponents_[slot] == component)
            {
                slots_[slot].store(nullptr);
                slotComponents_[slot] = nullptr;
            }
        }
    }
    TMMDSPComponent::Notification(component, operation);
}

bool TMMConnector::HasDisplay(TMMDisplayKind kind) const
{
    const TKindSlots slots = SlotsOf(kind);
    for (int index = 0; index < slots.Count; ++index)
    {
        if (slots_[slots.First + index].load())
            return true;
    }
    return false;
}

template <typename Visit> void TMMConnector::ForEachDisplay(Visit visit) const
{
    for (const auto& slot : slots_)
    {
        if (TMMDisplay* display = slot.load())
            visit(*display);
    }
}

void TMMConnector::SetWaveFormat(const TWaveFormatEx* Format)
{
    TMMDSPComponent::SetWaveFormat(Format);
    UpdateDisplayFormats();
}

void TMMConnector::UpdateDisplayFormats()
{
    const TWaveFormatEx* chainFormat = GetWaveFormat();
    if (!chainFormat)
        return;
    const TWaveFormatEx* pcm = nullptr;
    TWaveFormatPtr suggested;
    if (ownStarted_.load())
        pcm = displayFormat_.get();
    else
    {
        converting_.store(false);
        isPCM_.store(IsShowablePCM(*chainFormat));
        if (isPCM_.load())
            pcm = chainFormat;
        else if (autoConvert_)
        {
            TMMFormatConverter& converter = FormatConverter();
            suggested = converter.SuggestPCMFormat(*chainFormat);
            if (suggested && IsShowablePCM(*suggested) &&
                converter.CanConvert(*chainFormat, *suggested))
            {
                converting_.store(true);
                pcm = suggested.get();
            }
        }
    }
    if (!pcm)
        return;
    silenceByte_ = pcm->wBitsPerSample == 8 ? 128 : 0;
    ForEachDisplay([pcm](TMMDisplay& display) { display.SetDisplayFormat(*pcm); });
}

void TMMConnector::ResetDisplays()
{
    ForEachDisplay([](TMMDisplay& display) { display.ResetDisplay(); });
}

bool TMMConnector::OpenDisplayData()
{
    const TWaveFormatEx& chainFormat = *GetWaveFormat();
    std::lock_guard pass(passLock_);
    std::lock_guard data(dataLock_);
    data_ = nullptr;
    conversion_.reset();
    converting_.store(false);
    bufferBytes_ = IntMax(GetBufferSize(), 0);
    handover_.Open(bufferBytes_);
    isPCM_.store(IsShowablePCM(chainFormat));
    if (isPCM_.load())
    {
        displayFormat_.reset(CopyWaveFormat(&chainFormat));
        displayBuffer_.assign(static_cast<std::size_t>(bufferBytes_), 0);
        data_ = displayBuffer_.data();
        dataCapacityBytes_ = bufferBytes_;
    }
    else if (autoConvert_)
    {
        TMMFormatConverter& converter = FormatConverter();
        TWaveFormatPtr suggested = converter.SuggestPCMFormat(chainFormat);
        if (suggested && IsShowablePCM(*suggested))
        {
            displayBuffer_.assign(static_cast<std::size_t>(bufferBytes_), 0);
            conversion_ =
                converter.Open(chainFormat, *suggested, displayBuffer_.data(), bufferBytes_);
        }
        if (conversion_)
        {
            converting_.store(true);
            displayFormat_ = std::move(suggested);
            data_ = conversion_->Output();
            dataCapacityBytes_ = conversion_->OutputBytes();
        }
        else
            Release(displayBuffer_);
    }
    kinds_ = {};
    validBytes_ = 0;
    if (data_)
        blockCopy_.assign(2 * static_cast<std::size_t>(dataCapacityBytes_), 0);
    return data_ != nullptr;
}

void TMMConnector::CloseDisplayData()
{
    std::lock_guard pass(passLock_);
    std::lock_guard data(dataLock_);
    handover_.Close();
    data_ = nullptr;
    dataCapacityBytes_ = 0;
    validBytes_ = 0;
    conversion_.reset();
    converting_.store(false);
    Release(displayBuffer_);
    Release(blockCopy_);
}

void TMMConnector::FillSilence()
{
    std::lock_guard data(dataLock_);
    // A buffer that arrived before is taken first, so the silence replaces it.
    TakeArrivedLocked();
    if (data_ && (isPCM_.load() || converting_.load()))
        FillBytes(data_, IntMin(bufferBytes_, dataCapacityBytes_), silenceByte_);
}

void TMMConnector::ChainStarted()
{
    TMMDSPComponent::ChainStarted();
    if (IsDesigning() || !GetInput() || !GetWaveFormat() || ownStarted_.load())
        return;
    if (!OpenDisplayData())
        return;
    TConnectorClass::RecomputeLargestSpeed();
    ownStarted_.store(true);
    UpdateDisplayFormats();
    if (enabled_.load() && realTime_.load())
        PostArm();
}

void TMMConnector::ChainPaused()
{
    if (!IsDesigning() && GetInput() && ownStarted_.load() && !paused_.load())
    {
        paused_.store(true);
        FillSilence();
        if (realTime_.load())
            StartPauseTimer();
    }
    TMMDSPComponent::ChainPaused();
}

void TMMConnector::ChainRestarted()
{
    if (!IsDesigning() && GetInput() && paused_.load())
    {
        paused_.store(false);
        if (realTime_.load())
            StopPauseTimer();
    }
    TMMDSPComponent::ChainRestarted();
}

void TMMConnector::ChainReset()
{
    if (!IsDesigning() && GetInput() && ownStarted_.load())
        FillSilence();
    TMMDSPComponent::ChainReset();
}

// Unlike the other notifications this one does not need an Input: whatever
// was started is released even when the input was unlinked meanwhile.
void TMMConnector::ChainStopped()
{
    if (ownStarted_.load())
    {
        ownStarted_.store(false);
        Disarm();
        paused_.store(false);
        StopPauseTimer();
        CloseDisplayData();
        if (refreshOnStop_)
            ResetDisplays();
    }
    TMMDSPComponent::ChainStopped();
}

void TMMConnector::BufferReady(PWaveHdr lpWaveHdr)
{
    PWaveHdr companion = lpWaveHdr ? MMWaveHdr(lpWaveHdr)->CompanionHdr : nullptr;
    BufferArrived(synchronize_.load() && companion ? companion : lpWaveHdr);
    TMMDSPComponent::BufferReady(lpWaveHdr);
}

void TMMConnector::BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers)
{
    TMMDSPComponent::BufferLoad(lpWaveHdr, MoreBuffers);
    BufferArrived(lpWaveHdr);
}

void TMMConnector::BufferArrived(PWaveHdr header)
{
    if (!header || !GetInput() || !ownStarted_.load() || !enabled_.load() || paused_.load() ||
        !(isPCM_.load() || converting_.load()))
        return;
    // No lock: the audio thread never waits for a pass (the chain may have
    // stopped since the test above; the hand-over then drops the buffer).
    handover_.Publish(header->lpData, static_cast<std::int32_t>(header->dwBytesRecorded),
                      MicrosecondClock());
    if (!realTime_.load() && autoTrigger_.load())
        TriggerDisplays();
}

void TMMConnector::TakeArrivedLocked()
{
    const TBufferHandover::TTaken taken = handover_.Take();
    if (taken.Data == nullptr || !data_)
        return;
    std::int32_t valid = taken.Bytes;
    if (converting_.load())
    {
        MoveBytes(taken.Data, displayBuffer_.data(), valid);
        valid = conversion_->Convert(valid);
        if (valid < 1)
            return;
    }
    else
        MoveBytes(taken.Data, data_, valid);
    validBytes_ = IntMin(valid, dataCapacityBytes_);
    MarkAllPendingLocked(taken.Arrival);
}

void TMMConnector::MarkAllPendingLocked(std::int64_t arrival)
{
    arrivalTimeUs_ = arrival;
    for (int kind = 0; kind < DisplayKinds; ++kind)
    {
        if (HasDisplay(static_cast<TMMDisplayKind>(kind)))
            kinds_[kind] = TKindState{true, {0, 0}};
    }
}

void TMMConnector::StartPauseTimer()
{
    StopPauseTimer();
    const TWaveFormatEx* chainFormat = GetWaveFormat();
    const std::uint32_t byteRate = chainFormat && chainFormat->nAvgBytesPerSec > 0
                                       ? chainFormat->nAvgBytesPerSec
                                       : displayFormat_->nAvgBytesPerSec;
    const std::int32_t periodMs =
        IntMax(RoundedMulDiv(GetBufferSize(), 1000, static_cast<std::int32_t>(byteRate)), 1);
    pauseTimerId_ = timeSetEvent(static_cast<std::uint32_t>(periodMs), 0, &TMMConnector::PauseTick,
                                 reinterpret_cast<std::uintptr_t>(this));
    if (pauseTimerId_ == 0)
        throw EOutOfResources(kNotEnoughTimers);
}

void TMMConnector::StopPauseTimer()
{
    {
        std::lock_guard data(dataLock_);
        for (TKindState& state : kinds_)
            state.Pending = false;
    }
    if (pauseTimerId_ != 0)
    {
        timeKillEvent(pauseTimerId_);
        pauseTimerId_ = 0;
    }
}

// Timer thread: while paused, the silent copy is fed again at the buffer
// rate, so the displays decay to rest.
void TMMConnector::PauseTick(std::uint32_t, std::uintptr_t user)
{
    auto* connector = reinterpret_cast<TMMConnector*>(user);
    if (!connector->paused_.load())
        return;
    const std::int64_t now = MicrosecondClock();
    std::lock_guard data(connector->dataLock_);
    connector->MarkAllPendingLocked(now);
}

} // namespace keb
