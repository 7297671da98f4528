#include "RingTestSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace keb::test
{
namespace
{
constexpr std::int32_t Slot = 2000;

// The program's queue: duplex, 2 slots of 2000 bytes, WaitIfFull.
class RingDuplex : public testing::Test
{
  protected:
    RingDuplex() : ring_(nullptr)
    {
        ring_.SetBufferSize(Slot);
        ring_.SetNumBuffers(2);
        ring_.SetQueueMode(qmDuplex);
        ring_.SetWaitIfFull(true);
        ring_.SetTimeOut(1);
        ring_.OnEmpty = [this](TComponent*) { ++empties_; };
        ring_.OnOverlow = [this](TComponent*) { ++overflows_; };
        ring_.ChainOpened();
        ring_.ChainStarted();
    }

    void PushSequence(std::uint16_t sequence) { Push(ring_, Block(sequence, Slot), sequence); }

    // Pushes two blocks and makes the read that finds them both, which still
    // delivers silence and makes the queue ready.
    void MakeReady(std::uint16_t first)
    {
        PushSequence(first);
        PushSequence(static_cast<std::uint16_t>(first + 1));
        const TPulled pulled = Pull(ring_, Slot);
        ASSERT_TRUE(AllZero(pulled.Bytes.data(), pulled.Bytes.size()));
    }

    int PullSequence(std::uint32_t bytes = Slot)
    {
        const TPulled pulled = Pull(ring_, bytes);
        EXPECT_TRUE(pulled.More);
        return SequenceOf(pulled.Bytes.data(), pulled.Bytes.size());
    }

    TMMRingBuffer ring_;
    int empties_ = 0;
    int overflows_ = 0;
};
} // namespace

TEST_F(RingDuplex, SilenceUntilMoreThanHalfFullThenBlocksInOrder)
{
    TPulled pulled = Pull(ring_, Slot);
    EXPECT_EQ(pulled.Bytes.size(), std::size_t(Slot));
    EXPECT_TRUE(AllZero(pulled.Bytes.data(), pulled.Bytes.size()));
    EXPECT_TRUE(pulled.More);

    PushSequence(1);
    pulled = Pull(ring_, Slot);
    EXPECT_TRUE(AllZero(pulled.Bytes.data(), pulled.Bytes.size())) << "one of two slots filled";
    EXPECT_EQ(ring_.FilledCount(), 1);

    PushSequence(2);
    pulled = Pull(ring_, Slot);
    EXPECT_TRUE(AllZero(pulled.Bytes.data(), pulled.Bytes.size())) << "the read that finds both";
    EXPECT_EQ(ring_.FilledCount(), 2) << "silence does not touch the queue";

    EXPECT_EQ(PullSequence(), 1);
    EXPECT_EQ(PullSequence(), 2);
    EXPECT_EQ(empties_, 0);
}

TEST_F(RingDuplex, EmptyQueueDeliversTheLastBlockAgainAndFiresOnEmpty)
{
    MakeReady(1);
    EXPECT_EQ(PullSequence(), 1);
    EXPECT_EQ(PullSequence(), 2);
    EXPECT_EQ(PullSequence(), 2);
    EXPECT_EQ(PullSequence(), 2);
    EXPECT_EQ(empties_, 2);
    EXPECT_EQ(ring_.FilledCount(), 0);

    PushSequence(3);
    EXPECT_EQ(PullSequence(), 3) << "a fresh block ends the repetition";
    EXPECT_EQ(empties_, 2);
}

TEST_F(RingDuplex, FullQueueWithWaitIfFullOverwritesTheOldestUnreadBlock)
{
    MakeReady(1);
    PushSequence(3);
    EXPECT_EQ(overflows_, 0);
    EXPECT_TRUE(ring_.IsFull());
    EXPECT_EQ(ring_.FilledCount(), 2);
    EXPECT_EQ(ring_.BytesInQueue(), 2 * Slot);
    EXPECT_EQ(PullSequence(), 2) << "block 1 was the oldest unread one";
    EXPECT_EQ(PullSequence(), 3) << "the newest block is kept";
    EXPECT_EQ(PullSequence(), 3);
    EXPECT_EQ(empties_, 1);
}

TEST_F(RingDuplex, FasterProducerLosesOnlyOldBlocksAndNeverRepeats)
{
    MakeReady(0);
    int last = -1;
    std::uint16_t next = 2;
    for (int round = 0; round < 300; ++round)
    {
        PushSequence(next++);
        if (round % 3 == 0)
            PushSequence(next++);
        const int got = PullSequence();
        EXPECT_GT(got, last);
        last = got;
    }
    EXPECT_EQ(empties_, 0);
    EXPECT_EQ(overflows_, 0);
    while (!ring_.IsEmpty())
        last = PullSequence();
    EXPECT_EQ(last, next - 1) << "the newest block reaches the consumer";
}

TEST_F(RingDuplex, FullQueueWithoutWaitIfFullDropsTheBlockAndFiresOnOverlow)
{
    ring_.SetWaitIfFull(false);
    MakeReady(1);
    PushSequence(3);
    EXPECT_EQ(overflows_, 1);
    EXPECT_EQ(ring_.FilledCount(), 2);
    // The full queue is reported before the block itself is looked at.
    std::vector<char> bytes(Slot);
    ring_.PutData(nullptr, Slot, 0, 0);
    ring_.PutData(bytes.data(), 0, 0, 0);
    EXPECT_EQ(overflows_, 3);
    EXPECT_EQ(ring_.FilledCount(), 2);
    EXPECT_EQ(PullSequence(), 1);
    EXPECT_EQ(PullSequence(), 2);
}

TEST_F(RingDuplex, LongBlockIsCutToTheSlotAndShortReadsKeepTheRest)
{
    MakeReady(1);
    EXPECT_EQ(PullSequence(), 1);
    EXPECT_EQ(PullSequence(), 2);
    Push(ring_, Block(3, 3000));
    EXPECT_EQ(ring_.BytesInQueue(), Slot);

    const TPulled part = Pull(ring_, 500);
    EXPECT_EQ(part.Bytes.size(), 500u);
    EXPECT_EQ(SequenceOf(part.Bytes.data(), 500), 3);
    EXPECT_EQ(ring_.FilledCount(), 1);
    EXPECT_EQ(ring_.BytesInQueue(), 1500);
    const TPulled rest = Pull(ring_, Slot);
    EXPECT_EQ(rest.Bytes.size(), 1500u);
    EXPECT_EQ(ring_.BytesInQueue(), 0);
}

TEST_F(RingDuplex, UserValueTravelsWithTheBlock)
{
    PushSequence(1);
    Push(ring_, Block(2, Slot), 4242);
    Pull(ring_, Slot);
    EXPECT_EQ(Pull(ring_, Slot).User, 1u);
    EXPECT_EQ(Pull(ring_, Slot).User, 4242u);
}

TEST_F(RingDuplex, SilenceFillsTheWholeRequestHoweverLarge)
{
    constexpr std::uint32_t Large = 100000;
    THeaderPtr header = MakeHeader(Large);
    FillBytes(header->wh.lpData, Large, 0x55);
    bool more = false;
    ring_.BufferLoad(&header->wh, more);
    EXPECT_EQ(header->wh.dwBytesRecorded, Large);
    EXPECT_TRUE(AllZero(header->wh.lpData, Large));
    EXPECT_TRUE(more);
}

TEST_F(RingDuplex, StopEmptiesTheQueueAndTheNextStartBeginsWithSilence)
{
    MakeReady(1);
    EXPECT_EQ(PullSequence(), 1);
    ring_.ChainStopped();
    EXPECT_TRUE(ring_.IsEmpty());
    ring_.ChainStarted();
    PushSequence(7);
    EXPECT_TRUE(AllZero(Pull(ring_, Slot).Bytes.data(), Slot));
    PushSequence(8);
    EXPECT_TRUE(AllZero(Pull(ring_, Slot).Bytes.data(), Slot));
    EXPECT_EQ(PullSequence(), 7);

    ring_.ChainReset();
    EXPECT_TRUE(ring_.IsEmpty());
    PushSequence(9);
    EXPECT_TRUE(AllZero(Pull(ring_, Slot).Bytes.data(), Slot));
}

TEST_F(RingDuplex, DisabledQueueDropsWritesSilently)
{
    ring_.SetEnabled(false);
    PushSequence(1);
    PushSequence(2);
    PushSequence(3);
    EXPECT_TRUE(ring_.IsEmpty());
    EXPECT_EQ(overflows_, 0);
}

TEST_F(RingDuplex, ClosedQueueDeliversNothingAndLeavesTheHeaderAlone)
{
    MakeReady(1);
    ring_.ChainStopped();
    ring_.ChainClosed();
    EXPECT_FALSE(ring_.QueueOpen());
    THeaderPtr header = MakeHeader(Slot);
    for (const bool before : {true, false})
    {
        bool more = before;
        ring_.BufferLoad(&header->wh, more);
        EXPECT_EQ(more, before);
        EXPECT_EQ(header->wh.dwBytesRecorded, 0u);
    }
    PushSequence(5);
    EXPECT_EQ(ring_.FilledCount(), 0);
    std::int32_t size = Slot;
    std::uint32_t flags = 0;
    std::uint32_t user = 0;
    ring_.GetData(header->wh.lpData, size, flags, user);
    EXPECT_EQ(size, 0);
}

TEST_F(RingDuplex, QueriesFollowTheFillLevel)
{
    EXPECT_TRUE(ring_.IsEmpty());
    EXPECT_FALSE(ring_.IsFull());
    EXPECT_EQ(ring_.BytesFree(), 2 * Slot);
    PushSequence(1);
    EXPECT_FALSE(ring_.IsEmpty());
    EXPECT_EQ(ring_.BytesFree(), Slot);
    EXPECT_EQ(ring_.BytesInQueue(), Slot);
    PushSequence(2);
    EXPECT_TRUE(ring_.IsFull());
    EXPECT_EQ(ring_.BytesFree(), 0);
    // A closed queue holds nothing: every slot counts as free.
    ring_.ChainStopped();
    ring_.ChainClosed();
    EXPECT_EQ(ring_.BytesFree(), 2 * Slot);
    ring_.SetNumBuffers(5);
    EXPECT_EQ(ring_.BytesFree(), 5 * Slot);
}

TEST(RingProperties, DefaultsAndSilentClamps)
{
    TMMRingBuffer ring(nullptr);
    EXPECT_EQ(ring.GetBufferSize(), 2048);
    EXPECT_EQ(ring.GetNumBuffers(), 20);
    EXPECT_EQ(ring.GetQueueMode(), qmNone);
    EXPECT_TRUE(ring.GetEnabled());
    EXPECT_FALSE(ring.GetWaitIfFull());
    EXPECT_EQ(ring.GetTimeOut(), 10000);

    ring.SetBufferSize(5);
    EXPECT_EQ(ring.GetBufferSize(), 32);
    ring.SetNumBuffers(1);
    EXPECT_EQ(ring.GetNumBuffers(), 20);
    ring.SetNumBuffers(1000);
    EXPECT_EQ(ring.GetNumBuffers(), 1000);
}

TEST(RingProperties, ChangesThatNeedAClosedQueueAreRefusedWhileOpen)
{
    TMMRingBuffer ring(nullptr);
    ring.SetBufferSize(256);
    ring.SetNumBuffers(4);
    ring.SetQueueMode(qmDuplex);
    ring.ChainOpened();
    const auto expectRefused = [](const std::function<void()>& change)
    {
        try
        {
            change();
            ADD_FAILURE() << "no exception";
        }
        catch (const EMMBufferError& error)
        {
            EXPECT_STREQ(error.what(), "Change to property while device was open");
        }
    };
    expectRefused([&] { ring.SetBufferSize(512); });
    expectRefused([&] { ring.SetNumBuffers(8); });
    expectRefused([&] { ring.SetQueueMode(qmNone); });
    EXPECT_EQ(ring.GetBufferSize(), 256);
    EXPECT_EQ(ring.GetNumBuffers(), 4);
    EXPECT_EQ(ring.GetQueueMode(), qmDuplex);

    EXPECT_NO_THROW(ring.SetQueueMode(qmDuplex));
    EXPECT_NO_THROW(ring.SetNumBuffers(4));
    EXPECT_NO_THROW(ring.SetBufferSize(256));
    EXPECT_NO_THROW(ring.SetNumBuffers(1)) << "ignored values are no change";
    ring.SetEnabled(false);
    ring.SetWaitIfFull(true);
    ring.SetTimeOut(5);

    ring.ChainClosed();
    ring.SetQueueMode(qmWrite);
    EXPECT_EQ(ring.GetQueueMode(), qmWrite);
}

TEST(RingNone, BuffersPassThroughTheChainUntouched)
{
    TNumberedSource source(nullptr, 100, 5);
    TMMRingBuffer ring(nullptr);
    TCollectingSink sink(nullptr);
    ring.SetInput(&source);
    ring.SetOutput(&sink);
    ring.SetBufferSize(100);
    ring.ChainOpened();

    const TPulled pulled = Pull(ring, 200);
    EXPECT_EQ(pulled.Bytes.size(), 200u);
    EXPECT_EQ(SequenceOf(pulled.Bytes.data(), 100), 0);
    EXPECT_EQ(SequenceOf(pulled.Bytes.data() + 100, 100), 1);

    Push(ring, Block(3, 100));
    EXPECT_EQ(sink.Pushes(), 1);
    EXPECT_TRUE(ring.IsEmpty()) << "pushes are not queued";

    const auto direct = Block(9, 100);
    ring.PutData(direct.data(), 100, 0, 0);
    EXPECT_EQ(ring.ReadData(std::vector<char>(100).data(), 100), 100);
    ring.ChainClosed();
}

} // namespace keb::test
