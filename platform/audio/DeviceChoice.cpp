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

const char* KindWord(DeviceKind Kind)
{
    return Kind == DeviceKind::Capture ? "capture" : "playback";
}

std::string Lowered(std::string_view Text)
{
    std::string Result(Text);
    std::transform(Result.begin(), Result.end(), Result.begin(),
                   [](unsigned char Letter) { return static_cast<char>(std::tolower(Letter)); });
    return Result;
}

std::string_view Trimmed(std::string_view Text)
{
    const auto Space = [](unsigned char Letter) { return std::isspace(Letter) != 0; };
    while (!Text.empty() && Space(Text.front()))
    {
        Text.remove_prefix(1);
    }
    while (!Text.empty() && Space(Text.back()))
    {
        Text.remove_suffix(1);
    }
    return Text;
}

// `0 "Name", 1 "Other"`
std::string Candidates(const std::vector<TDeviceEntry>& Devices)
{
    std::string Text;
    for (const TDeviceEntry& Device : Devices)
    {
        Text += (Text.empty() ? "" : ", ") + std::to_string(Device.Id) + " \"" + Device.Name + "\"";
    }
    return Text;
}

std::string AllCandidates(DeviceKind Kind, const std::vector<TDeviceEntry>& Devices)
{
    if (Devices.empty())
    {
        return std::string("there are no ") + KindWord(Kind) + " devices.";
    }
    return std::string("the ") + KindWord(Kind) + " devices are: -1 default, " +
           Candidates(Devices) + ".";
}

TDeviceChoice Chosen(int DeviceId)
{
    return {true, DeviceId, {}};
}

TDeviceChoice Refused(std::string Error)
{
    return {false, 0, std::move(Error)};
}

TDeviceChoice ByNumber(DeviceKind Kind, std::string_view Text,
                       const std::vector<TDeviceEntry>& Devices)
{
    long long Number = 0;
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Number);
    const auto Known =
        std::find_if(Devices.begin(), Devices.end(),
                     [Number](const TDeviceEntry& Device) { return Device.Id == Number; });
    if (Error == std::errc() && End == Text.data() + Text.size())
    {
        if (Number == WaveMapperId && !Devices.empty())
        {
            return Chosen(WaveMapperId);
        }
        if (Known != Devices.end())
        {
            return Chosen(Known->Id);
        }
    }
    return Refused("There is no " + std::string(KindWord(Kind)) + " device " + std::string(Text) +
                   "; " + AllCandidates(Kind, Devices));
}

bool IsNumber(std::string_view Text)
{
    if (!Text.empty() && Text.front() == '-')
    {
        Text.remove_prefix(1);
    }
    return !Text.empty() && std::all_of(Text.begin(), Text.end(),
                                        [](unsigned char Letter) { return std::isdigit(Letter); });
}

std::vector<TDeviceEntry> Matching(const std::vector<TDeviceEntry>& Devices, std::string_view Text,
                                   bool Whole)
{
    const std::string Wanted = Lowered(Text);
    std::vector<TDeviceEntry> Found;
    for (const TDeviceEntry& Device : Devices)
    {
        const std::string Name = Lowered(Device.Name);
        if (Whole ? Name == Wanted : Name.find(Wanted) != std::string::npos)
        {
            Found.push_back(Device);
        }
    }
    return Found;
}

TDeviceChoice Ambiguous(DeviceKind Kind, std::string_view Text,
                        const std::vector<TDeviceEntry>& Found)
{
    return Refused("\"" + std::string(Text) + "\" fits several " + KindWord(Kind) +
                   " devices: " + Candidates(Found) + "; give the number or more of the name.");
}

} // namespace

std::vector<TDeviceEntry> ListDevices(DeviceKind Kind)
{
    const bool Capture = Kind == DeviceKind::Capture;
    const int Count = Capture ? WaveInGetNumDevs() : WaveOutGetNumDevs();
    std::vector<TDeviceEntry> Devices;
    for (int Id = 0; Id < Count; ++Id)
    {
        TWaveCaps Caps{};
        const TWaveResult Result =
            Capture ? WaveInGetDevCaps(Id, &Caps) : WaveOutGetDevCaps(Id, &Caps);
        if (Result == wrNoError)
        {
            Devices.push_back({Id, Caps.szPname});
        }
    }
    return Devices;
}

std::string DeviceListText(const std::vector<TDeviceEntry>& Capture,
                           const std::vector<TDeviceEntry>& Playback)
{
    std::string Text;
    const auto Section = [&Text](const char* Heading, const std::vector<TDeviceEntry>& Devices)
    {
        Text += Heading;
        if (Devices.empty())
        {
            Text += "  none found\n";
            return;
        }
        Text += "  -1  default device\n";
        for (const TDeviceEntry& Device : Devices)
        {
            char Number[16];
            std::snprintf(Number, sizeof(Number), "%4d  ", Device.Id);
            Text += Number + Device.Name + "\n";
        }
    };
    Section("Capture devices (--input):\n", Capture);
    Section("Playback devices (--output):\n", Playback);
    return Text;
}

TDeviceChoice ResolveDevice(DeviceKind Kind, std::string_view Text,
                            const std::vector<TDeviceEntry>& Devices)
{
    Text = Trimmed(Text);
    if (Text.empty())
    {
        return Refused(std::string("No ") + KindWord(Kind) + " device given; " +
                       AllCandidates(Kind, Devices));
    }
    if (IsNumber(Text))
    {
        return ByNumber(Kind, Text, Devices);
    }
    const auto Whole = Matching(Devices, Text, true);
    if (Whole.size() == 1)
    {
        return Chosen(Whole.front().Id);
    }
    if (Whole.size() > 1)
    {
        return Ambiguous(Kind, Text, Whole);
    }
    if (Lowered(Text) == "default" && !Devices.empty())
    {
        return Chosen(WaveMapperId);
    }
    const auto Parts = Matching(Devices, Text, false);
    if (Parts.size() == 1)
    {
        return Chosen(Parts.front().Id);
    }
    if (Parts.size() > 1)
    {
        return Ambiguous(Kind, Text, Parts);
    }
    return Refused(std::string("No ") + KindWord(Kind) + " device matches \"" + std::string(Text) +
                   "\"; " + AllCandidates(Kind, Devices));
}

TRememberedDevice RememberDevice(int DeviceId, const std::vector<TDeviceEntry>& Devices)
{
    for (const TDeviceEntry& Device : Devices)
    {
        if (Device.Id == DeviceId)
        {
            return {Device.Name, Device.Id};
        }
    }
    return {};
}

TDeviceFallback ChooseRemembered(DeviceKind Kind, const TRememberedDevice& Remembered,
                                 const std::vector<TDeviceEntry>& Devices)
{
    if (Remembered.Name.empty())
    {
        return {WaveMapperId, {}};
    }
    const auto Named = [&Remembered](const TDeviceEntry& Device)
    { return Device.Name == Remembered.Name; };
    const auto Same = std::find_if(Devices.begin(), Devices.end(),
                                   [&](const TDeviceEntry& Device)
                                   { return Device.Id == Remembered.Id && Named(Device); });
    if (Same != Devices.end())
    {
        return {Same->Id, {}};
    }
    const auto First = std::find_if(Devices.begin(), Devices.end(), Named);
    if (First != Devices.end())
    {
        return {First->Id, {}};
    }
    return {WaveMapperId, std::string("The ") + KindWord(Kind) + " device \"" + Remembered.Name +
                              "\" is not available; using the default " + KindWord(Kind) +
                              " device."};
}

} // namespace keb
