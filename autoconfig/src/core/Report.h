#pragma once
// How the configurators tell the user about a program they could not configure: a modal
// error box without owner, captioned with the component's name. Two of the configurators
// have always spelt the name without its "i"; callers and users know both captions.

#include <platform/WinTypes.h>

#include <string_view>

namespace rigwright {

inline constexpr const char* kCaption = "Umbravia Rigwright";
inline constexpr const char* kCaptionShort = "Umbravia Rigwrght";

constexpr HRESULT kOk = 0;    // S_OK
constexpr HRESULT kFalse = 1; // S_FALSE: the program concerned could not be configured

// Shows the box and answers S_FALSE, the result of every reported failure.
HRESULT reportFailure(std::string_view text, const char* caption);

} // namespace rigwright
