#include "tests/stream/ChainStandIns.h"

#include <gtest/gtest.h>

namespace keb
{
namespace
{
using test::TLog;

// The buffer size a component reports after opening with 16-bit mono.
std::int32_t RealSizeFor(std::int32_t requested)
{
    TLog log;
    test::TRecordingComponent component(nullptr, "c", log);
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, 8000);
    component.SetWaveFormat(&format);
    component.SetBufferSize(requested);
    EXPECT_EQ(component.GetBufferSize(), requested);
    component.ChainOpened();
    EXPECT_EQ(component.RealBufferSize(), component.GetBufferSize());
    return component.GetBufferSize();
}
} // namespace

TEST(ChainSize, RealBufferSizeIsAWholeNumberOfFramesAndAtLeastOne)
{
    EXPECT_EQ(RealSizeFor(2000), 2000);
    EXPECT_EQ(RealSizeFor(2001), 2000);
    EXPECT_EQ(RealSizeFor(1), 2);
    EXPECT_EQ(RealSizeFor(2048), 2048);
}

TEST(ChainSize, RealSizeIsFixedOncePerOpeningAndTheRequestShowsWhenClosed)
{
    TLog log;
    test::TRecordingComponent component(nullptr, "c", log);
    TWaveFormatEx stereo{};
    BuildPCMFormat(stereo, 16, 2, 8000);
    component.SetWaveFormat(&stereo);
    component.SetBufferSize(1002);
    component.ChainOpened();
    EXPECT_EQ(component.GetBufferSize(), 1000);
    component.SetBufferSize(999);
    component.ChainOpened();
    EXPECT_EQ(component.GetBufferSize(), 1000);
    component.ChainClosed();
    EXPECT_EQ(component.GetBufferSize(), 999);
    EXPECT_EQ(component.RealBufferSize(), 1000);
}

TEST(ChainSize, WithoutAFormatOrWithAZeroBlockAlignmentTheRequestIsTaken)
{
    TLog log;
    test::TRecordingComponent component(nullptr, "c", log);
    component.SetBufferSize(777);
    component.ChainOpened();
    EXPECT_EQ(component.GetBufferSize(), 777);
    component.ChainClosed();

    TWaveFormatEx broken{};
    BuildPCMFormat(broken, 16, 1, 8000);
    broken.nBlockAlign = 0;
    component.SetWaveFormat(&broken);
    component.ChainOpened();
    EXPECT_EQ(component.GetBufferSize(), 777);
}

TEST(ChainSize, OnlyAnOpenedComponentStartsAndChangesStopItFirst)
{
    TLog log;
    test::TRecordingComponent component(nullptr, "c", log);
    component.ChainStarted();
    EXPECT_FALSE(component.Started());

    component.ChainOpened();
    component.ChainStarted();
    EXPECT_TRUE(component.Started());
    log.clear();
    component.SetBufferSize(component.GetBufferSize() + 2);
    EXPECT_EQ(log, (TLog{"c.SetBufferSize 2050", "c.ChainStopped"}));

    component.ChainStarted();
    log.clear();
    TWaveFormatEx format{};
    BuildPCMFormat(format, 8, 1, 8000);
    component.SetWaveFormat(&format);
    EXPECT_EQ(log, (TLog{"c.ChainStopped"}));
    EXPECT_FALSE(component.Started());

    // Closed while started: stays marked started until a stop arrives.
    component.ChainStarted();
    component.ChainClosed();
    EXPECT_TRUE(component.Started());
    EXPECT_FALSE(component.Opened());
}

} // namespace keb
