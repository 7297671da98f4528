#include "tools/FilterOptions.h"

#include "settings/NumberText.h"
#include "tools/FilterErrors.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>

namespace keb
{
namespace
{

[[noreturn]] void Refuse(const std::string& cause)
{
    throw EFilterUsageError(cause + " (see --help)");
}

int ParseInteger(const std::string& option, const std::string& text)
{
    const std::optional<int> value = NumberIn<int>(text);
    if (!value)
        Refuse(option + " wants a whole number, not \"" + text + "\"");
    return *value;
}

TPreset ParsePreset(const std::string& text)
{
    const std::optional<TPreset> preset = PresetNamed(text);
    if (!preset)
        Refuse("--preset wants 0.2, 0.4, 1.8 or 2.6, not \"" + text + "\"");
    return *preset;
}

TBandPositions ParseGains(const std::string& text)
{
    TBandPositions gains{};
    std::size_t start = 0;
    for (int band = 0; band < BandCount; ++band)
    {
        std::size_t comma = text.find(',', start);
        bool last = band == BandCount - 1;
        if (last != (comma == std::string::npos))
            Refuse("--gains wants " + std::to_string(BandCount) +
                   " whole numbers of decibels separated by commas");
        gains[band] = ParseInteger("--gains", text.substr(start, comma - start));
        start = comma + 1;
    }
    return gains;
}

TChannelPick ParseChannel(const std::string& text)
{
    if (text == "left")
        return TChannelPick::Left;
    if (text == "right")
        return TChannelPick::Right;
    if (text == "mix")
        return TChannelPick::Mix;
    Refuse("--channel wants left, right or mix, not \"" + text + "\"");
}

TMMFFTWindow ParseWindow(const std::string& text)
{
    const auto& names = WindowNames();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == text)
            return static_cast<TMMFFTWindow>(i);
    std::string known;
    for (const auto& name : names)
        known += (known.empty() ? "" : ", ") + name;
    Refuse("--window wants one of " + known + ", not \"" + text + "\"");
}

int ParseFFTLength(const std::string& text)
{
    int length = ParseInteger("--fft-length", text);
    if (length < MinFFTLength || length > MaxFFTLength || (length & (length - 1)) != 0)
        Refuse("--fft-length wants a power of two from " + std::to_string(MinFFTLength) + " to " +
               std::to_string(MaxFFTLength) + ", not " + text);
    return length;
}

// A whole number from minimum to maximum; the refusal names the range in `unit`.
int ParseIntegerIn(const std::string& option, const std::string& text, int minimum, int maximum,
                   const std::string& unit)
{
    int value = ParseInteger(option, text);
    if (value < minimum || value > maximum)
        Refuse(option + " wants " + std::to_string(minimum) + " .. " + std::to_string(maximum) +
               " " + unit + ", not " + text);
    return value;
}

// Pictures are written as PNG only; another ending would be a file that is
// not what its name says.
std::filesystem::path PictureName(const std::string& option, const std::string& text)
{
    std::string ending = std::filesystem::path(text).extension().string();
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ending != ".png")
        Refuse(option + " writes PNG pictures; the name must end in .png, not \"" + text + "\"");
    return text;
}

int ParseNoiseLevel(const std::string& text)
{
    const std::optional<int> level = NoiseLevelNamed(text);
    if (!level)
        Refuse(NoiseLevelRefusal(text));
    return *level;
}

std::vector<float> ParseNotches(const std::string& text)
{
    const std::optional<std::vector<float>> notches = NotchListNamed(text);
    if (!notches || notches->empty())
        Refuse(NotchListRefusal(text));
    return *notches;
}

TLatency ParseLatency(const std::string& text)
{
    const std::optional<TLatency> latency = LatencyNamed(text);
    if (!latency)
        Refuse("--latency wants standard or low, not \"" + text + "\"");
    return *latency;
}

using TValueSetter = std::function<void(TFilterOptions&, const std::string&)>;
using TFlagSetter = std::function<void(TFilterOptions&)>;

const std::map<std::string, TValueSetter>& ValueOptions()
{
    static const std::map<std::string, TValueSetter> options{
        {"--channel", [](auto& o, const auto& v) { o.Channel = ParseChannel(v); }},
        {"--preset", [](auto& o, const auto& v) { o.Preset = ParsePreset(v); }},
        {"--shift", [](auto& o, const auto& v) { o.Shift = ParseInteger("--shift", v); }},
        {"--gains", [](auto& o, const auto& v) { o.Gains = ParseGains(v); }},
        {"--memory", [](auto& o, const auto& v) { o.Memory = v; }},
        {"--fft-length", [](auto& o, const auto& v) { o.FFTLength = ParseFFTLength(v); }},
        {"--window", [](auto& o, const auto& v) { o.Window = ParseWindow(v); }},
        {"--latency", [](auto& o, const auto& v) { o.Latency = ParseLatency(v); }},
        {"--rate", [](auto& o, const auto& v)
         { o.Rate = ParseIntegerIn("--rate", v, MinOutputRate, MaxOutputRate, "Hz"); }},
        {"--waterfall-in",
         [](auto& o, const auto& v) { o.WaterfallIn = PictureName("--waterfall-in", v); }},
        {"--waterfall-out",
         [](auto& o, const auto& v) { o.WaterfallOut = PictureName("--waterfall-out", v); }},
        {"--waterfall-width",
         [](auto& o, const auto& v)
         {
             o.WaterfallWidth = ParseIntegerIn("--waterfall-width", v, MinWaterfallWidth,
                                               MaxWaterfallWidth, "columns");
         }},
        {"--response", [](auto& o, const auto& v) { o.Response = PictureName("--response", v); }},
        {"--nr", [](auto& o, const auto& v) { o.Cleanup.NoiseReduction = ParseNoiseLevel(v); }},
        {"--notch-at", [](auto& o, const auto& v) { o.Cleanup.Notches = ParseNotches(v); }},
    };
    return options;
}

const std::map<std::string, TFlagSetter>& FlagOptions()
{
    using TAction = TFilterOptions::TAction;
    static const std::map<std::string, TFlagSetter> options{
        {"--bypass", [](auto& o) { o.Bypass = true; }},
        {"--align", [](auto& o) { o.Align = true; }},
        {"--notch", [](auto& o) { o.Cleanup.AutomaticNotch = true; }},
        {"--quiet", [](auto& o) { o.Quiet = true; }},
        {"--help", [](auto& o) { o.Action = TAction::Help; }},
        {"-h", [](auto& o) { o.Action = TAction::Help; }},
        {"--version", [](auto& o) { o.Action = TAction::Version; }},
        {"-V", [](auto& o) { o.Action = TAction::Version; }},
    };
    return options;
}

// Applies the option at arguments[index]; returns the index of the next argument.
std::size_t ApplyOption(TFilterOptions& options, const std::vector<std::string>& arguments,
                        std::size_t index, std::vector<std::string>& seen)
{
    const std::string& argument = arguments[index];
    std::size_t equals = argument.find('=');
    std::string name = argument.substr(0, equals);
    for (const auto& earlier : seen)
        if (earlier == name)
            Refuse(name + " is given twice");
    seen.push_back(name);
    if (auto flag = FlagOptions().find(name); flag != FlagOptions().end())
    {
        if (equals != std::string::npos)
            Refuse(name + " takes no value");
        flag->second(options);
        return index + 1;
    }
    auto valued = ValueOptions().find(name);
    if (valued == ValueOptions().end())
        Refuse("unknown option " + name);
    if (equals != std::string::npos)
    {
        valued->second(options, argument.substr(equals + 1));
        return index + 1;
    }
    if (index + 1 >= arguments.size())
        Refuse(name + " wants a value");
    valued->second(options, arguments[index + 1]);
    return index + 2;
}

void CheckCombinations(const TFilterOptions& options, const std::vector<std::string>& seen)
{
    int bandSources = (options.Preset ? 1 : 0) + (options.Gains ? 1 : 0) + (options.Memory ? 1 : 0);
    if (bandSources > 1)
        Refuse("--preset, --gains and --memory each set every band; give one of them");
    bool shiftGiven = false;
    for (const auto& name : seen)
        shiftGiven |= name == "--shift";
    if (shiftGiven && !options.Preset)
        Refuse("--shift moves a preset; give --preset too");
}

} // namespace

const std::vector<std::string>& WindowNames()
{
    static const std::vector<std::string> names{"rectangular", "hamming", "hanning", "blackman",
                                                "gaussian",    "welch",   "parzen"};
    return names;
}

TFilterOptions ParseFilterOptions(const std::vector<std::string>& arguments)
{
    TFilterOptions options;
    std::vector<std::string> files;
    std::vector<std::string> seen;
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size();)
    {
        const std::string& argument = arguments[index];
        if (!optionsEnded && argument == "--")
        {
            optionsEnded = true;
            ++index;
        }
        else if (!optionsEnded && argument.size() > 1 && argument[0] == '-')
        {
            index = ApplyOption(options, arguments, index, seen);
        }
        else
        {
            files.push_back(argument);
            ++index;
        }
    }
    if (options.Action != TFilterOptions::TAction::Filter)
        return options;
    if (files.size() != 2)
        Refuse("wants an INPUT and an OUTPUT file, got " + std::to_string(files.size()) +
               " file name" + (files.size() == 1 ? "" : "s"));
    options.Input = files[0];
    options.Output = files[1];
    CheckCombinations(options, seen);
    return options;
}

std::string FilterUsage()
{
    return R"(Usage: keb-filter [options] INPUT OUTPUT

Filters a recording through the same 20-band equalizer the KEB window plays
through, and writes 16-bit PCM (WAV, FLAC, AIFF, AU or CAF by OUTPUT's ending;
WAV over 4 GiB is written as RF64). INPUT may be any file libsndfile reads, at
any rate (it is resampled to 8000 Hz). INPUT "-" is standard input, OUTPUT "-"
writes WAV to standard output.

Filter settings (default: all bands at 0 dB, as the window starts):
  --preset 0.2|0.4|1.8|2.6  a band-pass preset of the window
  --shift V                 the shift wheel's value for 0.2, 0.4 and 1.8 (default 4);
                            kept in the wheel's range like the wheel
  --gains g0,...,g19        dB per 200 Hz band, whole numbers, clamped to -60..12
  --memory FILE             a memory file the window saved (F1.dat .. F4.dat)
  --bypass                  the Filter Off switch: audio passes unfiltered (no
                            equalizer, notch or noise reduction)
  --nr off|1|2|3            noise reduction: 1 gentle, 2 normal, 3 strong (default off)
  --notch                   the automatic notch: removes steady tones (carriers)
  --notch-at HZ[,HZ...]     up to four notches of your own, 20 to 3600 Hz
  --fft-length L            the equalizer's FFT length: 8, 16, .. 4096 (default 256)
  --window NAME             rectangular, hamming (default), hanning, blackman,
                            gaussian, welch or parzen
  --latency standard|low    the window's latency mode whose filter to apply:
                            low runs the same design in minimum phase, as the
                            window's Low mode plays it (default standard)

Processing and output:
  --channel left|right|mix  the input channel to filter (default left)
  --align                   drop the equalizer's (and the noise reduction's) delay:
                            the output lines up with the input sample for sample
  --rate R                  resample the result to R Hz (default 8000)
  --waterfall-in FILE.png   the input's waterfall, one column per 256 samples,
                            with a frequency axis in Hz and a time axis
  --waterfall-out FILE.png  the output's waterfall
  --waterfall-width W       the waterfalls' widest plot, 100 .. 30000 columns
                            (default 1800): longer recordings have their
                            columns averaged to fit
  --response FILE.png       the equalizer's response in dB over 0..4000 Hz
  --quiet                   no progress bar and no summary
  -h, --help                this text
  -V, --version             the version

Exit status: 0 done, 1 usage error, 2 input cannot be read,
3 output cannot be written, 130 interrupted. OUTPUT appears only when
everything succeeded; it never replaces INPUT.
)";
}

} // namespace keb
