// Drives FilterResponse with arbitrary chunks, every option on. Besides the sanitizers'
// findings, any change of the chunk's length (a zero byte written into the text, the
// text's end moved, a byte after it or the terminating zero touched) is a crash.

#include "FuzzPrefix.h"

#include <common/PluginContract.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" void FilterResponse(char* response, int length) noexcept;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    filters::fuzz::preparePrefix();
    if (size == 0 || size > static_cast<std::size_t>(contract::ChunkSize)) {
        return 0;
    }
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string chunk = input + '\0';
    FilterResponse(chunk.data(), static_cast<int>(size));
    const std::size_t textLength = strnlen(input.data(), size);
    if (chunk.size() != size + 1 || chunk[size] != '\0' ||
        strnlen(chunk.data(), size) != textLength ||
        chunk.compare(textLength, size - textLength, input, textLength) != 0) {
        std::abort();
    }
    return 0;
}
