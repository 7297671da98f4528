#include "tools/FilterSettings.h"

#include "settings/MemoryFile.h"
#include "tools/FilterErrors.h"

#include <algorithm>
#include <cctype>

namespace keb
{
namespace
{

// Why `file` cannot be a memory file, or empty when it may be one. Only
// regular files are opened: a pipe or a device would be waited on.
std::string MemoryFileTrouble(const std::filesystem::path& file)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    switch (status.type())
    {
    case std::filesystem::file_type::regular:
        return {};
    case std::filesystem::file_type::not_found:
        return "no such memory file";
    case std::filesystem::file_type::directory:
        return "is a folder, not a memory file";
    case std::filesystem::file_type::none:
        return "cannot be looked at: " + error.message();
    default:
        return "is not a regular file (a pipe, socket or device), not a memory file";
    }
}

TBandPositions MemoryPositions(const std::filesystem::path& file)
{
    if (const std::string trouble = MemoryFileTrouble(file); !trouble.empty())
        throw EFilterInputError(FileMessage(file, trouble));
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

void ConfigureCleanup(TMMNotchFilter& notch, TMMNoiseReducer& reducer,
                      const TFilterOptions& options)
{
    ApplyCleanup(options.Cleanup, notch, reducer);
    notch.SetEnabled(!options.Bypass);
    reducer.SetEnabled(!options.Bypass);
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
