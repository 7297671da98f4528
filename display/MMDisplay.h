// The display side of the stream connector (MMConect.h).
//
// A connector cuts its copy of the stream into blocks and hands them to the
// displays linked to it. Every display kind implements TMMDisplay; the kinds
// that analyse frames of samples (spectrograms, oscilloscopes) implement
// TMMAnalyserDisplay, whose extra values tell the connector how far to step
// between blocks.
//
// Threads: the connector calls these in the GUI thread when it runs in real
// time (the program's setting), otherwise in the thread that delivers the
// audio; it never calls two of them at once for one connector. A display
// linked to two connectors is called by both.
//
// Ownership: the connector references displays and never owns them. A display
// that is also a TComponent (every control is) is unlinked automatically when
// it is destroyed; any other display must be unlinked (slot set to null)
// before it goes away.
#pragma once

#include "stream/MMWaveFormat.h"

#include <cstdint>

namespace keb
{

class TMMDisplay
{
  public:
    virtual ~TMMDisplay() = default;

    // The PCM format of the blocks to come (a valid PCM format, valid until
    // the next call). May raise to refuse it; the connector lets the error
    // pass to its caller.
    virtual void SetDisplayFormat(const TWaveFormatEx& format) = 0;

    // One block of BlockBytes() bytes starting at Block, in the last format
    // set. The bytes stay valid only during the call.
    virtual void ProcessBlock(const std::uint8_t* block) = 0;

    // Drops what the display has accumulated and repaints it at rest.
    virtual void ResetDisplay() = 0;

    // The bytes of one block; 0 or less: the display takes no blocks.
    virtual std::int32_t BlockBytes() const = 0;
};

class TMMAnalyserDisplay : public TMMDisplay
{
  public:
    // With Accelerate the connector steps a quarter of a frame between
    // blocks, so successive blocks overlap by three quarters.
    virtual bool Accelerate() const = 0;
    // Samples per frame; the quarter step is FFTLength() div 4 sample frames.
    virtual std::int32_t FFTLength() const = 0;
    virtual TMMBits BitLength() const = 0;
    virtual TMMMode Mode() const = 0;
    // Oscilloscopes only: the quarter step applies when both Scroll and
    // Accelerate are set.
    virtual bool Scroll() const { return false; }
};

} // namespace keb
