// Part of the virtual sound card (VirtualSoundCard.h): the card that
// KEB_AUDIO=virtual selects: a test tone (or the WAV file in KEB_AUDIO_INFILE,
// looped) to record, and nowhere (or the WAV file in KEB_AUDIO_OUTFILE) to play
// to, in real time.
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <cstdlib>

namespace keb
{

namespace
{

constexpr double TestToneFrequency = 1000;
constexpr double TestToneAmplitude = 0.25;
constexpr double TestNoiseAmplitude = 0.05;

std::unique_ptr<VirtualSource> EnvironmentSource()
{
    if (const char* Path = std::getenv("KEB_AUDIO_INFILE"); Path != nullptr && *Path != '\0')
    {
        return MakeWavFileSource(Path, true);
    }
    return MakeToneSource(TestToneFrequency, TestToneAmplitude, TestNoiseAmplitude);
}

std::shared_ptr<VirtualSink> EnvironmentSink()
{
    if (const char* Path = std::getenv("KEB_AUDIO_OUTFILE"); Path != nullptr && *Path != '\0')
    {
        const char* Input = std::getenv("KEB_AUDIO_INFILE");
        return MakeWavFileSink(Path, Input != nullptr ? Input : "");
    }
    return MakeNullSink();
}

} // namespace

std::shared_ptr<VirtualSoundCard> MakeEnvironmentSoundCard()
{
    auto Card = VirtualSoundCard::Create(VirtualClock::RealTime);
    Card->AddCaptureDevice("KEB virtual capture", EnvironmentSource());
    Card->AddPlaybackDevice("KEB virtual playback", EnvironmentSink());
    return Card;
}

} // namespace keb
