// The command line of keb-filter: `keb-filter [options] INPUT OUTPUT`.
//
// Options take their value as the next argument or after '=' (--shift=6);
// "--" ends the options. ParseFilterOptions raises EFilterUsageError with a
// one-line cause for anything it cannot follow: an unknown option, a missing
// or malformed value, a wrong number of files, or settings that exclude each
// other (--preset, --gains and --memory each set all 20 bands), a picture
// name that does not end in .png, and an --fft-length the equalizer has not.
// The band gains and the shift are kept as given: the window's clamps
// (slider, wheel) apply when the settings reach the equalizer
// (FilterSettings.h).
#pragma once

#include "dsp/CleanupSettings.h"
#include "dsp/MMFFT.h"
#include "settings/BandPositions.h"
#include "settings/LatencyName.h"
#include "settings/Presets.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace keb
{

// The widths --waterfall-width accepts, and the width without it.
constexpr int MinWaterfallWidth = 100;      // columns
constexpr int MaxWaterfallWidth = 30000;    // columns
constexpr int DefaultWaterfallWidth = 1800; // columns

// Which channel of the input feeds the filter; mix averages all channels.
enum class TChannelPick
{
    Left,
    Right,
    Mix
};

// The shift wheel's value when the window starts.
constexpr int WheelStartValue = 4;

struct TFilterOptions
{
    enum class TAction
    {
        Filter,
        Help,
        Version
    };

    TAction Action = TAction::Filter;
    std::filesystem::path Input;
    std::filesystem::path Output;
    TChannelPick Channel = TChannelPick::Left;
    std::optional<TPreset> Preset;
    int Shift = WheelStartValue;
    std::optional<TBandPositions> Gains;
    std::optional<std::filesystem::path> Memory;
    bool Bypass = false;
    // The notch filter and the noise reducer behind the equalizer.
    TCleanupSettings Cleanup;
    int FFTLength = 256;
    TMMFFTWindow Window = fwHamming;
    // Low: the window's Low mode filter (the same design in minimum phase).
    TLatency Latency = TLatency::Standard;
    bool Align = false;
    // The output's sample rate; the filter's own 8000 Hz when not given.
    std::optional<int> Rate; // Hz
    std::optional<std::filesystem::path> WaterfallIn;
    std::optional<std::filesystem::path> WaterfallOut;
    std::optional<std::filesystem::path> Response;
    // The waterfall pictures' widest plot, in columns: longer recordings
    // have several blocks averaged into each column.
    int WaterfallWidth = DefaultWaterfallWidth; // columns
    bool Quiet = false;
};

// The FFT lengths --fft-length accepts: the powers of two in this range.
constexpr int MinFFTLength = 8;
constexpr int MaxFFTLength = 4096;

// The output rates --rate accepts.
constexpr int MinOutputRate = 1000;   // Hz
constexpr int MaxOutputRate = 384000; // Hz

// Arguments without the program's name.
TFilterOptions ParseFilterOptions(const std::vector<std::string>& arguments);

// The text of --help.
std::string FilterUsage();

// The lower-case names of --window, in TMMFFTWindow order.
const std::vector<std::string>& WindowNames();

} // namespace keb
