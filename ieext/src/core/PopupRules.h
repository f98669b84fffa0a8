#pragma once
// The tests that decide whether a browser window is closed: by its size, its URL and
// its title. Matching is byte-wise and case-sensitive on ANSI text.

#include <platform/WinTypes.h>

#include <string_view>

namespace ieext {

// A pattern without '*' matches anywhere in the URL. With '*' it is cut into pieces: the
// first must begin the URL (an empty one always passes), every later one must occur
// somewhere in the whole URL, independently of the others and of their order.
bool urlPatternMatches(std::string_view url, std::string_view pattern);

// '*' has no special meaning in a title text.
bool titleMatches(std::string_view title, std::string_view text);

// width x height < desktop area x threshold / 100, the division truncating. Products are
// taken in 64 bits so that a large threshold cannot wrap around; the threshold counts as
// signed, so a value above 0x7FFFFFFF closes nothing.
bool tooSmall(LONG width, LONG height, LONG desktopWidth, LONG desktopHeight, DWORD threshold);

} // namespace ieext
