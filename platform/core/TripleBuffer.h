// Hands values from one writer thread to one reader thread without a lock: three slots,
// one being filled by the writer, one published, one in use by the reader. Publishing
// and taking are one atomic exchange each, so neither side ever waits for the other.
// Only the newest value counts: one published over an untaken one replaces it.
//
// Threads: Spare and Publish belong to the writer, TakeNewest and Current to the
// reader; one thread on each side at a time. The writer fills the whole spare slot
// before publishing it: the slot holds an older value, not the last one published.
// Nothing is allocated after construction.
#pragma once

#include <array>
#include <atomic>

namespace keb
{

template <class TValue> class TTripleBuffer
{
  public:
    // All three slots hold initial; nothing is published yet.
    explicit TTripleBuffer(const TValue& initial = TValue{}) : slots_{initial, initial, initial} {}

    // The writer's slot, to be filled and then published.
    TValue& Spare() { return slots_[spare_]; }
    // Publishes the spare slot; the writer gets an unused slot as its next spare.
    void Publish()
    {
        spare_ = published_.exchange(spare_ | FreshBit, std::memory_order_acq_rel) & ~FreshBit;
    }

    // Makes the newest published value current; false when nothing new was published.
    bool TakeNewest()
    {
        if ((published_.load(std::memory_order_relaxed) & FreshBit) == 0)
            return false;
        current_ = published_.exchange(current_, std::memory_order_acq_rel) & ~FreshBit;
        return true;
    }
    // The reader's value: the newest taken (initial before the first TakeNewest).
    const TValue& Current() const { return slots_[current_]; }

  private:
    static constexpr int FreshBit = 4;

    std::array<TValue, 3> slots_;
    std::atomic<int> published_{1}; // slot index, with FreshBit until taken
    int current_ = 0;
    int spare_ = 2;
};

} // namespace keb
