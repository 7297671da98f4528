// Choosing the capture and playback devices by number or by name: the text
// `keb --list-devices` prints, what `--input DEV` / `--output DEV` resolve
// to, and what happens when a remembered device is gone.
//
// Qt-free and without state: the lists come from the wave device layer of
// the backend in use (WaveAudio.h) at the moment of the call, the rest are
// pure functions over such a list, so that the window can use them for its
// command line, its device menu and its stored settings alike.
//
// Device numbers are the layer's: 0 .. n-1 in the backend's order, and
// WaveMapperId (-1) for the backend's default device, which every list offers
// and which is never "gone".
//
// Threads: any thread; ListDevices asks the backend, the rest touch nothing.
// Nothing raises: errors are texts for the user.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace keb
{

enum class TDeviceKind
{
    Capture,  // --input
    Playback, // --output
};

struct TDeviceEntry
{
    int Id;
    std::string Name;
};

// The devices of that kind the backend offers now, numbered from 0 (the
// default device is not in the list).
std::vector<TDeviceEntry> ListDevices(TDeviceKind kind);

// The text of `keb --list-devices` for these lists: a heading per kind, then
// one line per device with its number, the default device first as -1.
std::string DeviceListText(const std::vector<TDeviceEntry>& capture,
                           const std::vector<TDeviceEntry>& playback);

struct TDeviceChoice
{
    bool Found;
    int DeviceId;      // when Found
    std::string Error; // when not: one line naming the candidates
};

// Resolves a number (-1 .. n-1), "default", or part of a name (case does not
// matter; a whole name that also occurs inside other names picks the device
// so named). An unknown number or name, or a part that fits several names,
// is an error that lists the candidates.
TDeviceChoice ResolveDevice(TDeviceKind kind, std::string_view text,
                            const std::vector<TDeviceEntry>& devices);

// What the window stores for a chosen device: its name (empty for the
// default device) and the number it had.
struct TRememberedDevice
{
    std::string Name;
    int Id = -1;
};

TRememberedDevice RememberDevice(int deviceId, const std::vector<TDeviceEntry>& devices);

struct TDeviceFallback
{
    int DeviceId;
    std::string Notice; // empty, or one line saying the device is gone and the default is used
};

// The device to open for a remembered one: the device of that name (at its
// old number when two share the name, else the first), or, when no device
// has the name any more, the default device with a notice.
TDeviceFallback ChooseRemembered(TDeviceKind kind, const TRememberedDevice& remembered,
                                 const std::vector<TDeviceEntry>& devices);

} // namespace keb
