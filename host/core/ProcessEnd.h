#pragma once
// Ending the host at once, where the design asks for it (a proxy that cannot be started
// again): the handler the application registered runs first (it removes what the
// process end must not leave behind, such as the browser helper object key), then
// standard output and error are flushed and the process ends with the exit code. No
// module is told to exit and nothing is saved.

#include <functional>

namespace host {

void setProcessEndHandler(std::function<void()> handler);
[[noreturn]] void endProcessNow(int exitCode);

} // namespace host
