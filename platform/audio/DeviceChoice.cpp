#include "platform/audio/DeviceChoice.h"

#include "platform/audio/WaveAudio.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace keb
{

namespace
{

const char* KindWord(TDeviceKind kind)
{
    return kind == TDeviceKind::Capture ? "capture" : "playback";
}

std::string Lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char letter) { return static_cast<char>(std::tolower(letter)); });
    return result;
}

std::string_view Trimmed(std::string_view text)
{
    const auto space = [](unsigned char letter) { return std::isspace(letter) != 0; };
    while (!text.empty() && space(text.front()))
    {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back()))
    {
        text.remove_suffix(1);
    }
    return text;
}

// `0 "Name", 1 "Other"`
std::string Candidates(const std::vector<TDeviceEntry>& devices)
{
    std::string text;
    for (const TDeviceEntry& device : devices)
    {
        text += (text.empty() ? "" : ", ") + std::to_string(device.Id) + " \"" + device.Name + "\"";
    }
    return text;
}

std::string AllCandidates(TDeviceKind kind, const std::vector<TDeviceEntry>& devices)
{
    if (devices.empty())
    {
        return std::string("there are no ") + KindWord(kind) + " devices.";
    }
    return std::string("the ") + KindWord(kind) + " devices are: -1 default, " +
           Candidates(devices) + ".";
}

TDeviceChoice Chosen(int deviceId)
{
    return {true, deviceId, {}};
}

TDeviceChoice Refused(std::string error)
{
    return {false, 0, std::move(error)};
}

TDeviceChoice ByNumber(TDeviceKind kind, std::string_view text,
                       const std::vector<TDeviceEntry>& devices)
{
    long long number = 0;
    const auto [End, Error] = std::from_chars(text.data(), text.data() + text.size(), number);
    const auto known =
        std::find_if(devices.begin(), devices.end(),
                     [number](const TDeviceEntry& device) { return device.Id == number; });
    if (Error == std::errc() && End == text.data() + text.size())
    {
        if (number == WaveMapperId && !devices.empty())
        {
            return Chosen(WaveMapperId);
        }
        if (known != devices.end())
        {
            return Chosen(known->Id);
        }
    }
    return Refused("There is no " + std::string(KindWord(kind)) + " device " + std::string(text) +
                   "; " + AllCandidates(kind, devices));
}

bool IsNumber(std::string_view text)
{
    if (!text.empty() && text.front() == '-')
    {
        text.remove_prefix(1);
    }
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char letter) { return std::isdigit(letter); });
}

std::vector<TDeviceEntry> Matching(const std::vector<TDeviceEntry>& devices, std::string_view text,
                                   bool whole)
{
    const std::string wanted = Lowered(text);
    std::vector<TDeviceEntry> found;
    for (const TDeviceEntry& device : devices)
    {
        const std::string name = Lowered(device.Name);
        if (whole ? name == wanted : name.find(wanted) != std::string::npos)
        {
            found.push_back(device);
        }
    }
    return found;
}

TDeviceChoice Ambiguous(TDeviceKind kind, std::string_view text,
                        const std::vector<TDeviceEntry>& found)
{
    return Refused("\"" + std::string(text) + "\" fits several " + KindWord(kind) +
                   " devices: " + Candidates(found) + "; give the number or more of the name.");
}

} // namespace

std::vector<TDeviceEntry> ListDevices(TDeviceKind kind)
{
    const bool capture = kind == TDeviceKind::Capture;
    const int count = capture ? WaveInGetNumDevs() : WaveOutGetNumDevs();
    std::vector<TDeviceEntry> devices;
    for (int id = 0; id < count; ++id)
    {
        TWaveCaps caps{};
        const TWaveResult result =
            capture ? WaveInGetDevCaps(id, &caps) : WaveOutGetDevCaps(id, &caps);
        if (result == wrNoError)
        {
            devices.push_back({id, caps.szPname});
        }
    }
    return devices;
}

std::string DeviceListText(const std::vector<TDeviceEntry>& capture,
                           const std::vector<TDeviceEntry>& playback)
{
    std::string text;
    const auto section = [&text](const char* heading, const std::vector<TDeviceEntry>& devices)
    {
        text += heading;
        if (devices.empty())
        {
            text += "  none found\n";
            return;
        }
        text += "  -1  default device\n";
        for (const TDeviceEntry& device : devices)
        {
            char number[16];
            std::snprintf(number, sizeof(number), "%4d  ", device.Id);
            text += number + device.Name + "\n";
        }
    };
    section("Capture devices (--input):\n", capture);
    section("Playback devices (--output):\n", playback);
    return text;
}

TDeviceChoice ResolveDevice(TDeviceKind kind, std::string_view text,
                            const std::vector<TDeviceEntry>& devices)
{
    text = Trimmed(text);
    if (text.empty())
    {
        return Refused(std::string("No ") + KindWord(kind) + " device given; " +
                       AllCandidates(kind, devices));
    }
    if (IsNumber(text))
    {
        return ByNumber(kind, text, devices);
    }
    const auto whole = Matching(devices, text, true);
    if (whole.size() == 1)
    {
        return Chosen(whole.front().Id);
    }
    if (whole.size() > 1)
    {
        return Ambiguous(kind, text, whole);
    }
    if (Lowered(text) == "default" && !devices.empty())
    {
        return Chosen(WaveMapperId);
    }
    const auto parts = Matching(devices, text, false);
    if (parts.size() == 1)
    {
        return Chosen(parts.front().Id);
    }
    if (parts.size() > 1)
    {
        return Ambiguous(kind, text, parts);
    }
    return Refused(std::string("No ") + KindWord(kind) + " device matches \"" + std::string(text) +
                   "\"; " + AllCandidates(kind, devices));
}

TRememberedDevice RememberDevice(int deviceId, const std::vector<TDeviceEntry>& devices)
{
    for (const TDeviceEntry& device : devices)
    {
        if (device.Id == deviceId)
        {
            return {device.Name, device.Id};
        }
    }
    return {};
}

TDeviceFallback ChooseRemembered(TDeviceKind kind, const TRememberedDevice& remembered,
                                 const std::vector<TDeviceEntry>& devices)
{
    if (remembered.Name.empty())
    {
        return {WaveMapperId, {}};
    }
    const auto named = [&remembered](const TDeviceEntry& device)
    { return device.Name == remembered.Name; };
    const auto same = std::find_if(devices.begin(), devices.end(),
                                   [&](const TDeviceEntry& device)
                                   { return device.Id == remembered.Id && named(device); });
    if (same != devices.end())
    {
        return {same->Id, {}};
    }
    const auto first = std::find_if(devices.begin(), devices.end(), named);
    if (first != devices.end())
    {
        return {first->Id, {}};
    }
    return {WaveMapperId, std::string("The ") + KindWord(kind) + " device \"" + remembered.Name +
                              "\" is not available; using the default " + KindWord(kind) +
                              " device."};
}

} // namespace keb
