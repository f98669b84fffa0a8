#pragma once
// The response words' first-byte filter: which of 64 positions may begin a word, for
// the closer look in ResponseWords. Every word is told by its first byte and the first
// letter of its name (for a tag the letter after "<" or "</", otherwise the second byte),
// and then by one or two more bytes: "<sc", "<ti"/"<td", "<ob" (any case, also after
// "</"), "onu"/"onco", "wind", ".s?f", "setT". The pair of first byte and letter picks
// one of sixteen slots (their XOR's low four bits, one byte shuffle), and the slot holds
// what the bytes must be. Where a slot allows two letters it lets a few more through
// ("<th", "one"); ResponseWords names and checks every candidate, so a position let
// through in vain costs only that look. Reads at most FirstBytesReach bytes past the
// block.
//
// Written once over two byte operations (a shuffle and a select) and compiled twice:
// with SSSE3 in FirstBytesSsse3.cpp and with AVX2 in FirstBytesAvx2.cpp. The AVX-512 build
// in FirstBytesAvx512.cpp gives the same bits with mask operations. The best build the
// processor has is used; elsewhere every position gets the closer look.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace filters {

constexpr std::size_t FirstBytesBlock = 64;
constexpr std::size_t FirstBytesReach = 7;

// Bit k set: position p + k may begin a word. The best build this processor has.
std::uint64_t firstBytes64(const char* p);
// The bits of blocks consecutive blocks from p into out[0 .. blocks).
void firstBytesBlocks(const char* p, std::size_t blocks, std::uint64_t* out);
// The builds, for FirstBytes.cpp and the tests; call one only when it is available.
// Without either, every bit is set.
bool firstBytesSsse3Available();
bool firstBytesAvx2Available();
bool firstBytesAvx512Available();
std::uint64_t firstBytes64Ssse3(const char* p);
std::uint64_t firstBytes64Avx2(const char* p);
std::uint64_t firstBytes64Avx512(const char* p);
void firstBytesBlocksSsse3(const char* p, std::size_t blocks, std::uint64_t* out);
void firstBytesBlocksAvx2(const char* p, std::size_t blocks, std::uint64_t* out);
void firstBytesBlocksAvx512(const char* p, std::size_t blocks, std::uint64_t* out);
// Which build firstBytes64 and firstBytesBlocks use from now on, for the tests that hold
// each of them to the reference: the best the processor has (the default), the AVX2 or
// the SSSE3 build (or the best below it that the processor has), or none, every position
// getting the closer look.
enum class FirstBytesBuild { Best, Avx2, Ssse3, EveryPosition };
void useFirstBytesBuild(FirstBytesBuild build);

namespace detail {

// The slots: the first byte and the name's first letter (small), then the bytes after
// them as (byte & mask) == expected: the name's second letter (small; for a tag after
// "</" the byte after it) and the fourth byte as it stands.
struct FirstBytesSlots {
    char first[16];
    char letter[16];
    char secondMask[16];
    char second[16];
    char fourthMask[16];
    char fourth[16];
};

constexpr FirstBytesSlots firstBytesSlots()
{
    struct Row {
        char first, letter, secondMask, second, fourthMask, fourth;
    };
    constexpr char All = char(0xFF);
    const Row rows[] = {
        {'<', 's', All, 'c', 0, 0},                    // script
        {'<', 't', char(0xF2), 0x60, 0, 0},            // title, td: 'i' or 'd' (and ` a e h l m)
        {'<', 'o', All, 'b', 0, 0},                    // object
        {'o', 'n', char(0xE9), 0x61, char(0xFE), 'n'}, // onunload, oncontextmenu: 'u' or 'c'
        {'w', 'i', All, 'n', All, 'd'},                // window.
        {'.', 's', 0, 0, char(0xDF), 'F'},             // .swf, any case
        {'s', 'e', All, 't', All, 'T'},                // setTimeout
    };
    FirstBytesSlots slots{};
    for (const Row& row : rows) {
        const int slot = (row.first ^ row.letter) & 15;
        if (slots.letter[slot] != 0) {
            throw "two rows share a slot"; // stops the compilation
        }
        slots.first[slot] = row.first;
        slots.letter[slot] = row.letter;
        slots.secondMask[slot] = row.secondMask;
        slots.second[slot] = row.second;
        slots.fourthMask[slot] = row.fourthMask;
        slots.fourth[slot] = row.fourth;
    }
    return slots;
}

inline constexpr FirstBytesSlots Slots = firstBytesSlots();

// The slot tables as a build's vectors (Ops::table fills one from 16 bytes).
template <typename Ops, typename V> struct SlotVectors {
    V first = Ops::table(Slots.first);
    V letter = Ops::table(Slots.letter);
    V secondMask = Ops::table(Slots.secondMask);
    V second = Ops::table(Slots.second);
    V fourthMask = Ops::table(Slots.fourthMask);
    V fourth = Ops::table(Slots.fourth);
};

// The bits of consecutive blocks through a build's look at one block.
template <typename Ops, typename Block64>
inline void eachBlock(const char* p, std::size_t blocks, std::uint64_t* out, Block64 block64)
{
    const Ops ops;
    for (std::size_t block = 0; block < blocks; ++block) {
        out[block] = block64(p + FirstBytesBlock * block, ops);
    }
}

// Lanes of -1 where a word may begin, over as many positions from p as Ops::V has
// lanes. Ops gives the shuffle (a slot's byte of a table) and the select. A slot left
// empty holds 0 as its letter, which a small letter never equals, and a pair whose XOR
// has its top bit set reads 0 from every table.
template <typename Ops> inline typename Ops::V firstBytesLanes(const char* p, const Ops& ops)
{
    using V = typename Ops::V;
    auto load = [p](int at) {
        V v;
        std::memcpy(&v, p + at, sizeof v);
        return v;
    };
    const V v0 = load(0);
    const V v1 = load(1);
    const V l1 = v1 | 0x20;
    const V l2 = load(2) | 0x20;
    const V v3 = load(3);
    const V closing = v1 == '/';
    const V letter = ops.select(closing, l2, l1);
    const V second = ops.select(closing, v3 | 0x20, l2);
    const V slot = v0 ^ letter;
    const V pair = (v0 == ops.lookup(ops.first, slot)) & (letter == ops.lookup(ops.letter, slot));
    const V secondOk = (second & ops.lookup(ops.secondMask, slot)) == ops.lookup(ops.second, slot);
    const V fourthOk = (v3 & ops.lookup(ops.fourthMask, slot)) == ops.lookup(ops.fourth, slot);
    return pair & secondOk & fourthOk;
}

} // namespace detail

} // namespace filters
