// A module whose DllMain refuses the attach (and notes its calls like counting.dll).

#include <platform/Modules.h>

#include <cstdio>
#include <cstdlib>

UMBRAVIA_EXPORT BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) noexcept
{
    if (const char* log = std::getenv("UMBRAVIA_TEST_MODULE_LOG")) {
        if (std::FILE* file = std::fopen(log, "a")) {
            std::fprintf(file, "%s\n", reason == DLL_PROCESS_ATTACH ? "attach" : "detach");
            std::fclose(file);
        }
    }
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
}

UMBRAVIA_EXPORT int Answer() noexcept
{
    return 13;
}
