// The command line of keb.
//
//   keb [--demo] [--input DEV] [--output DEV] [--latency standard|low]
//       [--preset 0.2|0.4|1.8|2.6] [--shift N] [--nr off|1|2|3] [--notch]
//       [--notch-at HZ[,HZ...]] [--on] [--quit-after S] [--verbose]
//   keb [--demo] [--verbose] --list-devices
//   keb --version | -V | --recording-devices | --help | -h
//
// Options take their value as the next argument or after '=' (--shift=2).
// ParseCommandLine raises EUsageError with a one-line cause for an unknown
// option, a missing or malformed value, or an action mixed with window
// options. Device names are kept as text: they are resolved against the
// devices of the sound layer in use once it is chosen (see Startup.h).
// Qt-free, no state.
#pragma once

#include "app/LatencyMode.h"
#include "platform/core/Exceptions.h"
#include "settings/Presets.h"

#include <optional>
#include <string>
#include <vector>

namespace keb
{

KEB_EXCEPTION_CLASS(EUsageError, Exception);

// The longest --quit-after, in seconds: 365 days.
constexpr double MaxQuitAfterSeconds = 365.0 * 24 * 3600;

struct TCommandLine
{
    enum class TAction
    {
        Window,
        ListDevices,
        Version,
        RecordingDevices,
        Help
    };
    TAction Action = TAction::Window;
    bool Demo = false;
    // The sound libraries' own messages are shown, not muted.
    bool Verbose = false;
    std::optional<std::string> Input;
    std::optional<std::string> Output;
    std::optional<TLatency> Latency;
    std::optional<TPreset> Preset;
    std::optional<int> Shift;
    std::optional<int> NoiseReduction;
    bool Notch = false;
    std::optional<std::vector<float>> NotchAt;
    bool On = false;
    // Seconds after which the window switches OFF and closes: 0 < S <= a year.
    std::optional<double> QuitAfter;
};

TCommandLine ParseCommandLine(int argc, const char* const* argv);

// The text of `keb --help`.
const char* CommandLineHelp();

} // namespace keb
