#pragma once
// Text helpers every part of the suite shares. Names, keys and protocol words are ASCII
// in the suite's single-byte code page: lowering touches only A to Z, so a lowered copy
// keeps every position of its original, whatever the locale.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace text {

constexpr char lowerChar(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string lower(std::string_view value)
{
    std::string out(value);
    std::transform(out.begin(), out.end(), out.begin(), lowerChar);
    return out;
}

inline bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerChar(x) == lowerChar(y);
           });
}

inline bool startsWithNoCase(std::string_view value, std::string_view head)
{
    return value.size() >= head.size() && equalsNoCase(value.substr(0, head.size()), head);
}

inline bool endsWithNoCase(std::string_view value, std::string_view tail)
{
    return value.size() >= tail.size() &&
           equalsNoCase(value.substr(value.size() - tail.size()), tail);
}

// The first occurrence of needle in value at or after from, without regard to case;
// npos when there is none or needle is empty.
inline std::size_t findNoCase(std::string_view value, std::string_view needle, std::size_t from = 0)
{
    if (needle.empty() || from > value.size()) {
        return std::string_view::npos;
    }
    const auto at =
        std::search(value.begin() + static_cast<std::ptrdiff_t>(from), value.end(), needle.begin(),
                    needle.end(), [](char x, char y) { return lowerChar(x) == lowerChar(y); });
    return at == value.end() ? std::string_view::npos
                             : static_cast<std::size_t>(at - value.begin());
}

// value without the given characters at either end (blanks and tabs unless told).
inline std::string_view trim(std::string_view value, std::string_view blanks = " \t")
{
    const std::size_t first = value.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return value.substr(first, value.find_last_not_of(blanks) - first + 1);
}

} // namespace text
