#include "tools/FilterSettings.h"

#include "app/MemoryFile.h"
#include "tools/FilterErrors.h"

#include <algorithm>
#include <cctype>

namespace keb
{
namespace
{

TBandPositions MemoryPositions(const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        throw EFilterInputError(FileMessage(file, "no such memory file"));
    std::optional<TBandPositions> record;
    try
    {
        record = ReadMemoryRecord(file);
    }
    catch (const EInOutError& failure)
    {
        throw EFilterInputError(failure.what());
    }
    if (!record)
        throw EFilterInputError(FileMessage(
            file, "holds no saved setting (a memory file has 80 bytes; this one is shorter)"));
    return *record;
}

} // namespace

TBandPositions ShiftedPresetPositions(TPreset preset, int shift)
{
    TBandPositions positions = FlatPositions();
    auto apply = [&](int value)
    {
        if (auto presetPositions = PresetPositions(preset, value))
            positions = *presetPositions;
    };
    apply(WheelStartValue);
    if (auto maximum = PresetWheelMaximum(preset))
    {
        int target = std::clamp(shift, 0, *maximum);
        for (int value = WheelStartValue; value != target;)
        {
            value += target > value ? 1 : -1;
            apply(value);
        }
    }
    return positions;
}

TBandPositions RequestedPositions(const TFilterOptions& options)
{
    if (options.Preset)
        return ShiftedPresetPositions(*options.Preset, options.Shift);
    if (options.Gains)
        return *options.Gains;
    if (options.Memory)
        return MemoryPositions(*options.Memory);
    return FlatPositions();
}

void AddWindowBands(TMMEqualizer& equalizer, int sampleRate)
{
    // The window computes the width in extended precision and keeps it, and
    // the running edges, in single precision.
    const auto width = static_cast<float>((sampleRate / 2) * 0.05L);
    float lower = 0;
    float upper = width;
    for (int band = 0; band < BandCount; ++band)
    {
        equalizer.Filters()->Add(new TMMEQFilter(lower, upper, 0));
        lower += width;
        upper += width;
    }
}

void ApplyPositions(TMMEqualizer& equalizer, const TBandPositions& positions)
{
    for (int band = 0; band < BandCount; ++band)
    {
        int position = std::clamp(positions[band], BandClosed, BandMaximum);
        equalizer.Filters()->Items(band)->SetValue(2, static_cast<float>(position));
    }
}

void ConfigureEqualizer(TMMEqualizer& equalizer, const TFilterOptions& options,
                        const TBandPositions& positions)
{
    equalizer.SetSampleRate(FilterSampleRate);
    equalizer.SetChannel(chLeft);
    equalizer.SetFFTLength(options.FFTLength);
    equalizer.SetWindow(options.Window);
    equalizer.SetLowLatency(options.Latency == TLatency::Low);
    equalizer.SetEnabled(!options.Bypass);
    AddWindowBands(equalizer, FilterSampleRate);
    ApplyPositions(equalizer, positions);
}

std::string DescribeSettings(const TFilterOptions& options)
{
    static const char* const presetNames[] = {"0.2", "0.4", "1.8", "2.6"};
    std::string bands = "all bands at 0 dB";
    if (options.Preset)
    {
        bands = std::string("preset ") + presetNames[static_cast<int>(*options.Preset)] + " kHz";
        if (auto maximum = PresetWheelMaximum(*options.Preset))
            bands += " at shift " + std::to_string(std::clamp(options.Shift, 0, *maximum));
    }
    else if (options.Gains)
        bands = "gains of the command line";
    else if (options.Memory)
        bands = "memory " + options.Memory->filename().string();
    TMMEqualizer equalizer(nullptr);
    equalizer.SetFFTLength(options.FFTLength);
    std::string window = WindowNames()[static_cast<std::size_t>(options.Window)];
    window[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(window[0])));
    return "Equalizer response: " + bands + ", FFT length " +
           std::to_string(equalizer.FFTLength()) + ", " + window + " window" +
           (options.Latency == TLatency::Low ? ", minimum phase (low latency)" : "") +
           (options.Bypass ? " (bypassed)" : "");
}

} // namespace keb
