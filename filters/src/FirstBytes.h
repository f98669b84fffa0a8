#pragma once
// The response words' first-byte filter: which of 64 positions may begin a word, for
// the closer look in ResponseWords. A '<' before a letter that starts a wanted tag name
// ('s', 't', 'o', any case) or before '/'; "on"; "window" with its '.'; ".s" with the 'f'
// of ".swf"; "setT". Reads 70 bytes from p.
//
// Written once in GCC's vector extensions and compiled twice: for the baseline (SSE2)
// here, and with AVX2 in FirstBytesAvx2.cpp, used when the processor has it.

#include <cstdint>
#include <cstring>

namespace filters {

// Bit k set: position p + k may begin a word. The AVX2 build where the processor has
// it, else the baseline one.
std::uint64_t firstBytes64(const char* p);
// The two builds, for FirstBytes.cpp and the tests: the baseline one (SSE2 on x86-64,
// every bit set elsewhere) and the AVX2 one (x86-64 only; call it only when
// firstBytesAvx2Available()).
std::uint64_t firstBytes64Baseline(const char* p);
std::uint64_t firstBytes64Avx2(const char* p);
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
    const V v3 = load(3);
    const V v6 = load(6);
    const V l1 = v1 | 0x20;
    const V l3 = v3 | 0x20;
    const V tags = (v0 == '<') & ((l1 == 's') | (l1 == 't') | (l1 == 'o') | (v1 == '/'));
    const V on = (v0 == 'o') & (v1 == 'n');
    const V window = (v0 == 'w') & (v6 == '.');
    const V flash = (v0 == '.') & (l1 == 's') & (l3 == 'f');
    const V timer = (v0 == 's') & (v3 == 'T');
    return tags | on | window | flash | timer;
}

} // namespace
} // namespace detail

} // namespace filters
