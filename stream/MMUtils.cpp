#include "stream/MMUtils.h"

#include "platform/core/Exceptions.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace keb
{

std::int32_t RoundedMulDiv(std::int32_t x, std::int32_t y, std::int32_t z)
{
    if (z == 0)
        throw EDivByZero("Division by zero");
    const std::int64_t product = std::int64_t{x} * y;
    const std::int64_t quotient = product / z;
    const std::int64_t remainder = product % z;
    const std::int64_t rounded = quotient + (2 * remainder) / z;
    return static_cast<std::int32_t>(Clamp<std::int64_t>(rounded,
                                                         std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
}

void* AllocZeroed(std::size_t size)
{
    void* block = std::calloc(size == 0 ? 1 : size, 1);
    if (!block)
        throw EOutOfMemory("Out of memory");
    return block;
}

void FreeZeroed(void* block)
{
    std::free(block);
}

void FillBytes(void* destination, std::ptrdiff_t count, std::uint8_t value)
{
    if (count > 0)
        std::memset(destination, value, static_cast<std::size_t>(count));
}

void MoveBytes(const void* source, void* destination, std::ptrdiff_t count)
{
    if (count > 0)
        std::memmove(destination, source, static_cast<std::size_t>(count));
}

} // namespace keb
