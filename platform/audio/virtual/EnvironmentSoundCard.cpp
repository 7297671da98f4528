// Part of the virtual sound card (TVirtualSoundCard.h): the card that
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

std::unique_ptr<TVirtualSource> EnvironmentSource()
{
    if (const char* path = std::getenv("KEB_AUDIO_INFILE"); path != nullptr && *path != '\0')
    {
        return MakeWavFileSource(path, true);
    }
    return MakeToneSource(TestToneFrequency, TestToneAmplitude, TestNoiseAmplitude);
}

std::shared_ptr<TVirtualSink> EnvironmentSink()
{
    if (const char* path = std::getenv("KEB_AUDIO_OUTFILE"); path != nullptr && *path != '\0')
    {
        const char* input = std::getenv("KEB_AUDIO_INFILE");
        return MakeWavFileSink(path, input != nullptr ? input : "");
    }
    return MakeNullSink();
}

} // namespace

std::shared_ptr<TVirtualSoundCard> MakeEnvironmentSoundCard()
{
    auto card = TVirtualSoundCard::Create(TVirtualClock::RealTime);
    card->AddCaptureDevice("KEB virtual capture", EnvironmentSource());
    card->AddPlaybackDevice("KEB virtual playback", EnvironmentSink());
    return card;
}

} // namespace keb
