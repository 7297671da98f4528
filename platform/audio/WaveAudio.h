// The wave device layer: capture and playback devices with waveIn/waveOut
// semantics, over PortAudio (real sound cards) or a virtual sound card.
//
// Backends. By default the layer drives the sound cards through PortAudio.
// With the environment variable KEB_AUDIO=virtual it uses a virtual sound card
// instead (see virtual/TVirtualSoundCard.h): a capture device "KEB virtual
// capture" that plays a 1 kHz test tone under white noise, or the WAV file
// named by KEB_AUDIO_INFILE; and a playback device "KEB virtual playback" that
// discards the audio, or writes it to the WAV file named by KEB_AUDIO_OUTFILE;
// both paced by a real-time clock. Tests choose a card of their own with
// UseVirtualSoundCard (virtual/TVirtualSoundCard.h). The backend is chosen when
// a call needs it; a device stays with the backend it was opened on.
//
// Device numbers. Capture and playback devices are numbered separately, from 0
// in the backend's order; WaveMapperId (-1) is the backend's default device.
//
// Rates. A card that refuses the format's rate (many refuse 8000 Hz) runs at
// its own default rate, else 48000 or 44100 Hz (in stereo if it refuses mono),
// and the layer converts to and from the format with libsoxr (about 30 ms of
// latency each way); the format query, the capabilities and the device behave
// as if the card took the format (see RateFallback.h and ConvertedStream.h).
//
// Results. Every operation returns a TWaveResult; wrNoError is success.
// WaveInGetErrorText / WaveOutGetErrorText give the text of a result.
//
// Notifications. WaveInOpen / WaveOutOpen take a callback function and a user
// value. The layer calls it with:
//   wmOpened  from inside the open call, after *Handle is set
//   wmClosed  from inside the close call, before the handle becomes invalid
//   wmDone    for each buffer the device has finished with (capture: filled,
//             playback: played), in queue order, after the layer has cleared
//             WaveHdrInQueue, set WaveHdrDone and (capture) dwBytesRecorded
//   wmFailed  once, when the device fails or vanishes while open; Result says
//             why (wrDeviceRemoved, or wrDeviceStalled for a running device
//             that has moved no audio for one second). Every buffer then still queued comes back
//             with wmDone (capture: with the bytes it holds); later add, write,
//             start and restart calls return that result, while stop, pause,
//             reset, unprepare and close still succeed so the device can be
//             closed cleanly.
// wmDone runs in the device's audio context (PortAudio's callback thread, the
// virtual card's clock thread, the thread that advanced a stepped clock, or a
// converted device's conversion thread) or,
// for buffers returned by WaveInStop / WaveInReset / WaveOutReset, in the
// calling thread before that call returns. A callback must only store state or
// post a message: it must not block, throw, or call this layer.
//
// Threads. All calls are thread-safe. Buffer calls (prepare, unprepare, add,
// write) may come from any thread, typically a worker re-queueing a buffer
// after its wmDone; the control calls of one device should come from one
// thread. When WaveInStop, WaveInReset, WaveOutPause, WaveOutReset or a close
// returns, no wmDone for the buffers they dealt with is still running.
//
// Ownership. The caller owns the format record, the headers and the audio
// bytes; the layer copies the format at open and borrows a buffer from add or
// write until its wmDone. The audio context allocates nothing and holds the
// device lock only while it copies one callback's worth of audio.
//
// Capture (waveIn): open -> prepare and add buffers -> WaveInStart; the device
// fills the head buffer and returns it when full. WaveInStop halts recording
// and returns the buffer being filled if it holds data (the rest stay queued);
// WaveInStart resumes. WaveInReset halts, returns every queued buffer and sets
// the position to 0. Close fails with wrStillPlaying while buffers are queued.
//
// A capture component's pause is WaveInStop, its restart WaveInStart, its
// stop WaveInStop followed by WaveInReset.
//
// Playback (waveOut): open -> prepare -> WaveOutWrite. A playback device runs
// from open on, playing silence while nothing is queued, so a written buffer
// plays as soon as those before it have played, unless the device is paused.
// WaveOutPause halts (buffers stay queued), WaveOutRestart resumes,
// WaveOutReset halts, returns every queued buffer, sets the position to 0 and
// goes on running (a paused device stays paused). Close fails with
// wrStillPlaying while buffers are queued.
//
// wmFailed comes from the audio context, from the layer's watchdog thread
// (PortAudio: no callback for one second while running), from the thread that
// advanced a virtual card's clock (a stalled virtual device: one second of the
// card's time) or from the thread that made a virtual device vanish.
//
// Position: bytes, frames ("samples") and milliseconds recorded or played
// since open or the last reset; for PortAudio it counts the bytes exchanged
// with the device in its callbacks.
//
// Implemented in: WaveAudio.cpp (the operations), WaveErrorText.cpp (the texts
// of the results).
#pragma once

#include "platform/audio/WaveFormatRecord.h"
#include "platform/audio/WaveHeader.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace keb
{

// The backend's default device.
inline constexpr int WaveMapperId = -1;

enum TWaveResult : std::uint32_t
{
    wrNoError = 0,
    wrError = 1,             // the backend failed for a reason it did not name
    wrBadDeviceId = 2,       // device number out of range
    wrAllocated = 4,         // the device is in use by another program
    wrInvalidHandle = 5,     // null or closed handle
    wrNoDriver = 6,          // no backend available (PortAudio failed to start)
    wrNoMemory = 7,          // the backend ran out of memory
    wrNotSupported = 8,      // the device cannot do this
    wrBadErrorNumber = 9,    // the error-text lookup got an unknown result
    wrInvalidParameter = 11, // null pointer, empty buffer, ...
    wrBadFormat = 32,        // the device cannot record or play this format
    wrStillPlaying = 33,     // buffers are still queued
    wrUnprepared = 34,       // the buffer was not prepared
    wrDeviceRemoved = 40,    // the device failed or vanished while open
    wrOpenFailed = 41,       // the device refused to open
    wrDeviceStalled = 42,    // the running device moved no audio for a second
};

// Standard-format bits of TWaveCaps::dwFormats: rate class (11.025, 22.05,
// 44.1 kHz), mono/stereo, 8/16 bit. A bit is set when the device accepts that
// channel count and resolution at any standard rate of the class (8000 or
// 11025; 16000 or 22050; 32000, 44100 or 48000 Hz).
inline constexpr std::uint32_t WaveFormat1M08 = 0x0001;
inline constexpr std::uint32_t WaveFormat1S08 = 0x0002;
inline constexpr std::uint32_t WaveFormat1M16 = 0x0004;
inline constexpr std::uint32_t WaveFormat1S16 = 0x0008;
inline constexpr std::uint32_t WaveFormat2M08 = 0x0010;
inline constexpr std::uint32_t WaveFormat2S08 = 0x0020;
inline constexpr std::uint32_t WaveFormat2M16 = 0x0040;
inline constexpr std::uint32_t WaveFormat2S16 = 0x0080;
inline constexpr std::uint32_t WaveFormat4M08 = 0x0100;
inline constexpr std::uint32_t WaveFormat4S08 = 0x0200;
inline constexpr std::uint32_t WaveFormat4M16 = 0x0400;
inline constexpr std::uint32_t WaveFormat4S16 = 0x0800;

// Capabilities of one capture or playback device.
struct TWaveCaps
{
    char szPname[128];            // the device's name, NUL-terminated (cut if longer)
    std::uint32_t vDriverVersion; // backend version: major in the high byte, minor in the low
    std::uint32_t dwFormats;      // WaveFormat* bits
    std::uint16_t wChannels;      // 1 mono, 2 stereo (more channels count as 2)
};

// Recorded or played amount since open or the last reset.
struct TWavePosition
{
    std::uint64_t Bytes;
    std::uint64_t Samples;      // frames: Bytes / nBlockAlign
    std::uint64_t Milliseconds; // Bytes * 1000 / nAvgBytesPerSec, rounded down
};

enum TWaveMessage
{
    wmOpened,
    wmClosed,
    wmDone,
    wmFailed,
};

struct TWaveInDevice;
struct TWaveOutDevice;
using HWaveIn = TWaveInDevice*;
using HWaveOut = TWaveOutDevice*;

// Header is the returned buffer for wmDone, else null; Result is wrNoError
// except for wmFailed.
using TWaveInCallback = void (*)(HWaveIn device, TWaveMessage message, void* user, TWaveHdr* header,
                                 TWaveResult result);
using TWaveOutCallback = void (*)(HWaveOut device, TWaveMessage message, void* user,
                                  TWaveHdr* header, TWaveResult result);

// --- capture -----------------------------------------------------------------

int WaveInGetNumDevs();
TWaveResult WaveInGetDevCaps(int deviceId, TWaveCaps* caps);
// Whether the device can record Format; opens nothing. Only PCM with 8 or 16
// bits and a consistent block alignment and data rate is accepted.
TWaveResult WaveInQueryFormat(int deviceId, const TWaveFormatEx* format);
// Callback may be null (no notifications). On failure *Handle is null.
TWaveResult WaveInOpen(HWaveIn* handle, int deviceId, const TWaveFormatEx* format,
                       TWaveInCallback callback, void* user);
// Sets WaveHdrPrepared; wrInvalidParameter for a null buffer or length 0.
TWaveResult WaveInPrepareHeader(HWaveIn device, TWaveHdr* header);
// Clears WaveHdrPrepared; wrStillPlaying while the buffer is queued.
TWaveResult WaveInUnprepareHeader(HWaveIn device, TWaveHdr* header);
// Queues a prepared buffer: dwBytesRecorded := 0, WaveHdrDone cleared.
TWaveResult WaveInAddBuffer(HWaveIn device, TWaveHdr* header);
TWaveResult WaveInStart(HWaveIn device);
TWaveResult WaveInStop(HWaveIn device);
TWaveResult WaveInReset(HWaveIn device);
TWaveResult WaveInGetPosition(HWaveIn device, TWavePosition* position);
// wrStillPlaying while buffers are queued (reset first); the handle is
// invalid after success.
TWaveResult WaveInClose(HWaveIn device);
// Copies the text of Result, NUL-terminated and cut to Size, into Text;
// wrBadErrorNumber (Text untouched) for a result this layer does not know.
TWaveResult WaveInGetErrorText(TWaveResult result, char* text, std::size_t size);

// --- playback ----------------------------------------------------------------

int WaveOutGetNumDevs();
TWaveResult WaveOutGetDevCaps(int deviceId, TWaveCaps* caps);
TWaveResult WaveOutQueryFormat(int deviceId, const TWaveFormatEx* format);
TWaveResult WaveOutOpen(HWaveOut* handle, int deviceId, const TWaveFormatEx* format,
                        TWaveOutCallback callback, void* user);
TWaveResult WaveOutPrepareHeader(HWaveOut device, TWaveHdr* header);
TWaveResult WaveOutUnprepareHeader(HWaveOut device, TWaveHdr* header);
// Queues dwBufferLength bytes of a prepared buffer for playing.
TWaveResult WaveOutWrite(HWaveOut device, TWaveHdr* header);
TWaveResult WaveOutPause(HWaveOut device);
TWaveResult WaveOutRestart(HWaveOut device);
TWaveResult WaveOutReset(HWaveOut device);
TWaveResult WaveOutGetPosition(HWaveOut device, TWavePosition* position);
TWaveResult WaveOutClose(HWaveOut device);
TWaveResult WaveOutGetErrorText(TWaveResult result, char* text, std::size_t size);

// The device's period in seconds: how much audio it hands over or takes at
// once. 0 when the device does not say or the number is out of range.
double WaveInGetBlockSeconds(int deviceId);
double WaveOutGetBlockSeconds(int deviceId);

// The text of Result, or "" for a result this layer does not know.
std::string WaveErrorText(TWaveResult result);

} // namespace keb
