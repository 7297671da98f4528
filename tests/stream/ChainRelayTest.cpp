#include "tests/stream/ChainStandIns.h"

#include <gtest/gtest.h>

namespace keb
{
namespace
{
using test::TLog;

// capture -> ring -> input connector -> equalizer -> playback -> output connector
struct TProgramChain
{
    TLog Log;
    TComponent Form{nullptr};
    test::TCaptureStandIn* Capture = new test::TCaptureStandIn(&Form, Log);
    test::TRecordingComponent* Ring = new test::TRecordingComponent(&Form, "ring", Log);
    test::TRecordingComponent* Connector1 = new test::TRecordingComponent(&Form, "connector1", Log);
    test::TRecordingComponent* Equalizer = new test::TRecordingComponent(&Form, "equalizer", Log);
    test::TPlaybackStandIn* Playback = new test::TPlaybackStandIn(&Form, "playback", Log);
    test::TRecordingComponent* Connector = new test::TRecordingComponent(&Form, "connector", Log);

    TProgramChain()
    {
        Ring->SetInput(Capture);
        Connector1->SetInput(Ring);
        Equalizer->SetInput(Connector1);
        Playback->SetInput(Equalizer);
        Connector->SetInput(Playback);
        TWaveFormatEx format{};
        BuildPCMFormat(format, 16, 1, 8000);
        Capture->SetWaveFormat(&format);
        Capture->SetBufferSize(2001);
        Log.clear();
    }

    std::vector<TMMDSPComponent*> All() const
    {
        return {Capture, Ring, Connector1, Equalizer, Playback, Connector};
    }
};
} // namespace

TEST(ChainRelay, OpeningTheCaptureDeviceReachesItsStretchThenThePlaybackDeviceWhoseRelayGoesOn)
{
    TProgramChain chain;
    chain.Capture->Open();

    EXPECT_EQ(chain.Log,
              (TLog{"ring.SetBufferSize 2001", "ring.ChainOpened", "connector1.SetBufferSize 2001",
                    "connector1.ChainOpened", "equalizer.SetBufferSize 2001",
                    "equalizer.ChainOpened", "playback.SetBufferSize 2001", "playback.ChainOpened",
                    "connector.SetBufferSize 2001", "connector.ChainOpened"}));
    for (TMMDSPComponent* component : chain.All())
    {
        EXPECT_TRUE(component->Opened()) << component->Name();
        EXPECT_EQ(component->GetBufferSize(), 2000) << component->Name();
    }
    EXPECT_FALSE(chain.Capture->HasUpstreamDevice());
    EXPECT_TRUE(chain.Playback->HasUpstreamDevice());
}

TEST(ChainRelay, TheCaptureDeviceIsOpenedLastOfItsStretch)
{
    TProgramChain chain;
    struct TProbe : test::TRecordingComponent
    {
        using TRecording::TRecording;
        TMMDSPComponent* Watched = nullptr;
        bool WatchedWasOpened = true;
        void ChainOpened() override
        {
            WatchedWasOpened = Watched->Opened();
            TRecording::ChainOpened();
        }
    };
    auto* probe = new TProbe(&chain.Form, "probe", chain.Log);
    probe->Watched = chain.Capture;
    probe->SetInput(chain.Connector);
    chain.Capture->Open();
    EXPECT_TRUE(probe->Opened());
    EXPECT_FALSE(probe->WatchedWasOpened);
    EXPECT_TRUE(chain.Capture->Opened());
}

TEST(ChainRelay, StartAndPauseRunInChainOrderStopAndCloseReachThePlaybackDeviceFirst)
{
    TProgramChain chain;
    chain.Capture->Open();
    using TCommand = void (TMMDSPComponent::*)();
    const std::vector<std::pair<TCommand, TLog>> steps = {
        {&TMMDSPComponent::ChainStarted,
         {"capture.ChainStarted", "ring.ChainStarted", "connector1.ChainStarted",
          "equalizer.ChainStarted", "playback.ChainStarted", "connector.ChainStarted"}},
        {&TMMDSPComponent::ChainPaused,
         {"capture.ChainPaused", "ring.ChainPaused", "connector1.ChainPaused",
          "equalizer.ChainPaused", "playback.ChainPaused", "connector.ChainPaused"}},
        {&TMMDSPComponent::ChainStopped,
         {"capture.ChainStopped", "playback.ChainStopped", "connector.ChainStopped",
          "ring.ChainStopped", "connector1.ChainStopped", "equalizer.ChainStopped"}},
        {&TMMDSPComponent::ChainClosed,
         {"capture.ChainClosed", "playback.ChainClosed", "connector.ChainClosed",
          "ring.ChainClosed", "connector1.ChainClosed", "equalizer.ChainClosed"}},
    };
    for (const auto& [command, expected] : steps)
    {
        chain.Log.clear();
        (chain.Capture->*command)();
        EXPECT_EQ(chain.Log, expected);
        if (command == &TMMDSPComponent::ChainStarted)
        {
            for (TMMDSPComponent* component : chain.All())
                EXPECT_TRUE(component->Started()) << component->Name();
        }
    }
    for (TMMDSPComponent* component : chain.All())
    {
        EXPECT_FALSE(component->Started()) << component->Name();
        EXPECT_FALSE(component->Opened()) << component->Name();
    }
}

TEST(ChainRelay, APlaybackDeviceWithoutUpstreamDeviceRelaysFromTheHeadOfTheChain)
{
    TLog log;
    TComponent form(nullptr);
    auto* head = new test::TRecordingComponent(&form, "generator", log);
    auto* middle = new test::TRecordingComponent(&form, "equalizer", log);
    auto* playback = new test::TPlaybackStandIn(&form, "playback", log);
    auto* tail = new test::TRecordingComponent(&form, "connector", log);
    middle->SetInput(head);
    playback->SetInput(middle);
    tail->SetInput(playback);
    playback->SetBufferSize(1000);
    log.clear();

    playback->ChainOpened();
    EXPECT_EQ(log,
              (TLog{"playback.ChainOpened", "generator.SetBufferSize 1000", "generator.ChainOpened",
                    "equalizer.SetBufferSize 1000", "equalizer.ChainOpened",
                    "connector.SetBufferSize 1000", "connector.ChainOpened"}));
    EXPECT_FALSE(playback->HasUpstreamDevice());

    log.clear();
    playback->ChainReset();
    EXPECT_EQ(log, (TLog{"playback.ChainReset", "generator.ChainReset", "equalizer.ChainReset",
                         "connector.ChainReset"}));
}

} // namespace keb
