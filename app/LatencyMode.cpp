#include "app/LatencyMode.h"

#include "app/unit1.h"
#include "platform/audio/WaveAudio.h"
#include "platform/audio/WaveLatency.h"

#include <algorithm>
#include <cmath>

namespace keb
{

namespace
{

constexpr TLatencySettings StandardSettings{2000, 2, 2, 2, 256, false};
constexpr TLatencySettings LowSettings{128, 8, 2, 2, 256, true};
constexpr double BytesPerSecond = 16000; // 8000 Hz, 16-bit mono

// The longer period of the window's two devices.
double DeviceBlockSeconds(const TMainForm& form)
{
    return std::max(WaveInGetBlockSeconds(form.MMWaveIn->DeviceID()),
                    WaveOutGetBlockSeconds(form.WaveOut->DeviceID()));
}

// The buffer size is that of all three, or 0 when they differ.
TLatencySettings SettingsOf(const TMainForm& form)
{
    const std::int32_t size = form.MMWaveIn->GetBufferSize();
    const bool sameSize =
        form.MMRingBuffer1->GetBufferSize() == size && form.WaveOut->GetBufferSize() == size;
    return {sameSize ? size : 0,         form.MMWaveIn->NumBuffers(),
            form.WaveOut->NumBuffers(),  form.MMRingBuffer1->GetNumBuffers(),
            form.Equalizer->FFTLength(), form.Equalizer->LowLatency()};
}

// Every component the settings touch must be closed; the others keep still.
bool ChainClosed(const TMainForm& form)
{
    return form.MMWaveIn->HasState(wsClosed) && form.WaveOut->HasState(wsClosed) &&
           !form.MMRingBuffer1->QueueOpen() && !form.Equalizer->EngineOpen();
}

} // namespace

TLatencySettings LatencySettings(TLatency latency, double deviceBlockSeconds)
{
    if (latency == TLatency::Standard)
        return StandardSettings;
    // Whole low buffers that hold one period of the device (a rounding error
    // in the period's seconds must not add a buffer), at most a standard one.
    TLatencySettings settings = LowSettings;
    const double buffers =
        std::ceil(deviceBlockSeconds * BytesPerSecond / LowSettings.BufferSize - 1e-6);
    if (buffers > 1)
        settings.BufferSize = std::min(StandardSettings.BufferSize,
                                       static_cast<std::int32_t>(buffers) * LowSettings.BufferSize);
    // A buffer that spans several short periods fills and empties a piece
    // per period, so the threads between the devices meet it at uneven
    // times: one more playback buffer keeps the device from running dry.
    const double bufferSeconds = settings.BufferSize / BytesPerSecond;
    if (deviceBlockSeconds > 0 && bufferSeconds > deviceBlockSeconds + 1e-6)
        ++settings.PlaybackBuffers;
    return settings;
}

std::optional<TLatency> LatencyOf(const TMainForm& form)
{
    const TLatencySettings current = SettingsOf(form);
    for (TLatency latency : {TLatency::Standard, TLatency::Low})
        if (current == LatencySettings(latency, DeviceBlockSeconds(form)))
            return latency;
    return std::nullopt;
}

void ApplyLatency(TMainForm& form, TLatency latency)
{
    if (!ChainClosed(form))
        throw ELatencyError("Change to property while device was open");
    const TLatencySettings settings = LatencySettings(latency, DeviceBlockSeconds(form));
    form.MMWaveIn->SetBufferSize(settings.BufferSize);
    form.MMWaveIn->SetNumBuffers(settings.CaptureBuffers);
    form.MMRingBuffer1->SetBufferSize(settings.BufferSize);
    form.MMRingBuffer1->SetNumBuffers(settings.RingSlots);
    form.WaveOut->SetBufferSize(settings.BufferSize);
    form.WaveOut->SetNumBuffers(settings.PlaybackBuffers);
    form.Equalizer->SetFFTLength(settings.FFTLength);
    form.Equalizer->SetLowLatency(settings.LowLatencyFilter);
    WaveSetLatency(latency == TLatency::Low ? TWaveLatency::Low : TWaveLatency::Standard);
}

} // namespace keb
