#pragma once
// Text helpers of the filters. The filters read chunks in the suite's single-byte code
// page, where every byte is one character and lowering changes only A to Z, so a lowered
// copy keeps every position of its original.

#include <platform/Text.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace filters {

inline constexpr std::size_t npos = std::string_view::npos;

using text::lowerChar;

// Lowers text into out (resized to text's length), reusing out's storage.
void lowerInto(std::string_view text, std::string& out);

// The first occurrence of needle in text at or after from, exact case; npos when none
// or when needle is empty.
std::size_t findExact(std::string_view text, std::string_view needle, std::size_t from = 0);

// The first occurrence at or after from of lowered (a needle in lower case) in text,
// comparing text's characters lowered; npos when none or when lowered is empty. Neither
// copies nor allocates: the request rules search the chunk itself with it.
std::size_t findLowered(std::string_view text, std::string_view lowered, std::size_t from = 0);

// Whether text, lowered, equals lowered.
bool equalsLowered(std::string_view text, std::string_view lowered);

// The module's case-insensitive search: the first occurrence of pattern in text,
// comparing lowered characters. Nothing when either is null or the pattern is empty.
const char* FindNoCase(const char* text, const char* pattern);

// Replaces every occurrence of from (exact case, left to right, non-overlapping) by to;
// returns how many were replaced. An empty from replaces nothing.
std::size_t replaceAll(std::string& text, std::string_view from, std::string_view to);

// Overwrites each byte of the span with a lower-case letter drawn from the standard
// generator (never seeded by the module) taken as a value r from 0 to 32767:
// 'a' + r * 25 / 32767, so 'z' only for r = 32767.
void ScrambleLetters(char* span, std::size_t length);

} // namespace filters
