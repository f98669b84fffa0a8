// The first-byte filter built with AVX2 (this file only is compiled with -mavx2); called
// only when the processor has it.

#include "FirstBytes.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace filters {

std::uint64_t firstBytes64Avx2(const char* p)
{
    const detail::Bytes32 low = detail::firstBytesLanes<detail::Bytes32>(p);
    const detail::Bytes32 high = detail::firstBytesLanes<detail::Bytes32>(p + 32);
    const auto lowMask = static_cast<std::uint32_t>(_mm256_movemask_epi8(__m256i(low)));
    const auto highMask = static_cast<std::uint32_t>(_mm256_movemask_epi8(__m256i(high)));
    return std::uint64_t{lowMask} | std::uint64_t{highMask} << 32;
}

void firstBytesBlocksAvx2(const char* p, std::size_t blocks, std::uint64_t* out)
{
    for (std::size_t block = 0; block < blocks; ++block) {
        out[block] = firstBytes64Avx2(p + FirstBytesBlock * block);
    }
}

} // namespace filters
#endif
