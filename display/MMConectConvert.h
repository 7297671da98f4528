// Conversion of non-PCM streams into PCM for the connector's displays.
//
// The connector asks the installed converter for a PCM format that a stream
// format can be shown as, whether a conversion into it is possible, and opens
// a conversion bound to its display buffer. The program has no codecs: the
// built-in converter suggests nothing, so such streams leave the displays
// unfed while the audio passes on unchanged. Tests and future codecs install
// their own converter with SetFormatConverter.
//
// Threads: suggestions and opening in the main thread; Convert in whatever
// thread delivers the audio, one call at a time per conversion, allocating
// nothing.
#pragma once

#include "stream/MMWaveFormat.h"

#include <cstdint>
#include <memory>

namespace keb
{

// One open conversion; closing it is destroying it.
class TMMConversion
{
  public:
    virtual ~TMMConversion() = default;
    // Converts the first `bytes` bytes of the bound input into Output();
    // returns how many PCM bytes it produced (at most OutputBytes()).
    virtual std::int32_t Convert(std::int32_t bytes) = 0;
    virtual std::uint8_t* Output() = 0;
    virtual std::int32_t OutputBytes() const = 0;
};

class TMMFormatConverter
{
  public:
    virtual ~TMMFormatConverter() = default;
    // A PCM format to show `format` as, or null when there is none.
    virtual TWaveFormatPtr SuggestPCMFormat(const TWaveFormatEx& format) = 0;
    virtual bool CanConvert(const TWaveFormatEx& from, const TWaveFormatEx& to) = 0;
    // A conversion reading `inputBytes` bytes at `input` (the caller's buffer,
    // which outlives the conversion); null when it cannot be opened.
    virtual std::unique_ptr<TMMConversion> Open(const TWaveFormatEx& from, const TWaveFormatEx& to,
                                                const std::uint8_t* input,
                                                std::int32_t inputBytes) = 0;
};

// The installed converter (the built-in one without codecs by default).
TMMFormatConverter& FormatConverter();

// Installs `converter` (null: the built-in one) and returns the previous one
// (null for the built-in one). The converter must outlive its use. Main thread.
TMMFormatConverter* SetFormatConverter(TMMFormatConverter* converter);

} // namespace keb
