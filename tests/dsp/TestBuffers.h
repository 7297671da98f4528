// Audio buffers and small helpers shared by the generator and equalizer tests.
#pragma once

#include "stream/MMUtils.h"
#include "stream/MMWaveHdr.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace keb::test
{

// A chain buffer (header plus audio bytes) that frees itself.
class TestBuffer
{
  public:
    explicit TestBuffer(std::uint32_t bytes) : Block(AllocWaveHdr(bytes)) {}
    ~TestBuffer() { FreeAndClear(Block); }
    TestBuffer(const TestBuffer&) = delete;
    TestBuffer& operator=(const TestBuffer&) = delete;

    PWaveHdr Header() { return &Block->wh; }
    std::uint8_t* Bytes() { return reinterpret_cast<std::uint8_t*>(Block->wh.lpData); }
    std::uint32_t Length() const { return Block->wh.dwBufferLength; }

    std::int16_t Sample(int index) const
    {
        std::int16_t value;
        std::memcpy(&value, Block->wh.lpData + 2 * index, sizeof value);
        return value;
    }
    void SetSample(int index, std::int16_t value)
    {
        std::memcpy(Block->wh.lpData + 2 * index, &value, sizeof value);
    }
    std::vector<std::int16_t> Samples() const
    {
        std::vector<std::int16_t> samples(Block->wh.dwBytesRecorded / 2);
        std::memcpy(samples.data(), Block->wh.lpData, samples.size() * 2);
        return samples;
    }
    // Marks every byte valid, as a producer does before pushing the buffer.
    void Fill(std::uint8_t value)
    {
        std::memset(Block->wh.lpData, value, Block->wh.dwBufferLength);
        Block->wh.dwBytesRecorded = Block->wh.dwBufferLength;
    }
    // Prepares a pull: nothing valid yet.
    void ClearForLoad() { Block->wh.dwBytesRecorded = 0; }

  private:
    TMMWaveHdr* Block;
};

// The message of the exception E that action raises, or "no exception".
template <class E, class Action> std::string MessageOf(Action&& action)
{
    try
    {
        action();
    }
    catch (const E& error)
    {
        return error.what();
    }
    return "no exception";
}

} // namespace keb::test
