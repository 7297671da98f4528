#include "tests/platform/core/Watchdog.h"
#include "tests/stream/ChainStandIns.h"

#include <cstring>
#include <gtest/gtest.h>

namespace keb
{
namespace
{
using test::TLog;

TWaveFormatEx Pcm(std::uint32_t rate)
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, rate);
    return format;
}

struct TThreeComponents
{
    TLog Log;
    TComponent Form{nullptr};
    test::TRecordingComponent* A = new test::TRecordingComponent(&Form, "A", Log);
    test::TRecordingComponent* B = new test::TRecordingComponent(&Form, "B", Log);
    test::TRecordingComponent* C = new test::TRecordingComponent(&Form, "C", Log);

    // A -> B -> C with an 8000 Hz format set at A.
    void LinkInLine()
    {
        const TWaveFormatEx format = Pcm(8000);
        A->SetWaveFormat(&format);
        B->SetInput(A);
        C->SetInput(B);
    }
};

// Both ends of every link in the registry agree.
void ExpectConsistentLinks()
{
    for (TMMDSPComponent* component : StreamComponents())
    {
        if (TMMDSPComponent* output = component->GetOutput())
        {
            EXPECT_EQ(output->GetInput(), component) << component->Name();
        }
        if (TMMDSPComponent* input = component->GetInput())
        {
            EXPECT_EQ(input->GetOutput(), component) << component->Name();
        }
    }
}
} // namespace

TEST(ChainLink, SettingInputLinksBothWaysAndGivesAnOwnedCopyOfTheFormat)
{
    TThreeComponents c;
    const TWaveFormatEx format = Pcm(8000);
    c.A->SetWaveFormat(&format);
    c.B->SetInput(c.A);

    EXPECT_EQ(c.A->GetOutput(), c.B);
    EXPECT_EQ(c.B->GetInput(), c.A);
    EXPECT_EQ(c.B->InputPortName(), "Output");
    EXPECT_EQ(c.A->OutputPortName(), "Input");
    ASSERT_NE(c.B->GetWaveFormat(), nullptr);
    EXPECT_NE(c.B->GetWaveFormat(), c.A->GetWaveFormat());
    EXPECT_NE(c.A->GetWaveFormat(), &format);
    EXPECT_EQ(std::memcmp(c.B->GetWaveFormat(), &format, sizeof format), 0);

    // Changing the head's format leaves B's copy intact until it is sent on.
    const TWaveFormatEx other = Pcm(11025);
    c.B->SetOutput(c.C);
    c.A->SetWaveFormat(&other);
    EXPECT_EQ(c.C->GetWaveFormat()->nSamplesPerSec, 11025u);
    EXPECT_NE(c.C->GetWaveFormat(), c.B->GetWaveFormat());
    ExpectConsistentLinks();
}

TEST(ChainLink, TakingOverAnOutputClearsTheOldPartnerButKeepsItsFormat)
{
    TThreeComponents c;
    const TWaveFormatEx format = Pcm(8000);
    c.A->SetWaveFormat(&format);
    c.B->SetInput(c.A);
    c.C->SetInput(c.A);

    EXPECT_EQ(c.A->GetOutput(), c.C);
    EXPECT_EQ(c.B->GetInput(), nullptr);
    EXPECT_EQ(c.B->InputPortName(), "");
    ASSERT_NE(c.B->GetWaveFormat(), nullptr);
    EXPECT_EQ(c.B->GetWaveFormat()->nSamplesPerSec, 8000u);
    ExpectConsistentLinks();

    // The mirror: B takes over C as its Output, so A loses it.
    c.B->SetOutput(c.C);
    EXPECT_EQ(c.A->GetOutput(), nullptr);
    EXPECT_EQ(c.C->GetInput(), c.B);
    ExpectConsistentLinks();
}

TEST(ChainLink, UnlinkingSendsANullFormatDownTheChain)
{
    TThreeComponents c;
    c.LinkInLine();
    ASSERT_NE(c.C->GetWaveFormat(), nullptr);

    c.B->SetInput(nullptr);
    EXPECT_EQ(c.A->GetOutput(), nullptr);
    EXPECT_EQ(c.B->GetWaveFormat(), nullptr);
    EXPECT_EQ(c.C->GetWaveFormat(), nullptr);
    EXPECT_EQ(c.C->GetInput(), c.B);

    c.B->SetInput(c.A);
    c.B->SetOutput(nullptr);
    EXPECT_EQ(c.C->GetInput(), nullptr);
    EXPECT_EQ(c.C->GetWaveFormat(), nullptr);
    EXPECT_NE(c.B->GetWaveFormat(), nullptr);
    ExpectConsistentLinks();
}

TEST(ChainLink, SelfLinksCyclesAndMissingPortsAreRefusedSilently)
{
    // A cycle that got through would send the format round for ever.
    test::TWatchdog watchdog(std::chrono::seconds(30), "refusing cycles");
    TThreeComponents c;
    TLog log;
    auto* capture = new test::TCaptureStandIn(&c.Form, log);
    c.LinkInLine();
    c.Log.clear();

    c.A->SetInput(c.A);
    c.A->SetInput(c.C);
    c.A->SetInput(c.B);
    c.C->SetOutput(c.A);
    c.B->SetOutput(c.B);
    c.C->SetOutput(capture);
    capture->SetInput(c.C);
    EXPECT_EQ(c.A->GetInput(), nullptr);
    EXPECT_EQ(c.C->GetOutput(), nullptr);
    EXPECT_EQ(c.B->GetOutput(), c.C);
    EXPECT_EQ(capture->GetInput(), nullptr);
    EXPECT_FALSE(c.A->CanConnectInput(c.C));
    EXPECT_FALSE(c.C->CanConnectOutput(c.A));
    EXPECT_FALSE(c.C->CanConnectOutput(capture));
    EXPECT_TRUE(c.A->CanConnectInput(capture));
    // A refused link does not even stop the component.
    EXPECT_TRUE(c.Log.empty());
    ExpectConsistentLinks();
}

TEST(ChainLink, DestroyingAMiddleComponentUnlinksBothNeighbours)
{
    TThreeComponents c;
    c.LinkInLine();
    const std::size_t registered = StreamComponents().size();

    delete c.B;
    EXPECT_EQ(c.A->GetOutput(), nullptr);
    EXPECT_EQ(c.C->GetInput(), nullptr);
    EXPECT_EQ(c.C->GetWaveFormat(), nullptr);
    EXPECT_EQ(StreamComponents().size(), registered - 1);
    ExpectConsistentLinks();
}

TEST(ChainLink, APortNameThatDoesNotMatchKeepsTheLink)
{
    TThreeComponents c;
    c.B->SetInput(c.A);
    c.A->SetOutputLink(c.B, "Input");
    c.B->DropStaleLink(c.A, true, "output");
    EXPECT_EQ(c.B->GetInput(), c.A);
    c.B->DropStaleLink(c.A, true, "Output");
    EXPECT_EQ(c.B->GetInput(), nullptr);

    c.B->SetInputLink(c.A, "a port name far longer than twenty");
    EXPECT_EQ(c.B->InputPortName(), "a port name far long");
}

TEST(ChainLink, LinkingStopsAStartedComponentFirst)
{
    TThreeComponents c;
    c.B->ChainOpened();
    c.B->ChainStarted();
    c.Log.clear();
    c.B->SetInput(c.A);
    EXPECT_EQ(c.Log, (TLog{"B.ChainStopped"}));
    EXPECT_FALSE(c.B->Started());
}

TEST(ChainLink, WhileLoadingFormatsWaitForLoaded)
{
    TThreeComponents c;
    c.Form.BeginLoading();
    const TWaveFormatEx format = Pcm(8000);
    // The stored layout sets both ends of each link and the head's format.
    c.A->SetWaveFormat(&format);
    c.A->SetOutput(c.B);
    c.B->SetInput(c.A);
    c.B->SetOutput(c.C);
    c.C->SetInput(c.B);
    EXPECT_EQ(c.B->GetWaveFormat(), nullptr);
    EXPECT_EQ(c.C->GetWaveFormat(), nullptr);

    for (TComponent* component : {static_cast<TComponent*>(c.A), static_cast<TComponent*>(c.B),
                                  static_cast<TComponent*>(c.C)})
        component->Loaded();
    ASSERT_NE(c.C->GetWaveFormat(), nullptr);
    EXPECT_EQ(c.C->GetWaveFormat()->nSamplesPerSec, 8000u);
    EXPECT_EQ(c.B->GetOutput(), c.C);
    ExpectConsistentLinks();
}

} // namespace keb
