// Running a sound card at its own rate when it refuses the device's.
//
// Many cards (and ALSA hw: devices) refuse 8000 Hz. When a backend refuses a
// format, the layer tries the same channel count at 16 bits at the device's
// default rate (WaveBackend::DefaultRate), then 48000, then 44100 Hz, and
// runs the card at the first rate it takes, converting to and from the
// device's format (ConvertedStream.h). The components see the format they
// asked for; a format query answers as for a card that takes it natively.
#pragma once

#include "platform/audio/WaveBackend.h"

#include <cstdint>
#include <memory>

namespace keb
{

// The format to run the card at for Format (Format itself when the card
// takes it), or the card's refusal of Format.
TWaveResult ChooseCardFormat(WaveBackend& Backend, WaveDirection Direction, int DeviceId,
                             const TWaveFormatEx& Format, TWaveFormatEx& CardFormat);

// Opens the backend's engine for Device with the card at CardFormat; when
// that differs from the device's format the engine runs a ConvertedStream.
TWaveResult OpenCardEngine(WaveBackend& Backend, WaveDirection Direction, int DeviceId,
                           WaveDevice& Device, const TWaveFormatEx& CardFormat,
                           std::unique_ptr<WaveEngine>& Engine);

// The capability bits of a card whose formats are also offered at every other
// standard rate by conversion: for each channel count the card takes at 16
// bits at some rate, 8 and 16 bits at all rate classes.
std::uint32_t WithConvertedRates(std::uint32_t Formats);

} // namespace keb
