#pragma once

// GCC/Clang vector types and unaligned loads and stores for the vectorised loops of the
// transforms and the filter engine. Internal linkage throughout: the files that include
// this header are compiled for different instruction sets, and their copies must not be
// merged by the linker.

#include <cstdint>
#include <cstring>

namespace keb
{
namespace
{

using TFloat4 = float __attribute__((vector_size(16)));
using TInt4 = int32_t __attribute__((vector_size(16)));
using TDouble2 = double __attribute__((vector_size(16)));
#ifdef __AVX__
using TFloat8 = float __attribute__((vector_size(32)));
using TDouble4 = double __attribute__((vector_size(32)));
#endif

template <class V> V Load(const void* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V> void Store(void* p, V v)
{
    std::memcpy(p, &v, sizeof v);
}

} // namespace
} // namespace keb
