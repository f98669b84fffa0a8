// The first-byte filter built with AVX-512BW (this file only is compiled with
// -mavx512bw); called only when the processor has it. It gives the bits of the other
// builds, over 64 positions at once, with fewer operations: its compares set mask bits
// directly, and it looks at the letters as they stand instead of making them small first.

#include "FirstBytes.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace filters {

namespace {

constexpr char Small = 0x20; // the bit that makes a capital letter small

// A byte's small form equals a slot's small letter exactly when the byte and the letter
// differ at most in Small. An empty slot holds 0 as its letter, which that would let a
// 0 or a blank match: here it holds a byte that no letter whose slot is empty can equal.
constexpr char EmptyLetter = char(0x80);

// The name's second letter is tested in its small form: where a slot's mask keeps Small,
// its expected byte holds Small too, so testing the byte as it stands with Small taken
// out of both tells the same.
constexpr bool secondLetterTestsIgnoreSmall()
{
    for (int slot = 0; slot < 16; ++slot) {
        const char mask = detail::Slots.secondMask[slot];
        const char expected = detail::Slots.second[slot];
        if ((mask & Small) != (expected & Small) || (expected & ~mask) != 0) {
            return false;
        }
    }
    return true;
}
static_assert(secondLetterTestsIgnoreSmall());

// The 16 bytes of a slot table in each quarter, as the shuffle looks up within each;
// clear is taken out of every byte, and empty (where not 0) fills the empty slots.
struct alignas(64) WideTable {
    char bytes[64];
};

constexpr WideTable wide(const char (&bytes)[16], char clear = 0, char empty = 0)
{
    WideTable table{};
    for (int at = 0; at < 64; ++at) {
        const int slot = at % 16;
        table.bytes[at] = detail::Slots.letter[slot] == 0 && empty != 0
                              ? empty
                              : static_cast<char>(bytes[slot] & ~clear);
    }
    return table;
}

struct WideTables {
    WideTable first = wide(detail::Slots.first);
    WideTable letter = wide(detail::Slots.letter, 0, EmptyLetter);
    WideTable secondMask = wide(detail::Slots.secondMask, Small);
    WideTable second = wide(detail::Slots.second, Small);
    WideTable fourthMask = wide(detail::Slots.fourthMask);
    WideTable fourth = wide(detail::Slots.fourth);
};

constexpr WideTables Wide{};

__m512i load(const WideTable& table)
{
    return _mm512_load_si512(table.bytes);
}

struct Tables {
    __m512i first = load(Wide.first);
    __m512i letter = load(Wide.letter);
    __m512i secondMask = load(Wide.secondMask);
    __m512i second = load(Wide.second);
    __m512i fourthMask = load(Wide.fourthMask);
    __m512i fourth = load(Wide.fourth);
};

std::uint64_t block64(const char* p, const Tables& t)
{
    // (a & b) ^ c in one operation: zero where the masked byte is the expected one.
    constexpr int MaskedDifference = 0x6A;
    const __m512i v0 = _mm512_loadu_si512(p);
    const __m512i v1 = _mm512_loadu_si512(p + 1);
    const __m512i v2 = _mm512_loadu_si512(p + 2);
    const __m512i v3 = _mm512_loadu_si512(p + 3);
    const __mmask64 closing = _mm512_cmpeq_epi8_mask(v1, _mm512_set1_epi8('/'));
    const __m512i letter = _mm512_mask_blend_epi8(closing, v1, v2);
    const __m512i second = _mm512_mask_blend_epi8(closing, v2, v3);
    // Small lies outside the four bits that pick the slot and the top bit that empties it.
    const __m512i slot = _mm512_xor_si512(v0, letter);
    __mmask64 found = _mm512_cmpeq_epi8_mask(v0, _mm512_shuffle_epi8(t.first, slot));
    found = _mm512_mask_testn_epi8_mask(
        found, _mm512_xor_si512(letter, _mm512_shuffle_epi8(t.letter, slot)),
        _mm512_set1_epi8(static_cast<char>(~Small)));
    const __m512i secondOff =
        _mm512_ternarylogic_epi32(second, _mm512_shuffle_epi8(t.secondMask, slot),
                                  _mm512_shuffle_epi8(t.second, slot), MaskedDifference);
    const __m512i fourthOff =
        _mm512_ternarylogic_epi32(v3, _mm512_shuffle_epi8(t.fourthMask, slot),
                                  _mm512_shuffle_epi8(t.fourth, slot), MaskedDifference);
    const __m512i off = _mm512_or_si512(secondOff, fourthOff);
    return _mm512_mask_testn_epi8_mask(found, off, off);
}

} // namespace

std::uint64_t firstBytes64Avx512(const char* p)
{
    return block64(p, Tables{});
}

void firstBytesBlocksAvx512(const char* p, std::size_t blocks, std::uint64_t* out)
{
    const Tables tables;
    for (std::size_t block = 0; block < blocks; ++block) {
        out[block] = block64(p + FirstBytesBlock * block, tables);
    }
}

} // namespace filters
#endif
