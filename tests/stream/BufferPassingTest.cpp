#include "stream/MMUtils.h"
#include "tests/stream/ChainStandIns.h"

#include <gtest/gtest.h>

namespace keb
{
namespace
{
// Supplies a ramp of bytes, as a source at the head of the chain would.
class TRampSource : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    void BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers) override
    {
        TMMDSPComponent::BufferLoad(lpWaveHdr, MoreBuffers);
        const std::uint32_t count = std::min<std::uint32_t>(lpWaveHdr->dwBufferLength, 10);
        for (std::uint32_t i = 0; i < count; ++i)
            lpWaveHdr->lpData[i] = static_cast<char>(i + 1);
        lpWaveHdr->dwBytesRecorded = count;
        MoreBuffers = true;
    }
};

// Doubles every byte in place on the way back, like a filter.
class TDoubler : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    void BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers) override
    {
        TMMDSPComponent::BufferLoad(lpWaveHdr, MoreBuffers);
        for (std::uint32_t i = 0; i < lpWaveHdr->dwBytesRecorded; ++i)
            lpWaveHdr->lpData[i] = static_cast<char>(lpWaveHdr->lpData[i] * 2);
    }
};
} // namespace

TEST(BufferPassing, APushTravelsDownstreamFiringEachEventOnTheSameBuffer)
{
    TComponent form(nullptr);
    std::vector<std::string> seen;
    std::vector<TMMDSPComponent*> chain;
    for (const char* name : {"a", "b", "c"})
    {
        auto* component = new TMMDSPComponent(&form);
        component->SetName(name);
        component->OnBufferReady = [&seen](TMMDSPComponent* Sender, PWaveHdr lpWaveHdr)
        { seen.push_back(Sender->Name() + ":" + std::to_string(lpWaveHdr->dwBytesRecorded)); };
        if (!chain.empty())
            component->SetInput(chain.back());
        chain.push_back(component);
    }
    TMMWaveHdr* header = AllocWaveHdr(64);
    header->wh.dwBytesRecorded = 64;
    chain.front()->BufferReady(&header->wh);
    FreeAndClear(header);
    EXPECT_EQ(seen, (std::vector<std::string>{"a:64", "b:64", "c:64"}));
}

TEST(BufferPassing, APullFiresEventsBeforeDataArrivesAndFiltersOnTheWayBack)
{
    TComponent form(nullptr);
    auto* source = new TRampSource(&form);
    auto* filter = new TDoubler(&form);
    auto* tap = new TMMDSPComponent(&form);
    filter->SetInput(source);
    tap->SetInput(filter);
    std::uint32_t bytesWhenTapFired = 99;
    tap->OnBufferLoad = [&](TMMDSPComponent*, PWaveHdr lpWaveHdr, bool&)
    { bytesWhenTapFired = lpWaveHdr->dwBytesRecorded; };

    TMMWaveHdr* header = AllocWaveHdr(32);
    bool more = false;
    tap->BufferLoad(&header->wh, more);
    EXPECT_EQ(bytesWhenTapFired, 0u);
    EXPECT_TRUE(more);
    ASSERT_EQ(header->wh.dwBytesRecorded, 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(header->wh.lpData[i], 2 * (i + 1));
    FreeAndClear(header);
}

TEST(BufferPassing, WithoutASourceNothingIsWritten)
{
    TMMDSPComponent lonely(nullptr);
    TMMWaveHdr* header = AllocWaveHdr(16);
    bool more = false;
    lonely.BufferLoad(&header->wh, more);
    EXPECT_EQ(header->wh.dwBytesRecorded, 0u);
    EXPECT_FALSE(more);
    FreeAndClear(header);
}

} // namespace keb
