#include "TextTools.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace filters {

void lowerInto(std::string_view text, std::string& out)
{
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[i] = lowerChar(text[i]);
    }
}

std::size_t findExact(std::string_view text, std::string_view needle, std::size_t from)
{
    if (needle.empty() || from >= text.size() || text.size() - from < needle.size()) {
        return npos;
    }
    const void* hit =
        ::memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return hit == nullptr ? npos : static_cast<const char*>(hit) - text.data();
}

bool equalsLowered(std::string_view text, std::string_view lowered)
{
    if (text.size() != lowered.size()) {
        return false;
    }
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (lowerChar(text[k]) != lowered[k]) {
            return false;
        }
    }
    return true;
}

std::size_t findLowered(std::string_view text, std::string_view lowered, std::size_t from)
{
    const std::size_t size = lowered.size();
    if (size == 0 || from >= text.size() || text.size() - from < size) {
        return npos;
    }
    const std::size_t last = text.size() - size; // the last position a match can start at
    std::size_t i = from;
#if defined(__SSE2__)
    if (size >= 2) {
        // Sixteen positions at a time whose first two characters match; a letter of the
        // needle matches either case (only A to Z lower, so c | 0x20 == letter exactly
        // for the letter's two cases).
        auto matcher = [](char c) {
            const bool letter = c >= 'a' && c <= 'z';
            return std::pair{_mm_set1_epi8(letter ? 0x20 : 0), _mm_set1_epi8(c)};
        };
        const auto [fold0, want0] = matcher(lowered[0]);
        const auto [fold1, want1] = matcher(lowered[1]);
        for (; i + 16 <= last + 1 && i + 17 <= text.size(); i += 16) {
            const char* p = text.data() + i;
            const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i hits = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(v0, fold0), want0),
                                               _mm_cmpeq_epi8(_mm_or_si128(v1, fold1), want1));
            for (unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hits)); bits != 0;
                 bits &= bits - 1) {
                const std::size_t at = i + static_cast<unsigned>(__builtin_ctz(bits));
                if (equalsLowered(text.substr(at, size), lowered)) {
                    return at;
                }
            }
        }
    }
#endif
    for (; i <= last; ++i) {
        if (lowerChar(text[i]) == lowered[0] && equalsLowered(text.substr(i, size), lowered)) {
            return i;
        }
    }
    return npos;
}

const char* FindNoCase(const char* haystack, const char* pattern)
{
    if (haystack == nullptr || pattern == nullptr) {
        return nullptr;
    }
    const std::size_t pos = text::findNoCase(haystack, pattern);
    return pos == npos ? nullptr : haystack + pos;
}

std::size_t replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    if (from.empty()) {
        return 0;
    }
    std::size_t pos = findExact(text, from);
    if (pos == npos) {
        return 0;
    }
    std::string out;
    out.reserve(text.size());
    std::size_t count = 0;
    std::size_t done = 0;
    while (pos != npos) {
        out.append(text, done, pos - done);
        out.append(to);
        done = pos + from.size();
        ++count;
        pos = findExact(text, from, done);
    }
    out.append(text, done);
    text.swap(out);
    return count;
}

void ScrambleLetters(char* span, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        // The letters are drawn from 15-bit values (0 to 32767); glibc's rand gives 31
        // bits, whose top 15 are the better ones.
        const int r = (std::rand() >> 16) & 0x7FFF;
        span[i] = static_cast<char>('a' + (r * 25) / 32767);
    }
}

} // namespace filters
