// Part of the wave device layer (WaveAudio.h): the texts of the results.
#include "platform/audio/WaveAudio.h"

#include "platform/audio/WaveBackend.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace keb
{

namespace
{

const char* FindErrorText(TWaveResult result)
{
    switch (result)
    {
    case wrNoError:
        return "The command was carried out";
    case wrError:
        return "The sound device reported an unspecified error";
    case wrBadDeviceId:
        return "The sound device number is out of range";
    case wrAllocated:
        return "The sound device is already in use";
    case wrInvalidHandle:
        return "The sound device handle is invalid";
    case wrNoDriver:
        return "No sound device or driver is available";
    case wrNoMemory:
        return "Not enough memory for the sound device";
    case wrNotSupported:
        return "The sound device does not support this function";
    case wrBadErrorNumber:
        return "The error number is unknown";
    case wrInvalidParameter:
        return "An invalid parameter was passed to the sound device";
    case wrBadFormat:
        return "The sound device cannot handle this wave format";
    case wrStillPlaying:
        return "Buffers are still queued at the sound device";
    case wrUnprepared:
        return "The wave buffer was not prepared";
    case wrDeviceRemoved:
        return "The sound device was removed or stopped working";
    case wrOpenFailed:
        return "Unable to open the sound device";
    case wrDeviceStalled:
        return "The sound device stopped responding (no audio for a second)";
    }
    return nullptr;
}

struct TErrorDetail
{
    TWaveResult Result = wrNoError;
    std::string Text;
};

thread_local TErrorDetail PendingDetail;

// The detail a backend left for Result, else the general text.
const char* ErrorTextOf(TWaveResult result, std::string& detail)
{
    if (PendingDetail.Result == result && !PendingDetail.Text.empty())
    {
        detail = std::move(PendingDetail.Text);
        PendingDetail = {};
        return detail.c_str();
    }
    return FindErrorText(result);
}

TWaveResult CopyErrorText(TWaveResult result, char* text, std::size_t size)
{
    std::string detail;
    const char* found = ErrorTextOf(result, detail);
    if (found == nullptr)
    {
        return wrBadErrorNumber;
    }
    if (text == nullptr || size == 0)
    {
        return wrInvalidParameter;
    }
    const std::size_t length = std::min(std::strlen(found), size - 1);
    std::memcpy(text, found, length);
    text[length] = '\0';
    return wrNoError;
}

} // namespace

TWaveResult WaveInGetErrorText(TWaveResult result, char* text, std::size_t size)
{
    return CopyErrorText(result, text, size);
}

TWaveResult WaveOutGetErrorText(TWaveResult result, char* text, std::size_t size)
{
    return CopyErrorText(result, text, size);
}

void SetWaveErrorDetail(TWaveResult result, std::string detail)
{
    PendingDetail = {result, std::move(detail)};
}

std::string WaveErrorText(TWaveResult result)
{
    std::string detail;
    const char* found = ErrorTextOf(result, detail);
    return found == nullptr ? std::string() : std::string(found);
}

} // namespace keb
