// Running a sound card at its own rate when it refuses the device's.
//
// Many cards (and ALSA hw: devices) refuse 8000 Hz, and hw: devices often
// refuse mono as well. When a backend refuses a format, the layer tries 16
// bits at the device's default rate (TWaveBackend::DefaultRate), then 48000,
// then 44100 Hz, each with the format's channel count and then, for mono,
// with two channels, and runs the card in the first format it takes,
// converting to and from the device's format (ConvertedStream.h). The
// components see the format they asked for; a format query answers as for a
// card that takes it natively.
#pragma once

#include "platform/audio/WaveBackend.h"

#include <cstdint>
#include <memory>

namespace keb
{

// The format to run the card at for Format (Format itself when the card
// takes it), or the card's refusal of Format.
TWaveResult ChooseCardFormat(TWaveBackend& backend, TWaveDirection direction, int deviceId,
                             const TWaveFormatEx& format, TWaveFormatEx& cardFormat);

// Opens the backend's engine for Device with the card at CardFormat; when
// that differs from the device's format the engine runs a TConvertedStream.
TWaveResult OpenCardEngine(TWaveBackend& backend, TWaveDirection direction, int deviceId,
                           TWaveDevice& device, const TWaveFormatEx& cardFormat,
                           std::unique_ptr<TWaveEngine>& engine);

// The capability bits of a card whose formats are also offered by
// conversion: when the card takes stereo at 16 bits at some rate, stereo and
// mono at 8 and 16 bits at every rate class; when it takes only mono at 16
// bits, mono at 8 and 16 bits at every rate class.
std::uint32_t WithConversion(std::uint32_t formats);

} // namespace keb
