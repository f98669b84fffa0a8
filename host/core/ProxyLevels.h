#pragma once
// The two levels that outside windows set through the main window (messages 1216 and
// 1217): the privacy level forces the request and response filters on, the anonymity
// level switches the proxy chain on. Failures are shown over owner.

#include <platform/Windows.h>

namespace host {

// Writes ANONYMITYLEVEL; a level of 1 or more also writes CONNECTCHAIN = 1.
void writeAnonymityLevel(HWND owner, int level);
// Writes PRIVACYLEVEL; a level of 1 or more also switches the response and the request
// filter on.
void writePrivacyLevel(HWND owner, int level);

} // namespace host
