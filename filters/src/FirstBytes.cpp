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

void firstBytesBlocks(const char* p, std::size_t blocks, std::uint64_t* out)
{
    if (firstBytesAvx2Available()) {
        firstBytesBlocksAvx2(p, blocks, out);
    } else {
        firstBytesBlocksBaseline(p, blocks, out);
    }
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

void firstBytesBlocksAvx2(const char* p, std::size_t blocks, std::uint64_t* out)
{
    firstBytesBlocksBaseline(p, blocks, out);
}

void firstBytesBlocks(const char* p, std::size_t blocks, std::uint64_t* out)
{
    firstBytesBlocksBaseline(p, blocks, out);
}
#endif

void firstBytesBlocksBaseline(const char* p, std::size_t blocks, std::uint64_t* out)
{
    for (std::size_t block = 0; block < blocks; ++block) {
        out[block] = firstBytes64Baseline(p + FirstBytesBlock * block);
    }
}

} // namespace filters
