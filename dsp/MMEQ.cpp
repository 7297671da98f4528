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
constexpr int DisplayBufSize = 8192;
// The response is drawn over a display's whole block: up to 4096 stereo
// 16-bit frames (16384 bytes), one sample more for safety; the engine filters
// it in pieces of DisplayBufSize.
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

TMMEQFilter::TMMEQFilter(float f1, float f2, float gain) : F1Value(f1), F2Value(f2), GainValue(gain)
{
}

void TMMEQFilter::SetValues(float f1, float f2, float gain)
{
    if (f1 == F1Value && f2 == F2Value && gain == GainValue)
        return;
    F1Value = f1;
    F2Value = f2;
    GainValue = gain;
    Changed();
}

void TMMEQFilter::SetValue(int index, float value)
{
    float values[3] = {F1Value, F2Value, GainValue};
    if (index >= 0 && index < 3)
        values[index] = value;
    SetValues(values[0], values[1], values[2]);
}

void TMMEQFilter::SetEnabled(bool value)
{
    if (value == EnabledValue)
        return;
    EnabledValue = value;
    Changed();
}

void TMMEQFilter::Assign(const TMMEQFilter* source)
{
    if (source == nullptr)
        return;
    SetValues(source->F1Value, source->F2Value, source->GainValue);
    SetEnabled(source->EnabledValue);
}

void TMMEQFilter::Changed()
{
    if (OnChange)
        OnChange(*this);
}

void TMMEQFilter::WriteToStream(TStream& stream) const
{
    stream.WriteUInt8(EnabledValue ? 1 : 0);
    stream.WriteFloat(F1Value);
    stream.WriteFloat(F2Value);
    stream.WriteFloat(GainValue);
}

void TMMEQFilter::ReadFromStream(TStream& stream)
{
    EnabledValue = stream.ReadUInt8() != 0;
    const float f1 = stream.ReadFloat();
    const float f2 = stream.ReadFloat();
    const float gain = stream.ReadFloat();
    // The engine turns these into bin indices and gain factors; only numbers make sense there.
    if (!std::isfinite(f1) || !std::isfinite(f2) || !std::isfinite(gain))
        throw EReadError("Invalid Object stream");
    SetValues(f1, f2, gain);
}

// ------------------------------------------------------------ TMMEQFilterList

TMMEQFilterList::TMMEQFilterList(TMMEqualizer* equalizer) : Owner(equalizer) {}

void TMMEQFilterList::Insert(int index, TContainerObject* band)
{
    if (dynamic_cast<TMMEQFilter*>(band) == nullptr)
        throw EListError("Invalid class typecast");
    TObjectList::Insert(index, band);
}

int TMMEQFilterList::Add(TContainerObject* band)
{
    const int index = TObjectList::Add(band);
    if (Owner != nullptr)
    {
        TMMEqualizer* equalizer = Owner;
        static_cast<TMMEQFilter*>(band)->OnChange = [equalizer](TMMEQFilter& changed)
        { equalizer->FilterChanged(changed); };
    }
    return index;
}

void TMMEQFilterList::Rebuild(const std::function<void()>& body)
{
    BeginUpdate();
    const bool wasUpdating = Owner != nullptr && Owner->Updating();
    if (Owner != nullptr)
        Owner->SetUpdating(true);
    const auto finish = [&]
    {
        if (Owner != nullptr)
            Owner->SetUpdating(wasUpdating);
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
                if (Owner != nullptr)
                    Owner->SetDescription(text);
            }
            const std::int32_t fftLength = stream.ReadInt32();
            if (Owner != nullptr)
                Owner->SetFFTLength(fftLength);
            ReadObjects(stream, stream.ReadInt16());
        });
}

void TMMEQFilterList::WriteContainer(TStream& stream) const
{
    const std::string description = Owner != nullptr ? Owner->Description() : DefaultDescription;
    stream.WriteBuffer(EqualizerTag, sizeof EqualizerTag);
    stream.WriteUInt8(OwnsObjects() ? 1 : 0);
    stream.WriteInt32(static_cast<std::int32_t>(description.size()));
    stream.WriteString(description);
    stream.WriteInt32(Owner != nullptr ? Owner->FFTLength() : DefaultFFTLength);
    WriteObjects(stream);
}

// --------------------------------------------------------------- TMMEqualizer

TMMEqualizer::TMMEqualizer(TComponent* owner)
    : TMMDSPComponent(owner), FilterList(std::make_unique<TMMEQFilterList>(this)),
      overflowWindow_([this](const TMessage&) { FireOverflows(); })
{
    FilterList->OnChange = [this](TObjectList&) { FiltersChanged(); };
    SetFFTLength(DefaultFFTLength);
}

TMMEqualizer::~TMMEqualizer()
{
    CloseEngine();
    SetSpectrum(nullptr);
    FilterList.reset();
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
    EnabledValue.store(value, std::memory_order_release);
}

void TMMEqualizer::SetSampleRate(int value)
{
    value = std::clamp(value, 4000, 100000);
    if (value == SampleRateValue)
        return;
    SampleRateValue = value;
    RebuildDisplayEngine();
}

void TMMEqualizer::SetWindow(TMMFFTWindow value)
{
    if (value == WindowValue)
        return;
    WindowValue = value;
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
    if (length == FFTLengthValue)
        return;
    FFTLengthValue = length;
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
    EnginePtr replacement = MakeEngine(length, EngineBufSize);
    ApplyFiltersTo(replacement.get());
    PublishRunning(replacement.get(), lowFilter_.get());
    engine_.swap(replacement);
    PublishTaps();
}

void TMMEqualizer::SetFilters(const TMMEQFilterList* list)
{
    if (list != FilterList.get())
        FilterList->Assign(list);
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

void TMMEqualizer::SetWaveFormat(const TWaveFormatEx* format)
{
    if (format != nullptr)
    {
        if (!IsFilterableFormat(format))
            throw EMMEqualizerError("Invalid WaveFormat");
        SetSampleRate(static_cast<int>(format->nSamplesPerSec));
    }
    TMMDSPComponent::SetWaveFormat(format);
}

TMMEqualizer::EnginePtr TMMEqualizer::MakeEngine(int length, int bufferSize)
{
    EnginePtr engine(InitFFTFilter(GetWaveFormat(), length, bufferSize));
    if (!engine)
        throw EOutOfMemory("Out of memory");
    SetFFTFilterWindow(engine.get(), WindowValue);
    return engine;
}

void TMMEqualizer::OpenEngine()
{
    {
        std::lock_guard lock(engineLock_);
        if (engine_ || !IsFilterableFormat(GetWaveFormat()))
            return;
        EngineBufSize = std::max(LibraryBufferLimit, GetBufferSize());
        engine_ = MakeEngine(FFTLengthValue, EngineBufSize);
        if (LowLatencyValue)
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
    SetFFTFilterBand(engine, 0.0f, static_cast<float>(SampleRateValue * 0.5), 0.0f);
    for (int i = 0; i < FilterList->Count(); ++i)
    {
        const TMMEQFilter* band = FilterList->Items(i);
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
    if (UpdatingValue)
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
    if (UpdatingValue)
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

void TMMEqualizer::BufferReady(PWaveHdr header)
{
    Process(reinterpret_cast<std::uint8_t*>(header->lpData),
            static_cast<int>(std::min(header->dwBytesRecorded, header->dwBufferLength)));
    TMMDSPComponent::BufferReady(header);
}

void TMMEqualizer::BufferLoad(PWaveHdr header, bool& moreBuffers)
{
    TMMDSPComponent::BufferLoad(header, moreBuffers);
    Process(reinterpret_cast<std::uint8_t*>(header->lpData),
            static_cast<int>(std::min(header->dwBytesRecorded, header->dwBufferLength)));
}

void TMMEqualizer::Loaded()
{
    TMMDSPComponent::Loaded();
    UpdateSpectrum();
}

// ---------------------------------------------------------- the response view

void TMMEqualizer::SetSpectrum(TMMEQSpectrum* spectrum)
{
    if (spectrum == SpectrumLink)
        return;
    if (SpectrumLink != nullptr)
    {
        // The old display must not keep a hook into this equalizer.
        SpectrumLink->SetDrawHook(nullptr);
        UpdateSpectrum();
        DisplayEngine.reset();
        RemoveFreeNotification(SpectrumOwner);
    }
    SpectrumLink = spectrum;
    SpectrumOwner = nullptr;
    if (SpectrumLink == nullptr)
        return;
    SpectrumOwner = &SpectrumLink->SpectrumComponent();
    FreeNotification(SpectrumOwner);
    RebuildDisplayEngine();
    SpectrumLink->SetWindow(fwRectangular);
    SpectrumLink->SetDrawHook([this](TMMEQSpectrum& target) { DrawResponse(target); });
}

void TMMEqualizer::Notification(TComponent* component, TOperation operation)
{
    TMMDSPComponent::Notification(component, operation);
    // The display is being destroyed: it is not asked anything any more.
    if (operation == TOperation::opRemove && component != nullptr && component == SpectrumOwner)
    {
        SpectrumLink = nullptr;
        SpectrumOwner = nullptr;
        DisplayEngine.reset();
    }
}

void TMMEqualizer::RebuildDisplayEngine()
{
    DisplayEngine.reset();
    if (SpectrumLink == nullptr)
        return;
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, static_cast<std::uint32_t>(SampleRateValue));
    DisplayEngine.reset(InitFFTFilter(&format, FFTLengthValue, DisplayBufSize));
    if (!DisplayEngine)
        throw EOutOfMemory("Out of memory");
    SpectrumLink->SetWaveFormat(&format);
    SetFFTFilterWindow(DisplayEngine.get(), WindowValue);
    UpdateSpectrum();
}

void TMMEqualizer::UpdateSpectrum()
{
    if (SpectrumLink != nullptr && !IsLoading() && !IsReading())
        SpectrumLink->Redraw();
}

void TMMEqualizer::DrawResponse(TMMEQSpectrum& spectrum)
{
    if (!DisplayEngine)
        return;
    // The display engine is the main thread's alone; a reset keeps earlier draws out.
    ResetFFTFilter(DisplayEngine.get());
    ApplyFiltersTo(DisplayEngine.get());
    std::array<std::int16_t, ResponseBufBytes / 2> impulse{};
    impulse[0] = ResponseImpulse;
    const int bytes =
        std::min(std::max(spectrum.BlockBytes(), 2 * FFTLengthValue), ResponseBufBytes);
    DoFFTFilter(DisplayEngine.get(), chLeft, impulse.data(), bytes);
    spectrum.ShowBuffer(impulse.data(), bytes);
}

} // namespace keb
