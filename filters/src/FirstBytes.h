#pragma once
// The response words' first-byte filter: which of 64 positions may begin a word, for
// the closer look in ResponseWords. A '<' before the first two letters of a wanted tag
// name ("sc", "ti", "td", "ob", any case), also after a '/'; "onu" and "onco"; "window"
// with its '.' and the 'o' or 's' after it; ".s" with the 'f' of ".swf"; "setT". Reads
// FirstBytesReach bytes past the block.
//
// Written once in GCC's vector extensions and compiled twice: for the baseline (SSE2)
// here, and with AVX2 in FirstBytesAvx2.cpp, used when the processor has it.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace filters {

constexpr std::size_t FirstBytesBlock = 64;
constexpr std::size_t FirstBytesReach = 7;

// Bit k set: position p + k may begin a word. The AVX2 build where the processor has
// it, else the baseline one.
std::uint64_t firstBytes64(const char* p);
// The bits of blocks consecutive blocks from p into out[0 .. blocks).
void firstBytesBlocks(const char* p, std::size_t blocks, std::uint64_t* out);
// The two builds, for FirstBytes.cpp and the tests: the baseline one (SSE2 on x86-64,
// every bit set elsewhere) and the AVX2 one (x86-64 only; call it only when
// firstBytesAvx2Available()).
std::uint64_t firstBytes64Baseline(const char* p);
std::uint64_t firstBytes64Avx2(const char* p);
void firstBytesBlocksBaseline(const char* p, std::size_t blocks, std::uint64_t* out);
void firstBytesBlocksAvx2(const char* p, std::size_t blocks, std::uint64_t* out);
bool firstBytesAvx2Available();

namespace detail {
namespace {

typedef char Bytes16 __attribute__((vector_size(16)));
typedef char Bytes32 __attribute__((vector_size(32)));

// Lanes of -1 where a word may begin, over as many positions from p as V has lanes.
template <typename V> inline V firstBytesLanes(const char* p)
{
    auto load = [p](int at) {
        V v;
        std::memcpy(&v, p + at, sizeof v);
        return v;
    };
    const V v0 = load(0);
    const V v1 = load(1);
    const V v2 = load(2);
    const V v3 = load(3);
    const V v6 = load(6);
    const V v7 = load(7);
    const V l1 = v1 | 0x20;
    const V l2 = v2 | 0x20;
    const V l3 = v3 | 0x20;
    // A tag name's first two letters: after "<", or after "</".
    const V closing = v1 == '/';
    const V n0 = (l1 & ~closing) | (l2 & closing);
    const V n1 = (l2 & ~closing) | (l3 & closing);
    const V names = ((n0 == 's') & (n1 == 'c')) | ((n0 == 't') & ((n1 == 'i') | (n1 == 'd'))) |
                    ((n0 == 'o') & (n1 == 'b'));
    const V tags = (v0 == '<') & names;
    const V on = (v0 == 'o') & (v1 == 'n') & ((v2 == 'u') | ((v2 == 'c') & (v3 == 'o')));
    const V window = (v0 == 'w') & (v6 == '.') & ((v7 == 'o') | (v7 == 's'));
    const V flash = (v0 == '.') & (l1 == 's') & (l3 == 'f');
    const V timer = (v0 == 's') & (v3 == 'T');
    return tags | on | window | flash | timer;
}

} // namespace
} // namespace detail

} // namespace filters
