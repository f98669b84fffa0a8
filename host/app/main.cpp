// Umbravia.exe: the proxy host.

#include "HostApplication.h"
#include "ShutdownSignals.h"

#include <platform/Application.h>

int main(int argc, char** argv)
{
    // Before any thread starts, so that only the signal thread takes them.
    host::app::ShutdownSignals::blockInThisThread();
    platform::Application application(argc, argv);
    host::app::HostApplication host(argc, argv);
    host.startUp();
    host.processEnd();
    return 0;
}
