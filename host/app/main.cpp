// Umbravia.exe: the proxy host.

#include "HostApplication.h"
#include "ShutdownSignals.h"

#include <platform/Application.h>

#include <sys/resource.h>

namespace {
// Every client connection holds two descriptors: the customary soft limit of 1,024 would
// turn clients away at about 500. The hard limit is the system's bound for this user.
void allowAllDescriptors()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}
} // namespace

int main(int argc, char** argv)
{
    // Before any thread starts, so that only the signal thread takes them.
    host::app::ShutdownSignals::blockInThisThread();
    allowAllDescriptors();
    platform::Application application(argc, argv);
    host::app::HostApplication host(argc, argv);
    host.startUp();
    host.processEnd();
    return 0;
}
