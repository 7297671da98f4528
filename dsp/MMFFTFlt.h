#pragma once

// The FFT filter engine: a piecewise-constant gain curve over 0 .. SampleRate/2, turned into
// a linear-phase FIR filter of N/2 + 1 taps by windowed frequency sampling and applied to
// 16-bit PCM audio by overlap-add fast convolution, in place in the caller's buffers.
//
// The engine is a plain record with free functions. Its owner creates it with InitFFTFilter
// and releases it with DoneFFTFilter.
//
// Threads:
// - DoFFTFilter runs in one audio thread at a time.
// - SetFFTFilterBand, SetFFTFilterWindow and FFTFilterTaps may run in one other thread (the
//   main thread) while audio flows. That thread alone touches Gains, Window, Response and
//   Taps; each design fills a spare copy of the response and publishes it in one atomic
//   exchange (Responses). FilterFrame takes the newest published response when a frame
//   starts, so every frame is filtered with one complete response and neither thread ever
//   waits for the other.
// - ResetFFTFilter must not overlap a DoFFTFilter on the same engine; InitFFTFilter and
//   DoneFFTFilter must not overlap anything on the same engine.
// Nothing is allocated after InitFFTFilter.
//
// Clamped silently:
// - the requested FFT length to 8 .. 1024, rounded down to a power of two;
// - BufSize up to at least one frame (N * Channels * 2 bytes), then down to a multiple of 4;
// - band edges to 0 .. SampleRate/2 (see SetFFTFilterBand); a call with a NaN edge or gain
//   changes nothing;
// - a channel selection other than 1 (left) or 2 (right) means both channels;
// - a DoFFTFilter call of more than BufSize bytes is filtered in pieces of BufSize bytes;
// - filtered values beyond the 16-bit range are clipped (and reported by DoFFTFilter).
//
// Implemented in: MMFFTFlt.cpp (life cycle and the stream side),
// MMFFTFltDesign.cpp (gain table and response design), MMFFTFltFrame.cpp (one
// frame of the convolution).

#include "dsp/MMFFT.h"
#include "platform/audio/WaveFormatRecord.h"
#include "platform/core/TripleBuffer.h"

#include <array>
#include <cstdint>

namespace keb
{

inline constexpr int FFTFilterMaxLength = 1024;
// Room for bins 0 .. N/2 and for the design's scratch up to index N + 1.
inline constexpr int FFTFilterArraySize = FFTFilterMaxLength + 2;

struct TFFTFilterChannel
{
    int32_t Frame[FFTFilterArraySize]; // the N samples being filtered
    float Overlap[FFTFilterArraySize]; // the last N/2 output values still to be added
};

struct TFFTFilter
{
    int32_t SampleRate; // samples per second
    int32_t Channels;   // 1 or 2, interleaved 16-bit signed samples
    int32_t N;          // FFT length, 8 .. 1024
    int32_t Half;       // N/2
    int32_t Order;      // log2 N
    TComplexFFTPlan* Plan;
    uint8_t* InQueue; // audio received but not yet filtered
    int32_t InFill;
    uint8_t* OutQueue; // filtered audio not yet handed back
    int32_t OutFill;
    int32_t BufSize; // bytes: the largest piece DoFFTFilter takes at once; queues hold 2 * BufSize
    int32_t Window;  // TMMFFTWindow ordinal of the design
    // The design window's values at taps 0 .. N/2, computed when the window is chosen: every
    // band set redesigns, and the window's extended-precision cosines cost more than the
    // design's transforms.
    float WindowValues[FFTFilterArraySize];
    TFFTFilterChannel Channel[2];
    float Gains[FFTFilterArraySize];        // linear gain per bin 0 .. N/2
    float Response[2 * FFTFilterArraySize]; // N complex values: the filter's frequency response
    // Response in bit-reversed order, as the frames multiply their spectrum: the design
    // publishes, FilterFrame takes the newest.
    TTripleBuffer<std::array<float, 2 * FFTFilterArraySize>> Responses;
    float Work[2 * FFTFilterArraySize]; // FilterFrame's scratch
    // The N/2 + 1 taps of the design's FIR filter, as the convolution applies them (scaled by
    // the inverse transform's 1/N): the engine's output is their convolution with the input.
    float Taps[FFTFilterArraySize];
};

// A new engine for a 16-bit PCM format, flat (0 dB everywhere) with the Hamming window; or
// nullptr when memory is short or the format is unusable (missing, not 16 bits per sample,
// not 1 or 2 channels, or a sample rate of 0).
TFFTFilter* InitFFTFilter(const TWaveFormatEx* format, int length, int bufSize);
// Releases everything the engine owns and sets the variable to nullptr; nullptr is ignored.
void DoneFFTFilter(TFFTFilter*& filter);
// Drops the queued audio and the channels' history; gains, response and window stay.
void ResetFFTFilter(TFFTFilter* filter);
// Gives the bins of f1 .. f2 Hz the gain G dB and redesigns the response. Edges above
// SampleRate/2 are pulled down (f1 to SampleRate/2 - 1), negative edges raised to 0, f1 > f2
// swapped, and f1 = f2 widened to f1 .. f1 + 1. The other bins keep their gains: where two
// bands share a bin, the band set last decides it.
void SetFFTFilterBand(TFFTFilter* filter, float f1, float f2, float gain);
// Selects the design window (a TMMFFTWindow ordinal) and redesigns from the current gains.
void SetFFTFilterWindow(TFFTFilter* filter, int window);
// Filters count bytes of buffer in place: channel 0 both, 1 left only, 2 right only (the
// TMMChannel ordinals; mono streams always filter their one channel). The output runs N/4
// samples behind the input plus the silence put in front whenever less filtered audio waits
// than the call asks for. With a stereo stream and one channel selected, the other channel's
// samples stay as the caller supplied them (apart from that silence); in the queue that
// channel travels unfiltered, so a later change of selection hands back real audio. Returns
// true when an output sample of this call had to be clipped to the 16-bit range. A missing
// engine or buffer, or a count <= 0, does nothing and returns false.
bool DoFFTFilter(TFFTFilter* filter, int channel, void* buffer, int count);
// Copies the N/2 + 1 taps of the current design into taps (room for N/2 + 1 values) and
// returns their number; 0 for a missing engine.
int FFTFilterTaps(TFFTFilter* filter, float* taps);
// Filters Channel[channel].Frame in place (N samples in, N samples out, not yet clipped),
// carrying the overlap to the next frame, with the newest published response. Called by
// DoFFTFilter.
void FilterFrame(TFFTFilter* filter, int channel);
// FilterFrame on N 16-bit samples at input, written clipped to output (which may be input):
// what FilterFrame and clipping its result give. Returns whether a sample was clipped.
bool FilterPcm16Frame(TFFTFilter* filter, int channel, const int16_t* input, int16_t* output);

} // namespace keb
