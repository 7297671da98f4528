// Arithmetic, memory and integer helpers shared by every stream component.
//
// All of them are reentrant and take no locks; only AllocZeroed and
// ReallocZeroed allocate. They may run on the audio threads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace keb
{

// x * y / z rounded to the nearest integer, halves away from zero: the
// product is formed in 64 bits and divided with truncation, then the doubled
// remainder divided by z is added. This is the one rounding rule behind every
// byte, sample and millisecond conversion. The doubling is done in 64 bits, so
// divisors beyond 2^30 round correctly; a result beyond the 32-bit range
// saturates. z = 0 raises EDivByZero.
std::int32_t RoundedMulDiv(std::int32_t x, std::int32_t y, std::int32_t z);

// A zero-filled heap block of `size` bytes (at least one byte is reserved, so
// the result is never null). Raises EOutOfMemory when the allocation fails.
void* AllocZeroed(std::size_t size);

// Releases a block of AllocZeroed (null: nothing).
void FreeZeroed(void* block);

// Releases the block and sets the reference to null.
template <typename T> void FreeAndClear(T*& reference)
{
    if (reference)
    {
        FreeZeroed(const_cast<void*>(static_cast<const void*>(reference)));
        reference = nullptr;
    }
}

// FreeAndClear, then a fresh zero-filled block of `size` bytes; the old
// contents are not kept.
template <typename T> void ReallocZeroed(T*& reference, std::size_t size)
{
    FreeAndClear(reference);
    reference = static_cast<T*>(AllocZeroed(size));
}

constexpr std::int32_t IntMin(std::int32_t x, std::int32_t y)
{
    return x < y ? x : y;
}

constexpr std::int32_t IntMax(std::int32_t x, std::int32_t y)
{
    return x > y ? x : y;
}

// v limited to lo .. hi.
template <typename T> constexpr T Clamp(T v, T lo, T hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

// lo <= v <= hi.
template <typename T> constexpr bool IsInRange(T v, T lo, T hi)
{
    return lo <= v && v <= hi;
}

// Sets count bytes to value (count <= 0: nothing).
void FillBytes(void* destination, std::ptrdiff_t count, std::uint8_t value);

// Copies count bytes; the areas may overlap (count <= 0: nothing).
void MoveBytes(const void* source, void* destination, std::ptrdiff_t count);

} // namespace keb
