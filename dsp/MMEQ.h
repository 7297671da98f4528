// The equalizer: a stream component that filters the audio passing through
// it with a linear-phase FIR filter built from a list of bands.
//
// TMMEQFilter is one band: F1 .. F2 Hz with a gain in dB, enabled or not.
// TMMEQFilterList is the equalizer's owning list of bands; its
// "ObjectContainer" bytes are the "EQU" container, which also carries the
// equalizer's Description and FFTLength:
//     45 51 55 00 | OwnsObjects (1) | L (int32) | L description bytes |
//     FFTLength (int32) | count (int16) | count tagged "TMMEQFilter" objects
// A band's own data is 13 bytes: Enabled (1), F1, F2, Gain (IEEE floats).
// Reading a container applies the new bands once, at the end; a wrong tag
// raises EReadError "Invalid Object stream" and changes nothing; after any
// other error the bands read so far stay. Only bands enter the list.
//
// TMMEqualizer holds an FFT filter engine (dsp/MMFFTFlt.h) while its chain
// is open: ChainOpened creates it and applies the bands (flat 0 dB first, then
// every enabled band in list order, later bands winning where they overlap),
// ChainStarted applies them again, ChainClosed releases it. Buffers pushed
// (BufferReady) or pulled (BufferLoad) through an open equalizer are filtered
// in place; with Enabled false they pass bit-exact and undelayed, and turning
// Enabled on or off resets the engine's history. A band edit reaches the
// running engine at once (only that band's range is redesigned).
//
// LowLatency (set while the chain is closed; it applies from the next ChainOpened) filters
// with the same design through a direct-form filter instead (dsp/LowLatencyFilter.h), in
// its minimum-phase form: each buffer comes back filtered at once, whatever its size, with
// the same magnitude response. Band edits reach it at the next buffer without a lock.
//
// Clamped silently: SampleRate to 4000 .. 100000; FFTLength to 8 .. 4096,
// rounded down to a power of two (the engine filters with at most 1024
// points). SetWaveFormat raises EMMEqualizerError "Invalid WaveFormat" for an
// 8-bit or invalid format, which is then neither stored nor passed on. No
// memory for an engine (at open or a length change) raises EOutOfMemory.
//
// Threads: everything except BufferReady/BufferLoad is main-thread only
// (ChainClosed may also come from a capture worker that stops on an error);
// buffers come from one audio thread at a time. The buffer path takes no lock
// and never waits: band edits and window changes design a spare response that
// the engine (and the low-latency filter) take up when their next frame (buffer)
// starts, so a frame is always filtered with one complete response. Resetting
// (Enabled) is a request that the buffer path carries out before its next
// buffer. Replacing (FFTLength) and releasing the engine publish the new one
// (or none) atomically and then wait until a buffer still using the old one has
// left; the main thread may wait for the audio thread, never the other way
// round. A lock of its own orders the main thread against a capture worker that
// closes the chain; the buffer path never takes it. A new engine is fully
// designed before it is published. When filtering clipped, OnPcmOverflow runs
// in the main thread: from another thread the notice is posted to it and the
// audio thread goes on at once (one event per clipped buffer, fired when the
// main thread next handles its messages). Assign OnPcmOverflow while the chain
// is closed.
#pragma once

#include "dsp/LowLatencyFilter.h"
#include "dsp/MMFFT.h"
#include "dsp/MMFFTFlt.h"
#include "dsp/MMObjLst.h"
#include "platform/core/Exceptions.h"
#include "platform/core/MessageWindow.h"
#include "stream/MMDSPObj.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace keb
{

KEB_EXCEPTION_CLASS(EMMEqualizerError, Exception);

class TMMEqualizer;

class TMMEQFilter : public TContainerObject
{
  public:
    TMMEQFilter() = default;
    TMMEQFilter(float f1, float f2, float gain);

    std::string ContainerClassName() const override { return "TMMEQFilter"; }

    float F1() const { return f1_; }
    float F2() const { return f2_; }
    float Gain() const { return gain_; }
    bool Enabled() const { return enabled_; }

    // Stores the three values and calls Changed when any of them differs.
    void SetValues(float f1, float f2, float gain);
    // Index 0 replaces F1, 1 F2, 2 Gain, any other nothing; then SetValues.
    void SetValue(int index, float value);
    void SetEnabled(bool value);
    // Copies values and Enabled from source through the setters; nullptr is ignored.
    void Assign(const TMMEQFilter* source);

    // The 13-byte band record. Reading raises EReadError "Invalid Object
    // stream" for a value that is not a finite number.
    virtual void WriteToStream(TStream& stream) const;
    virtual void ReadFromStream(TStream& stream);

    // Set by the list when the band is added.
    std::function<void(TMMEQFilter& band)> OnChange;

  protected:
    virtual void Changed();

  private:
    float f1_ = 0;
    float f2_ = 0;
    float gain_ = 0;
    bool enabled_ = true;
};

class TMMEQFilterList : public TObjectList
{
  public:
    // equalizer may be nullptr for a free-standing list; it then carries
    // "Untitled" and 256 in its container and ignores those fields on reading.
    explicit TMMEQFilterList(TMMEqualizer* equalizer);

    TMMEqualizer* Equalizer() const { return owner_; }
    TMMEQFilter* Items(int index) const { return static_cast<TMMEQFilter*>(Get(index)); }

    // Appends and connects the band to the equalizer's FilterChanged.
    int Add(TContainerObject* object) override;
    // Only bands may enter the list: anything else raises EListError.
    void Insert(int index, TContainerObject* object) override;
    // Replaces every band by a copy of source's bands (nullptr: empties the
    // list); the equalizer applies them once, at the end.
    void Assign(const TMMEQFilterList* source);

    bool HasContainerData() const override { return true; }
    void ReadContainer(TStream& stream) override;
    void WriteContainer(TStream& stream) const override;

  private:
    // Runs body with the equalizer's Updating set (restored on every exit)
    // inside BeginUpdate/EndUpdate.
    void Rebuild(const std::function<void()>& body);

    TMMEqualizer* owner_;
};

// What the equalizer needs of a linked spectrum analyser to show its response.
class TMMEQSpectrum
{
  public:
    using TDrawHook = std::function<void(TMMEQSpectrum& spectrum)>;

    virtual ~TMMEQSpectrum() = default;
    // The component behind the display; the equalizer asks it for removal notification.
    virtual TComponent& SpectrumComponent() = 0;
    virtual void SetWaveFormat(const TWaveFormatEx* format) = 0;
    virtual void SetWindow(TMMFFTWindow window) = 0;
    // The display calls the hook when it draws; an empty hook clears it.
    virtual void SetDrawHook(TDrawHook hook) = 0;
    virtual void Redraw() = 0;
    virtual int BlockBytes() const = 0;
    // 16-bit mono samples to show, bytes long.
    virtual void ShowBuffer(const std::int16_t* samples, int bytes) = 0;
};

class TMMEqualizer : public TMMDSPComponent
{
  public:
    explicit TMMEqualizer(TComponent* owner);
    ~TMMEqualizer() override;

    std::function<void(TMMEqualizer& sender)> OnChange;
    std::function<void(TMMEqualizer& sender)> OnPcmOverflow;

    bool Enabled() const { return enabled_.load(std::memory_order_acquire); }
    void SetEnabled(bool value);
    int SampleRate() const { return sampleRate_; }
    void SetSampleRate(int value);
    int FFTLength() const { return fftLength_; }
    void SetFFTLength(int value);
    const std::string& Description() const { return description_; }
    void SetDescription(const std::string& value) { description_ = value; }
    TMMEQFilterList* Filters() const { return filterList_.get(); }
    void SetFilters(const TMMEQFilterList* list);
    TMMChannel Channel() const { return channel_.load(std::memory_order_relaxed); }
    void SetChannel(TMMChannel value) { channel_.store(value, std::memory_order_relaxed); }
    TMMFFTWindow Window() const { return window_; }
    void SetWindow(TMMFFTWindow value);
    bool LowLatency() const { return lowLatency_; }
    void SetLowLatency(bool value) { lowLatency_ = value; }
    TMMEQSpectrum* Spectrum() const { return spectrumLink_; }
    void SetSpectrum(TMMEQSpectrum* spectrum);

    // True while an engine exists (between ChainOpened and ChainClosed).
    bool EngineOpen() const;
    // True while the band list is being rebuilt; band notifications are ignored.
    bool Updating() const { return updating_; }
    void SetUpdating(bool value) { updating_ = value; }

    // Copies Channel, Enabled, Description, FFTLength, Window, Filters and
    // SampleRate from source, in that order; nullptr is ignored.
    void Assign(const TMMEqualizer* source);

    void SetWaveFormat(const TWaveFormatEx* Format) override;
    void ChainOpened() override;
    void ChainClosed() override;
    void ChainStarted() override;
    void BufferReady(PWaveHdr lpWaveHdr) override;
    void BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers) override;
    void Loaded() override;

    // Flat 0 dB, then every enabled band in list order; only while open.
    virtual void ApplyFilters();
    // The OnChange of every band: redesigns that band's range at once.
    void FilterChanged(TMMEQFilter& band);

  protected:
    virtual void Changed();
    virtual void PcmOverflow();
    void Notification(TComponent* component, TOperation operation) override;

  private:
    struct TEngineDeleter
    {
        void operator()(TFFTFilter* engine) const { DoneFFTFilter(engine); }
    };
    using TEnginePtr = std::unique_ptr<TFFTFilter, TEngineDeleter>;

    // A new engine for the current format at length, designed with Window
    // and the bands; raises EOutOfMemory when none can be made.
    TEnginePtr MakeEngine(int length, int bufferBytes);
    void ApplyFiltersTo(TFFTFilter* engine) const;
    // Hands the engine's design, in minimum phase, to the low-latency filter (when there is one).
    void PublishTaps();
    void OpenEngine();
    void CloseEngine();
    // Publishes the engine and low-latency filter the buffer path uses (a null engine: none)
    // and waits until no buffer uses the ones published before. Callers hold engineLock_.
    void PublishRunning(TFFTFilter* engine, TLowLatencyFilter* lowFilter);
    void Process(std::uint8_t* data, int bytes);
    // Fires PcmOverflow in the main thread without waiting for it.
    void NoticeOverflow();
    void FireOverflows();
    void FiltersChanged();
    void RebuildDisplayEngine();
    void UpdateSpectrum();
    void DrawResponse(TMMEQSpectrum& spectrum);

    std::unique_ptr<TMMEQFilterList> filterList_;
    // Orders the main thread against a closing capture worker over engine_ and lowFilter_;
    // the buffer path never takes it.
    mutable std::mutex engineLock_;
    TEnginePtr engine_;
    // With LowLatency, the filter that runs the engine's design.
    std::unique_ptr<TLowLatencyFilter> lowFilter_;
    // What the buffer path uses, published as one: the engine and, with LowLatency, the
    // filter that runs its design. Never changed once published.
    struct TRunningFilters
    {
        TFFTFilter* Engine;
        TLowLatencyFilter* LowFilter;
    };
    std::unique_ptr<const TRunningFilters> runningFilters_; // owned by the main thread
    std::atomic<const TRunningFilters*> bufferPathFilters_{nullptr};
    // Counts the buffer path's entries and exits: odd while a buffer is being filtered.
    std::atomic<std::uint32_t> bufferPasses_{0};
    // Set by SetEnabled; the buffer path resets the engine's history before its next buffer.
    std::atomic<bool> resetPending_{false};
    // Clipped buffers whose OnPcmOverflow has not run yet; one message posted for them.
    std::atomic<int> pendingOverflows_{0};
    TMessageWindow overflowWindow_;
    TEnginePtr displayEngine_;
    bool lowLatency_ = false;
    int engineBufferBytes_ = 0;
    std::atomic<bool> enabled_{true};
    std::atomic<TMMChannel> channel_{chBoth};
    int sampleRate_ = 4000; // Hz
    int fftLength_ = 8;
    std::string description_ = "Untitled";
    TMMFFTWindow window_ = fwHamming;
    TMMEQSpectrum* spectrumLink_ = nullptr;
    TComponent* spectrumOwner_ = nullptr; // spectrumLink_'s component, for its removal
    bool updating_ = false;
};

} // namespace keb
