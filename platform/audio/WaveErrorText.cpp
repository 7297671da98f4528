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

const char* FindErrorText(TWaveResult Result)
{
    switch (Result)
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
const char* ErrorTextOf(TWaveResult Result, std::string& Detail)
{
    if (PendingDetail.Result == Result && !PendingDetail.Text.empty())
    {
        Detail = std::move(PendingDetail.Text);
        PendingDetail = {};
        return Detail.c_str();
    }
    return FindErrorText(Result);
}

TWaveResult CopyErrorText(TWaveResult Result, char* Text, std::size_t Size)
{
    std::string Detail;
    const char* Found = ErrorTextOf(Result, Detail);
    if (Found == nullptr)
    {
        return wrBadErrorNumber;
    }
    if (Text == nullptr || Size == 0)
    {
        return wrInvalidParameter;
    }
    const std::size_t Length = std::min(std::strlen(Found), Size - 1);
    std::memcpy(Text, Found, Length);
    Text[Length] = '\0';
    return wrNoError;
}

} // namespace

TWaveResult WaveInGetErrorText(TWaveResult Result, char* Text, std::size_t Size)
{
    return CopyErrorText(Result, Text, Size);
}

TWaveResult WaveOutGetErrorText(TWaveResult Result, char* Text, std::size_t Size)
{
    return CopyErrorText(Result, Text, Size);
}

void SetWaveErrorDetail(TWaveResult Result, std::string Detail)
{
    PendingDetail = {Result, std::move(Detail)};
}

std::string WaveErrorText(TWaveResult Result)
{
    std::string Detail;
    const char* Found = ErrorTextOf(Result, Detail);
    return Found == nullptr ? std::string() : std::string(Found);
}

} // namespace keb
