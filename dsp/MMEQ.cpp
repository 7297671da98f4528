#include "dsp/MMEQ.h"

#include "platform/core/MainLoop.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

namespace keb
{

namespace
{

const bool BandClassRegistered = []
{
    RegisterContainerClass<TMMEQFilter>("TMMEQFilter");
    return true;
}();

constexpr char EqualizerTag[4] = {'E', 'Q', 'U', '\0'};
constexpr char DefaultDescription[] = "Untitled";
constexpr int DefaultFFTLength = 256;
// The library-wide limit on the buffer sizes of the chain.
constexpr int LibraryBufferLimit = 65536;
constexpr int DisplayBufferBytes = 8192;
// The response is drawn over a display's whole block: up to 4096 stereo
// 16-bit frames (16384 bytes), one sample more for safety; the engine filters
// it in pieces of DisplayBufferBytes.
constexpr int ResponseBufBytes = 16386;
constexpr std::int16_t ResponseImpulse = 21500;
// The message that carries clipped buffers' notices to the main thread.
constexpr std::uint32_t OverflowMessage = 1;

bool IsFilterableFormat(const TWaveFormatEx* format)
{
    return IsValidPCMFormat(format) && format->wBitsPerSample == 16;
}

} // namespace

// ---------------------------------------------------------------- TMMEQFilter

TMMEQFilter::TMMEQFilter(float f1, float f2, float gain) : f1_(f1), f2_(f2), gain_(gain) {}

void TMMEQFilter::SetValues(float f1, float f2, float gain)
{
    if (f1 == f1_ && f2 == f2_ && gain == gain_)
        return;
    f1_ = f1;
    f2_ = f2;
    gain_ = gain;
    Changed();
}

void TMMEQFilter::SetValue(int index, float value)
{
    float values[3] = {f1_, f2_, gain_};
    if (index >= 0 && index < 3)
        values[index] = value;
    SetValues(values[0], values[1], values[2]);
}

void TMMEQFilter::SetEnabled(bool value)
{
    if (value == enabled_)
        return;
    enabled_ = value;
    Changed();
}

void TMMEQFilter::Assign(const TMMEQFilter* source)
{
    if (source == nullptr)
        return;
    SetValues(source->f1_, source->f2_, source->gain_);
    SetEnabled(source->enabled_);
}

void TMMEQFilter::Changed()
{
    if (OnChange)
        OnChange(*this);
}

void TMMEQFilter::WriteToStream(TStream& stream) const
{
    stream.WriteUInt8(enabled_ ? 1 : 0);
    stream.WriteFloat(f1_);
    stream.WriteFloat(f2_);
    stream.WriteFloat(gain_);
}

void TMMEQFilter::ReadFromStream(TStream& stream)
{
    enabled_ = stream.ReadUInt8() != 0;
    const float f1 = stream.ReadFloat();
    const float f2 = stream.ReadFloat();
    const float gain = stream.ReadFloat();
    // The engine turns these into bin indices and gain factors; only numbers make sense there.
    if (!std::isfinite(f1) || !std::isfinite(f2) || !std::isfinite(gain))
        throw EReadError("Invalid Object stream");
    SetValues(f1, f2, gain);
}

// ------------------------------------------------------------ TMMEQFilterList

TMMEQFilterList::TMMEQFilterList(TMMEqualizer* equalizer) : owner_(equalizer) {}

void TMMEQFilterList::Insert(int index, TContainerObject* object)
{
    if (dynamic_cast<TMMEQFilter*>(object) == nullptr)
        throw EListError("Invalid class typecast");
    TObjectList::Insert(index, object);
}

int TMMEQFilterList::Add(TContainerObject* object)
{
    const int index = TObjectList::Add(object);
    if (owner_ != nullptr)
    {
        TMMEqualizer* equalizer = owner_;
        static_cast<TMMEQFilter*>(object)->OnChange = [equalizer](TMMEQFilter& changed)
        { equalizer->FilterChanged(changed); };
    }
    return index;
}

void TMMEQFilterList::Rebuild(const std::function<void()>& body)
{
    BeginUpdate();
    const bool wasUpdating = owner_ != nullptr && owner_->Updating();
    if (owner_ != nullptr)
        owner_->SetUpdating(true);
    const auto finish = [&]
    {
        if (owner_ != nullptr)
            owner_->SetUpdating(wasUpdating);
        EndUpdate();
    };
    try
    {
        body();
    }
    catch (...)
    {
        finish();
        throw;
    }
    finish();
}

void TMMEQFilterList::Assign(const TMMEQFilterList* source)
{
    if (source == this)
        return;
    Rebuild(
        [&]
        {
            FreeAll();
            for (int i = 0; source != nullptr && i < source->Count(); ++i)
            {
                auto band = std::make_unique<TMMEQFilter>();
                band->Assign(source->Items(i));
                Add(band.get());
                band.release();
            }
        });
}

void TMMEQFilterList::ReadContainer(TStream& stream)
{
    Rebuild(
        [&]
        {
            ReadTag(stream, EqualizerTag);
            FreeAll();
            stream.ReadUInt8();
            SetOwnsObjects(true);
            const std::int32_t length = stream.ReadInt32();
            if (length > 0)
            {
                std::string text = stream.ReadString(static_cast<std::size_t>(length));
                text.resize(std::strlen(text.c_str()));
                if (owner_ != nullptr)
                    owner_->SetDescription(text);
            }
            const std::int32_t fftLength = stream.ReadInt32();
            if (owner_ != nullptr)
                owner_->SetFFTLength(fftLength);
            ReadObjects(stream, stream.ReadInt16());
        });
}

void TMMEQFilterList::WriteContainer(TStream& stream) const
{
    const std::string description = owner_ != nullptr ? owner_->Description() : DefaultDescription;
    stream.WriteBuffer(EqualizerTag, sizeof EqualizerTag);
    stream.WriteUInt8(OwnsObjects() ? 1 : 0);
    stream.WriteInt32(static_cast<std::int32_t>(description.size()));
    stream.WriteString(description);
    stream.WriteInt32(owner_ != nullptr ? owner_->FFTLength() : DefaultFFTLength);
    WriteObjects(stream);
}

// --------------------------------------------------------------- TMMEqualizer

TMMEqualizer::TMMEqualizer(TComponent* owner)
    : TMMDSPComponent(owner), filterList_(std::make_unique<TMMEQFilterList>(this)),
      overflowWindow_([this](const TMessage&) { FireOverflows(); })
{
    filterList_->OnChange = [this](TObjectList&) { FiltersChanged(); };
    SetFFTLength(DefaultFFTLength);
}

TMMEqualizer::~TMMEqualizer()
{
    CloseEngine();
    SetSpectrum(nullptr);
    filterList_.reset();
}

bool TMMEqualizer::EngineOpen() const
{
    std::lock_guard lock(engineLock_);
    return engine_ != nullptr;
}

void TMMEqualizer::SetEnabled(bool value)
{
    if (value == Enabled())
        return;
    // Ordered before the new value: the buffer that first sees it finds the request too.
    resetPending_.store(true, std::memory_order_relaxed);
    enabled_.store(value, std::memory_order_release);
}

void TMMEqualizer::SetSampleRate(int value)
{
    value = std::clamp(value, 4000, 100000);
    if (value == sampleRate_)
        return;
    sampleRate_ = value;
    RebuildDisplayEngine();
}

void TMMEqualizer::SetWindow(TMMFFTWindow value)
{
    if (value == window_)
        return;
    window_ = value;
    {
        std::lock_guard lock(engineLock_);
        if (engine_)
            SetFFTFilterWindow(engine_.get(), value);
        PublishTaps();
    }
    RebuildDisplayEngine();
}

void TMMEqualizer::SetFFTLength(int value)
{
    const int length =
        static_cast<int>(std::bit_floor(static_cast<unsigned>(std::clamp(value, 8, 4096))));
    if (length == fftLength_)
        return;
    fftLength_ = length;
    RebuildDisplayEngine();
    std::lock_guard lock(engineLock_);
    if (!engine_)
        return;
    // The format may have gone since the chain opened (an unlinked input):
    // then the audio passes unfiltered, as after an opening without format.
    if (!IsFilterableFormat(GetWaveFormat()))
    {
        PublishRunning(nullptr, nullptr);
        engine_.reset();
        lowFilter_.reset();
        return;
    }
    // The replacement is designed completely before the audio thread can see it.
    TEnginePtr replacement = MakeEngine(length, engineBufferBytes_);
    ApplyFiltersTo(replacement.get());
    PublishRunning(replacement.get(), lowFilter_.get());
    engine_.swap(replacement);
    PublishTaps();
}

void TMMEqualizer::SetFilters(const TMMEQFilterList* list)
{
    if (list != filterList_.get())
        filterList_->Assign(list);
}

void TMMEqualizer::Assign(const TMMEqualizer* source)
{
    if (source == nullptr)
        return;
    SetChannel(source->Channel());
    SetEnabled(source->Enabled());
    SetDescription(source->Description());
    SetFFTLength(source->FFTLength());
    SetWindow(source->Window());
    SetFilters(source->Filters());
    SetSampleRate(source->SampleRate());
}

void TMMEqualizer::SetWaveFormat(const TWaveFormatEx* Format)
{
    if (Format != nullptr)
    {
        if (!IsFilterableFormat(Format))
            throw EMMEqualizerError("Invalid WaveFormat");
        SetSampleRate(static_cast<int>(Format->nSamplesPerSec));
    }
    TMMDSPComponent::SetWaveFormat(Format);
}

TMMEqualizer::TEnginePtr TMMEqualizer::MakeEngine(int length, int bufferBytes)
{
    TEnginePtr engine(InitFFTFilter(GetWaveFormat(), length, bufferBytes));
    if (!engine)
        throw EOutOfMemory("Out of memory");
    SetFFTFilterWindow(engine.get(), window_);
    return engine;
}

void TMMEqualizer::OpenEngine()
{
    {
        std::lock_guard lock(engineLock_);
        if (engine_ || !IsFilterableFormat(GetWaveFormat()))
            return;
        engineBufferBytes_ = std::max(LibraryBufferLimit, GetBufferSize());
        engine_ = MakeEngine(fftLength_, engineBufferBytes_);
        if (lowLatency_)
            lowFilter_ = std::make_unique<TLowLatencyFilter>(GetWaveFormat()->nChannels);
        PublishRunning(engine_.get(), lowFilter_.get());
    }
    ApplyFilters();
}

void TMMEqualizer::CloseEngine()
{
    std::lock_guard lock(engineLock_);
    PublishRunning(nullptr, nullptr);
    engine_.reset();
    lowFilter_.reset();
}

void TMMEqualizer::PublishRunning(TFFTFilter* engine, TLowLatencyFilter* lowFilter)
{
    std::unique_ptr<const TRunningFilters> filters;
    if (engine != nullptr)
        filters = std::make_unique<const TRunningFilters>(TRunningFilters{engine, lowFilter});
    bufferPathFilters_.store(filters.get(), std::memory_order_seq_cst);
    // A buffer that entered before the store may still use the old ones: wait until it has
    // left. A buffer entering later sees the new ones.
    const std::uint32_t passes = bufferPasses_.load(std::memory_order_seq_cst);
    if (passes % 2 != 0)
    {
        while (bufferPasses_.load(std::memory_order_acquire) == passes)
            std::this_thread::yield();
    }
    runningFilters_ = std::move(filters);
}

void TMMEqualizer::ApplyFiltersTo(TFFTFilter* engine) const
{
    SetFFTFilterBand(engine, 0.0f, static_cast<float>(sampleRate_ * 0.5), 0.0f);
    for (int i = 0; i < filterList_->Count(); ++i)
    {
        const TMMEQFilter* band = filterList_->Items(i);
        if (band->Enabled())
            SetFFTFilterBand(engine, band->F1(), band->F2(), band->Gain());
    }
}

void TMMEqualizer::ApplyFilters()
{
    std::lock_guard lock(engineLock_);
    if (!engine_)
        return;
    ApplyFiltersTo(engine_.get());
    PublishTaps();
}

void TMMEqualizer::PublishTaps()
{
    if (!engine_ || !lowFilter_)
        return;
    std::array<float, TLowLatencyFilter::MaxTaps> taps{};
    std::array<float, TLowLatencyFilter::MaxTaps> minimumPhase{};
    const int count = FFTFilterTaps(engine_.get(), taps.data());
    MinimumPhaseTaps(taps.data(), count, minimumPhase.data());
    lowFilter_->SetTaps(minimumPhase.data(), count);
}

void TMMEqualizer::FilterChanged(TMMEQFilter& band)
{
    if (updating_)
        return;
    {
        std::lock_guard lock(engineLock_);
        if (engine_)
        {
            SetFFTFilterBand(engine_.get(), band.F1(), band.F2(),
                             band.Enabled() ? band.Gain() : 0.0f);
            PublishTaps();
        }
    }
    Changed();
}

void TMMEqualizer::FiltersChanged()
{
    if (updating_)
        return;
    ApplyFilters();
    Changed();
}

void TMMEqualizer::Changed()
{
    UpdateSpectrum();
    if (OnChange)
        OnChange(*this);
}

void TMMEqualizer::PcmOverflow()
{
    if (OnPcmOverflow)
        OnPcmOverflow(*this);
}

void TMMEqualizer::Process(std::uint8_t* data, int bytes)
{
    bool overflow = false;
    bufferPasses_.fetch_add(1, std::memory_order_seq_cst);
    const TRunningFilters* filters = bufferPathFilters_.load(std::memory_order_seq_cst);
    if (filters != nullptr && Enabled())
    {
        if (resetPending_.exchange(false, std::memory_order_relaxed))
        {
            ResetFFTFilter(filters->Engine);
            if (filters->LowFilter != nullptr)
                filters->LowFilter->Reset();
        }
        if (filters->LowFilter != nullptr)
            overflow = filters->LowFilter->Process(reinterpret_cast<std::int16_t*>(data),
                                                   bytes / GetWaveFormat()->nBlockAlign, Channel());
        else
            overflow = DoFFTFilter(filters->Engine, Channel(), data, bytes);
    }
    bufferPasses_.fetch_add(1, std::memory_order_release);
    if (overflow)
        NoticeOverflow();
}

void TMMEqualizer::NoticeOverflow()
{
    if (IsMainThread())
        PcmOverflow();
    else if (pendingOverflows_.fetch_add(1, std::memory_order_relaxed) == 0)
        overflowWindow_.Post(OverflowMessage);
}

void TMMEqualizer::FireOverflows()
{
    for (int count = pendingOverflows_.exchange(0, std::memory_order_relaxed); count > 0; --count)
        PcmOverflow();
}

void TMMEqualizer::ChainOpened()
{
    OpenEngine();
    TMMDSPComponent::ChainOpened();
}

void TMMEqualizer::ChainClosed()
{
    CloseEngine();
    TMMDSPComponent::ChainClosed();
}

void TMMEqualizer::ChainStarted()
{
    ApplyFilters();
    TMMDSPComponent::ChainStarted();
}

void TMMEqualizer::BufferReady(PWaveHdr lpWaveHdr)
{
    Process(reinterpret_cast<std::uint8_t*>(lpWaveHdr->lpData),
            static_cast<int>(std::min(lpWaveHdr->dwBytesRecorded, lpWaveHdr->dwBufferLength)));
    TMMDSPComponent::BufferReady(lpWaveHdr);
}

void TMMEqualizer::BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers)
{
    TMMDSPComponent::BufferLoad(lpWaveHdr, MoreBuffers);
    Process(reinterpret_cast<std::uint8_t*>(lpWaveHdr->lpData),
            static_cast<int>(std::min(lpWaveHdr->dwBytesRecorded, lpWaveHdr->dwBufferLength)));
}

void TMMEqualizer::Loaded()
{
    TMMDSPComponent::Loaded();
    UpdateSpectrum();
}

// ---------------------------------------------------------- the response view

void TMMEqualizer::SetSpectrum(TMMEQSpectrum* spectrum)
{
    if (spectrum == spectrumLink_)
        return;
    if (spectrumLink_ != nullptr)
    {
        // The old display must not keep a hook into this equalizer.
        spectrumLink_->SetDrawHook(nullptr);
        UpdateSpectrum();
        displayEngine_.reset();
        RemoveFreeNotification(spectrumOwner_);
    }
    spectrumLink_ = spectrum;
    spectrumOwner_ = nullptr;
    if (spectrumLink_ == nullptr)
        return;
    spectrumOwner_ = &spectrumLink_->SpectrumComponent();
    FreeNotification(spectrumOwner_);
    RebuildDisplayEngine();
    spectrumLink_->SetWindow(fwRectangular);
    spectrumLink_->SetDrawHook([this](TMMEQSpectrum& target) { DrawResponse(target); });
}

void TMMEqualizer::Notification(TComponent* component, TOperation operation)
{
    TMMDSPComponent::Notification(component, operation);
    // The display is being destroyed: it is not asked anything any more.
    if (operation == TOperation::opRemove && component != nullptr && component == spectrumOwner_)
    {
        spectrumLink_ = nullptr;
        spectrumOwner_ = nullptr;
        displayEngine_.reset();
    }
}

void TMMEqualizer::RebuildDisplayEngine()
{
    displayEngine_.reset();
    if (spectrumLink_ == nullptr)
        return;
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, static_cast<std::uint32_t>(sampleRate_));
    displayEngine_.reset(InitFFTFilter(&format, fftLength_, DisplayBufferBytes));
    if (!displayEngine_)
        throw EOutOfMemory("Out of memory");
    spectrumLink_->SetWaveFormat(&format);
    SetFFTFilterWindow(displayEngine_.get(), window_);
    UpdateSpectrum();
}

void TMMEqualizer::UpdateSpectrum()
{
    if (spectrumLink_ != nullptr && !IsLoading() && !IsReading())
        spectrumLink_->Redraw();
}

void TMMEqualizer::DrawResponse(TMMEQSpectrum& spectrum)
{
    if (!displayEngine_)
        return;
    // The display engine is the main thread's alone; a reset keeps earlier draws out.
    ResetFFTFilter(displayEngine_.get());
    ApplyFiltersTo(displayEngine_.get());
    std::array<std::int16_t, ResponseBufBytes / 2> impulse{};
    impulse[0] = ResponseImpulse;
    const int bytes = std::min(std::max(spectrum.BlockBytes(), 2 * fftLength_), ResponseBufBytes);
    DoFFTFilter(displayEngine_.get(), chLeft, impulse.data(), bytes);
    spectrum.ShowBuffer(impulse.data(), bytes);
}

} // namespace keb
