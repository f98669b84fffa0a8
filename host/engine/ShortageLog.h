#pragma once
// One line on standard error when the system refuses the proxy a descriptor or a thread,
// at most one a second (with the count of those left unsaid), so that an administrator
// sees why clients were turned away without the log flooding under load.

namespace host {

enum class Shortage { Descriptors, Threads };

void logShortage(Shortage what, int error);

} // namespace host
