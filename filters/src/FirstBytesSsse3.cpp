// The first-byte filter built with SSSE3 (this file only is compiled with -mssse3); called
// only when the processor has it.

#include "FirstBytes.h"

#if defined(__x86_64__)
#include <tmmintrin.h>

namespace filters {

namespace {

typedef char Bytes16 __attribute__((vector_size(16)));

struct Ssse3Ops : detail::SlotVectors<Ssse3Ops, Bytes16> {
    using V = Bytes16;

    static V table(const char (&bytes)[16])
    {
        V v;
        std::memcpy(&v, bytes, 16);
        return v;
    }
    static V lookup(V table, V index)
    {
        return V(_mm_shuffle_epi8(__m128i(table), __m128i(index)));
    }
    // SSSE3 has no byte blend.
    static V select(V mask, V yes, V no) { return no ^ ((no ^ yes) & mask); }
};

std::uint64_t block64(const char* p, const Ssse3Ops& ops)
{
    std::uint64_t bits = 0;
    for (int part = 0; part < 4; ++part) {
        const auto mask = static_cast<std::uint32_t>(
            _mm_movemask_epi8(__m128i(detail::firstBytesLanes(p + 16 * part, ops))));
        bits |= std::uint64_t{mask} << (16 * part);
    }
    return bits;
}

} // namespace

std::uint64_t firstBytes64Ssse3(const char* p)
{
    return block64(p, Ssse3Ops{});
}

void firstBytesBlocksSsse3(const char* p, std::size_t blocks, std::uint64_t* out)
{
    detail::eachBlock<Ssse3Ops>(p, blocks, out, block64);
}

} // namespace filters
#endif
