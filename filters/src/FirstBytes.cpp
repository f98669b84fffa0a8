#include "FirstBytes.h"

#include <atomic>

namespace filters {

namespace {

std::atomic<FirstBytesBuild> chosenBuild{FirstBytesBuild::Best};

// Without a build for this processor every position gets the closer look.
void everyPosition(std::size_t blocks, std::uint64_t* out)
{
    for (std::size_t block = 0; block < blocks; ++block) {
        out[block] = ~std::uint64_t{0};
    }
}

// The builds in order, best first. A build may be used when the chosen one is it or a
// better one and the processor has it; the calls below take the best that may.
bool inUse(FirstBytesBuild build, bool available)
{
    return chosenBuild.load(std::memory_order_relaxed) <= build && available;
}

bool avx512InUse()
{
    return inUse(FirstBytesBuild::Best, firstBytesAvx512Available());
}

bool avx2InUse()
{
    return inUse(FirstBytesBuild::Avx2, firstBytesAvx2Available());
}

bool ssse3InUse()
{
    return inUse(FirstBytesBuild::Ssse3, firstBytesSsse3Available());
}

} // namespace

void useFirstBytesBuild(FirstBytesBuild build)
{
    chosenBuild.store(build, std::memory_order_relaxed);
}

#if defined(__x86_64__)
bool firstBytesSsse3Available()
{
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    return ssse3;
}

bool firstBytesAvx2Available()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

bool firstBytesAvx512Available()
{
    static const bool avx512 = __builtin_cpu_supports("avx512bw");
    return avx512;
}
#else
bool firstBytesSsse3Available()
{
    return false;
}

bool firstBytesAvx2Available()
{
    return false;
}

bool firstBytesAvx512Available()
{
    return false;
}

std::uint64_t firstBytes64Ssse3(const char*)
{
    return ~std::uint64_t{0};
}

std::uint64_t firstBytes64Avx2(const char*)
{
    return ~std::uint64_t{0};
}

void firstBytesBlocksSsse3(const char*, std::size_t blocks, std::uint64_t* out)
{
    everyPosition(blocks, out);
}

void firstBytesBlocksAvx2(const char*, std::size_t blocks, std::uint64_t* out)
{
    everyPosition(blocks, out);
}

std::uint64_t firstBytes64Avx512(const char*)
{
    return ~std::uint64_t{0};
}

void firstBytesBlocksAvx512(const char*, std::size_t blocks, std::uint64_t* out)
{
    everyPosition(blocks, out);
}
#endif

std::uint64_t firstBytes64(const char* p)
{
    if (avx512InUse()) {
        return firstBytes64Avx512(p);
    }
    if (avx2InUse()) {
        return firstBytes64Avx2(p);
    }
    return ssse3InUse() ? firstBytes64Ssse3(p) : ~std::uint64_t{0};
}

void firstBytesBlocks(const char* p, std::size_t blocks, std::uint64_t* out)
{
    if (avx512InUse()) {
        firstBytesBlocksAvx512(p, blocks, out);
    } else if (avx2InUse()) {
        firstBytesBlocksAvx2(p, blocks, out);
    } else if (ssse3InUse()) {
        firstBytesBlocksSsse3(p, blocks, out);
    } else {
        everyPosition(blocks, out);
    }
}

} // namespace filters
