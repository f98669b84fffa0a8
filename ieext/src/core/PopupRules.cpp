#include "PopupRules.h"

#include <cstdint>

namespace ieext {

bool urlPatternMatches(std::string_view url, std::string_view pattern)
{
    std::size_t star = pattern.find('*');
    if (star == std::string_view::npos) {
        return url.find(pattern) != std::string_view::npos;
    }
    if (!url.starts_with(pattern.substr(0, star))) {
        return false;
    }
    while (star != std::string_view::npos) {
        const std::size_t begin = star + 1;
        star = pattern.find('*', begin);
        const std::string_view piece = pattern.substr(
            begin, star == std::string_view::npos ? std::string_view::npos : star - begin);
        if (url.find(piece) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool titleMatches(std::string_view title, std::string_view text)
{
    return title.find(text) != std::string_view::npos;
}

bool tooSmall(LONG width, LONG height, LONG desktopWidth, LONG desktopHeight, DWORD threshold)
{
    const std::int64_t area = std::int64_t{width} * height;
    const std::int64_t limit =
        std::int64_t{desktopWidth} * desktopHeight * static_cast<std::int32_t>(threshold) / 100;
    return area < limit;
}

} // namespace ieext
