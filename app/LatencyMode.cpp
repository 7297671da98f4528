#include "app/LatencyMode.h"

#include "app/unit1.h"

namespace keb
{

namespace
{

constexpr TLatencySettings StandardSettings{2000, 2, 2, 2, 256};
constexpr TLatencySettings LowSettings{128, 8, 2, 2, 128};

// The buffer size is that of all three, or 0 when they differ.
TLatencySettings SettingsOf(const TMainForm& form)
{
    const std::int32_t size = form.MMWaveIn->GetBufferSize();
    const bool sameSize =
        form.MMRingBuffer1->GetBufferSize() == size && form.WaveOut->GetBufferSize() == size;
    return {sameSize ? size : 0, form.MMWaveIn->NumBuffers(), form.WaveOut->NumBuffers(),
            form.MMRingBuffer1->GetNumBuffers(), form.Equalizer->FFTLength()};
}

// Every component the settings touch must be closed; the others keep still.
bool ChainClosed(const TMainForm& form)
{
    return form.MMWaveIn->HasState(wsClosed) && form.WaveOut->HasState(wsClosed) &&
           !form.MMRingBuffer1->QueueOpen() && !form.Equalizer->EngineOpen();
}

} // namespace

TLatencySettings LatencySettings(TLatency latency)
{
    return latency == TLatency::Low ? LowSettings : StandardSettings;
}

std::string_view LatencyName(TLatency latency)
{
    return latency == TLatency::Low ? "low" : "standard";
}

std::optional<TLatency> LatencyNamed(std::string_view name)
{
    for (TLatency latency : {TLatency::Standard, TLatency::Low})
        if (name == LatencyName(latency))
            return latency;
    return std::nullopt;
}

std::optional<TLatency> LatencyOf(const TMainForm& form)
{
    const TLatencySettings current = SettingsOf(form);
    for (TLatency latency : {TLatency::Standard, TLatency::Low})
        if (current == LatencySettings(latency))
            return latency;
    return std::nullopt;
}

void ApplyLatency(TMainForm& form, TLatency latency)
{
    if (!ChainClosed(form))
        throw ELatencyError("Change to property while device was open");
    const TLatencySettings settings = LatencySettings(latency);
    form.MMWaveIn->SetBufferSize(settings.BufferSize);
    form.MMWaveIn->SetNumBuffers(settings.CaptureBuffers);
    form.MMRingBuffer1->SetBufferSize(settings.BufferSize);
    form.MMRingBuffer1->SetNumBuffers(settings.RingSlots);
    form.WaveOut->SetBufferSize(settings.BufferSize);
    form.WaveOut->SetNumBuffers(settings.PlaybackBuffers);
    form.Equalizer->SetFFTLength(settings.FFTLength);
}

} // namespace keb
