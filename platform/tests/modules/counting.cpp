// A module whose DllMain notes every call in the file named by UMBRAVIA_TEST_MODULE_LOG.

#include <platform/Modules.h>

#include <cstdio>
#include <cstdlib>

namespace {

void note(const char* event)
{
    const char* log = std::getenv("UMBRAVIA_TEST_MODULE_LOG");
    if (log == nullptr) {
        return;
    }
    if (std::FILE* file = std::fopen(log, "a")) {
        std::fprintf(file, "%s\n", event);
        std::fclose(file);
    }
}

} // namespace

UMBRAVIA_EXPORT BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) noexcept
{
    note(reason == DLL_PROCESS_ATTACH   ? "attach"
         : reason == DLL_PROCESS_DETACH ? "detach"
                                        : "other");
    return TRUE;
}

UMBRAVIA_EXPORT int Answer() noexcept
{
    return 42;
}
