#include "FirstBytes.h"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace filters {

#if defined(__x86_64__)
std::uint64_t firstBytes64Baseline(const char* p)
{
    std::uint64_t bits = 0;
    for (int block = 0; block < 4; ++block) {
        const detail::Bytes16 lanes = detail::firstBytesLanes<detail::Bytes16>(p + 16 * block);
        const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(__m128i(lanes)));
        bits |= std::uint64_t{mask} << (16 * block);
    }
    return bits;
}

bool firstBytesAvx2Available()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

std::uint64_t firstBytes64(const char* p)
{
    return firstBytesAvx2Available() ? firstBytes64Avx2(p) : firstBytes64Baseline(p);
}
#else
// Elsewhere every position gets the closer look.
std::uint64_t firstBytes64Baseline(const char*)
{
    return ~std::uint64_t{0};
}

bool firstBytesAvx2Available()
{
    return false;
}

std::uint64_t firstBytes64Avx2(const char* p)
{
    return firstBytes64Baseline(p);
}

std::uint64_t firstBytes64(const char* p)
{
    return firstBytes64Baseline(p);
}
#endif

} // namespace filters
