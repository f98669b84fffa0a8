// Drives FilterRequest with arbitrary chunks, every option on. Besides the sanitizers'
// findings, a result that does not keep the bytes from the first zero byte on, a
// touched input or an unterminated result is a crash.

#include "FuzzPrefix.h"

#include <common/PluginContract.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" char* FilterRequest(char* request, int length, unsigned int* outLength,
                               const char* localAddress) noexcept;
extern "C" void FreeFilteredDataBuf(char* buffer) noexcept;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    filters::fuzz::preparePrefix();
    if (size == 0 || size > static_cast<std::size_t>(contract::ChunkSize)) {
        return 0;
    }
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string chunk = input + '\0';
    unsigned int outLength = 0;
    char* out = FilterRequest(chunk.data(), static_cast<int>(size), &outLength,
                              filters::fuzz::LocalAddress);
    if (out == nullptr) {
        // Only a stop-list block returns null here, and it blanks the whole input.
        if (outLength != 0 || chunk != std::string(size, ' ') + '\0') {
            std::abort();
        }
        return 0;
    }
    const std::size_t textLength = strnlen(input.data(), size);
    const std::size_t tail = size - textLength;
    if (chunk != input + '\0' || out[outLength] != '\0' || outLength < tail ||
        std::memcmp(out + outLength - tail, input.data() + textLength, tail) != 0 ||
        strnlen(out, outLength) != outLength - tail) {
        std::abort();
    }
    FreeFilteredDataBuf(out);
    return 0;
}
