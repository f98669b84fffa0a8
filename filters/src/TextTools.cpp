#include "TextTools.h"

#include <cstdlib>
#include <cstring>

namespace filters {

std::string lowerCopy(std::string_view text)
{
    std::string out;
    lowerInto(text, out);
    return out;
}

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

std::size_t FindNoCase(std::string_view text, std::string_view pattern, std::size_t from)
{
    if (pattern.empty() || from >= text.size() || text.size() - from < pattern.size()) {
        return npos;
    }
    const std::string lowered = lowerCopy(pattern);
    const char first = lowered[0];
    const std::size_t last = text.size() - pattern.size();
    for (std::size_t i = from; i <= last; ++i) {
        if (lowerChar(text[i]) != first) {
            continue;
        }
        std::size_t k = 1;
        while (k < pattern.size() && lowerChar(text[i + k]) == lowered[k]) {
            ++k;
        }
        if (k == pattern.size()) {
            return i;
        }
    }
    return npos;
}

const char* FindNoCase(const char* text, const char* pattern)
{
    if (text == nullptr || pattern == nullptr) {
        return nullptr;
    }
    std::size_t pos = FindNoCase(std::string_view(text), std::string_view(pattern));
    return pos == npos ? nullptr : text + pos;
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
