// The first-byte filter built with AVX2 (this file only is compiled with -mavx2); called
// only when the processor has it.

#include "FirstBytes.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace filters {

namespace {

typedef char Bytes32 __attribute__((vector_size(32)));

struct Avx2Ops : detail::SlotVectors<Avx2Ops, Bytes32> {
    using V = Bytes32;

    // The 16 bytes of table in both halves, as the shuffle looks up within each half.
    static V table(const char (&bytes)[16])
    {
        V v;
        std::memcpy(&v, bytes, 16);
        std::memcpy(reinterpret_cast<char*>(&v) + 16, bytes, 16);
        return v;
    }
    static V lookup(V table, V index)
    {
        return V(_mm256_shuffle_epi8(__m256i(table), __m256i(index)));
    }
    static V select(V mask, V yes, V no)
    {
        return V(_mm256_blendv_epi8(__m256i(no), __m256i(yes), __m256i(mask)));
    }
};

std::uint64_t block64(const char* p, const Avx2Ops& ops)
{
    const auto low =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(__m256i(detail::firstBytesLanes(p, ops))));
    const auto high = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(__m256i(detail::firstBytesLanes(p + 32, ops))));
    return std::uint64_t{low} | std::uint64_t{high} << 32;
}

} // namespace

std::uint64_t firstBytes64Avx2(const char* p)
{
    return block64(p, Avx2Ops{});
}

void firstBytesBlocksAvx2(const char* p, std::size_t blocks, std::uint64_t* out)
{
    detail::eachBlock<Avx2Ops>(p, blocks, out, block64);
}

} // namespace filters
#endif
