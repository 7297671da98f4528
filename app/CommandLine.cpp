#include "app/CommandLine.h"

#include "dsp/CleanupSettings.h"
#include "settings/NumberText.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <map>

namespace keb
{
namespace
{

[[noreturn]] void Refuse(const std::string& cause)
{
    throw EUsageError(cause);
}

int WholeNumber(const std::string& option, const std::string& text)
{
    const std::optional<int> value = NumberIn<int>(text);
    if (!value)
        Refuse(option + " wants a whole number, not \"" + text + "\"");
    return *value;
}

double Seconds(const std::string& option, const std::string& text)
{
    const std::optional<double> value = NumberIn<double>(text);
    if (!value || !std::isfinite(*value) || *value <= 0 || *value > MaxQuitAfterSeconds)
        Refuse(option + " wants a number of seconds above 0 and at most a year (31536000), not \"" +
               text + "\"");
    return *value;
}

using TValueSetter = std::function<void(TCommandLine&, const std::string&)>;

const std::map<std::string, TValueSetter>& ValueOptions()
{
    static const std::map<std::string, TValueSetter> options{
        {"--input", [](TCommandLine& c, const std::string& v) { c.Input = v; }},
        {"--output", [](TCommandLine& c, const std::string& v) { c.Output = v; }},
        {"--latency",
         [](TCommandLine& c, const std::string& v)
         {
             c.Latency = LatencyNamed(v);
             if (!c.Latency)
                 Refuse("--latency wants standard or low, not \"" + v + "\"");
         }},
        {"--preset",
         [](TCommandLine& c, const std::string& v)
         {
             c.Preset = PresetNamed(v);
             if (!c.Preset)
                 Refuse("--preset wants 0.2, 0.4, 1.8 or 2.6, not \"" + v + "\"");
         }},
        {"--shift",
         [](TCommandLine& c, const std::string& v) { c.Shift = WholeNumber("--shift", v); }},
        {"--nr",
         [](TCommandLine& c, const std::string& v)
         {
             c.NoiseReduction = NoiseLevelNamed(v);
             if (!c.NoiseReduction)
                 Refuse(NoiseLevelRefusal(v));
         }},
        {"--notch-at",
         [](TCommandLine& c, const std::string& v)
         {
             c.NotchAt = NotchListNamed(v);
             if (!c.NotchAt || c.NotchAt->empty())
                 Refuse(NotchListRefusal(v));
         }},
        {"--quit-after",
         [](TCommandLine& c, const std::string& v) { c.QuitAfter = Seconds("--quit-after", v); }},
    };
    return options;
}

const std::map<std::string, TCommandLine::TAction>& ActionOptions()
{
    static const std::map<std::string, TCommandLine::TAction> options{
        {"--list-devices", TCommandLine::TAction::ListDevices},
        {"--version", TCommandLine::TAction::Version},
        {"--recording-devices", TCommandLine::TAction::RecordingDevices},
        {"--help", TCommandLine::TAction::Help},
        {"-h", TCommandLine::TAction::Help},
        {"-V", TCommandLine::TAction::Version},
    };
    return options;
}

bool HasWindowOptions(const TCommandLine& line)
{
    return line.Input || line.Output || line.Latency || line.Preset || line.Shift || line.On ||
           line.QuitAfter || line.NoiseReduction || line.Notch || line.NotchAt;
}

} // namespace

TCommandLine ParseCommandLine(int argc, const char* const* argv)
{
    TCommandLine line;
    for (int index = 1; index < argc; ++index)
    {
        std::string argument = argv[index];
        std::optional<std::string> attached;
        if (const auto equals = argument.find('=');
            argument.rfind("--", 0) == 0 && equals != std::string::npos)
        {
            attached = argument.substr(equals + 1);
            argument.erase(equals);
        }
        if (const auto value = ValueOptions().find(argument); value != ValueOptions().end())
        {
            if (!attached && index + 1 >= argc)
                Refuse(argument + " wants a value");
            value->second(line, attached ? *attached : argv[++index]);
            continue;
        }
        if (attached)
            Refuse(argument + " takes no value");
        if (argument == "--demo")
            line.Demo = true;
        else if (argument == "--on")
            line.On = true;
        else if (argument == "--verbose")
            line.Verbose = true;
        else if (argument == "--notch")
            line.Notch = true;
        else if (const auto action = ActionOptions().find(argument);
                 action != ActionOptions().end())
        {
            if (line.Action != TCommandLine::TAction::Window && line.Action != action->second)
                Refuse("only one of --list-devices, --version, --recording-devices and --help");
            line.Action = action->second;
        }
        else
            Refuse("unknown option \"" + argument + "\"");
    }
    if (line.Action != TCommandLine::TAction::Window && HasWindowOptions(line))
        Refuse("--list-devices, --version, --recording-devices and --help start no window");
    return line;
}

const char* CommandLineHelp()
{
    return R"(usage: keb [options]
  --demo                    a demo receiver instead of the sound card's input
  --list-devices            prints the capture and playback devices and ends
  --input DEV               the capture device: its number or part of its name
  --output DEV              the playback device: its number or part of its name
  --latency standard|low    low: small buffers, the same filter in minimum phase
  --preset 0.2|0.4|1.8|2.6  clicks that preset at start
  --shift N                 turns the shift wheel to N (after the preset)
  --nr off|1|2|3            noise reduction: 1 gentle, 2 normal, 3 strong
  --notch                   the automatic notch: removes steady tones (carriers)
  --notch-at HZ[,HZ...]     up to four notches of your own, 20 to 3600 Hz
  --on                      switches ON once the window is up
  --quit-after S            after S seconds (up to a year) switches OFF, closes
                            any dialog and the window, and ends
  --verbose                 also shows the sound libraries' own messages
  --recording-devices       prints how many capture devices there are and ends
  -V, --version             prints the version and ends
  -h, --help                prints this text and ends

Exit status: 0 done, 1 usage error or no display, 4 an error was shown
during the run (each error is also one line on standard error).
)";
}

} // namespace keb
