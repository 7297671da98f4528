// Switching the program's chain on and off in the program's order records
// every chain notification and device event in the order the program relies
// on: capture -> ring -> input connector -> equalizer -> playback -> output
// connector, the connectors and the equalizer as recording stand-ins.
#include "devices/MMRingBf.h"
#include "devices/MMWavIn.h"
#include "devices/MMWavOut.h"
#include "platform/audio/virtual/VirtualSoundCard.h"
#include "tests/platform/core/Watchdog.h"
#include "tests/stream/ChainStandIns.h"

#include <gtest/gtest.h>

namespace keb::test
{
namespace
{
using namespace std::chrono_literals;

void LogDeviceEvents(TMMWaveDevice& Device, const std::string& Name, TLog& Log)
{
    Device.OnOpen = [&Log, Name](TComponent*) { Log.push_back(Name + ".OnOpen"); };
    Device.OnStart = [&Log, Name](TComponent*) { Log.push_back(Name + ".OnStart"); };
    Device.OnPause = [&Log, Name](TComponent*) { Log.push_back(Name + ".OnPause"); };
    Device.OnRestart = [&Log, Name](TComponent*) { Log.push_back(Name + ".OnRestart"); };
    Device.OnStop = [&Log, Name](TComponent*) { Log.push_back(Name + ".OnStop"); };
    Device.OnClose = [&Log, Name](TComponent*) { Log.push_back(Name + ".OnClose"); };
    Device.OnError = [&Log, Name](TComponent*) { Log.push_back(Name + ".OnError"); };
}

void LogPulls(TMMDSPComponent& Component, TLog& Log)
{
    Component.OnBufferLoad = [&Log](TMMDSPComponent* Sender, PWaveHdr, bool&)
    { Log.push_back(Sender->Name() + ".OnBufferLoad"); };
}
} // namespace

TEST(ChainOrder, SwitchingOnAndOffFollowsTheProgramsOrder)
{
    TWatchdog watchdog(60s);
    auto card = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    card->AddCaptureDevice("Receiver", MakeSilenceSource());
    card->AddPlaybackDevice("Speaker", MakeNullSink());
    UseVirtualSoundCard(card);

    TLog log;
    TMMWaveIn capture(nullptr);
    TRecording<TMMRingBuffer> ring(nullptr, "ring", log);
    TRecordingComponent inputConnector(nullptr, "input connector", log);
    TRecordingComponent equalizer(nullptr, "equalizer", log);
    TMMWaveOut playback(nullptr);
    TRecordingComponent outputConnector(nullptr, "output connector", log);

    capture.SetSampleRate(8000);
    capture.SetBitLength(b16Bit);
    capture.SetBufferSize(2000);
    capture.SetNumBuffers(2);
    capture.SetCallBackMode(cmThread);
    ring.SetBufferSize(2000);
    ring.SetNumBuffers(2);
    ring.SetQueueMode(qmDuplex);
    ring.SetWaitIfFull(true);
    ring.SetTimeOut(1);
    playback.SetBufferSize(2000);
    playback.SetNumBuffers(2);
    playback.SetCallBackMode(cmThread);
    capture.SetOutput(&ring);
    ring.SetOutput(&inputConnector);
    inputConnector.SetOutput(&equalizer);
    equalizer.SetOutput(&playback);
    playback.SetOutput(&outputConnector);

    LogDeviceEvents(capture, "capture", log);
    LogDeviceEvents(playback, "playback", log);
    LogPulls(inputConnector, log);
    LogPulls(equalizer, log);
    playback.OnBufferFilled = [&log](TMMDSPComponent*, PWaveHdr)
    { log.push_back("playback.OnBufferFilled"); };
    // The main window's handler: the display timer goes off, then playback closes.
    playback.OnStop = [&](TComponent*)
    {
        log.push_back("playback.OnStop");
        playback.Close();
    };
    log.clear();

    capture.Start();
    playback.Start();
    const TLog on = log;
    EXPECT_TRUE(ring.QueueOpen());
    EXPECT_EQ(ring.FilledCount(), 0) << "the start pulls only silence";
    log.clear();
    capture.Close();
    playback.Close();
    const TLog off = log;
    UseVirtualSoundCard(nullptr);

    const TLog expectedOn{
        "ring.SetBufferSize 2000",
        "ring.ChainOpened",
        "input connector.SetBufferSize 2000",
        "input connector.ChainOpened",
        "equalizer.SetBufferSize 2000",
        "equalizer.ChainOpened",
        "output connector.SetBufferSize 2000",
        "output connector.ChainOpened",
        "playback.OnOpen",
        "capture.OnOpen",
        "ring.ChainStarted",
        "input connector.ChainStarted",
        "equalizer.ChainStarted",
        "output connector.ChainStarted",
        "equalizer.OnBufferLoad",
        "input connector.OnBufferLoad",
        "playback.OnBufferFilled",
        "equalizer.OnBufferLoad",
        "input connector.OnBufferLoad",
        "playback.OnBufferFilled",
        "playback.OnStart",
        "capture.OnStart",
    };
    const TLog expectedOff{
        "output connector.ChainStopped",
        "playback.OnStop",
        "output connector.ChainClosed",
        "playback.OnClose",
        "ring.ChainStopped",
        "input connector.ChainStopped",
        "equalizer.ChainStopped",
        "capture.OnStop",
        "ring.ChainClosed",
        "input connector.ChainClosed",
        "equalizer.ChainClosed",
        "capture.OnClose",
    };
    EXPECT_EQ(on, expectedOn);
    EXPECT_EQ(off, expectedOff);
    EXPECT_EQ(capture.State(), wsClosed);
    EXPECT_EQ(playback.State(), wsClosed);
    EXPECT_FALSE(ring.QueueOpen());
}

} // namespace keb::test
