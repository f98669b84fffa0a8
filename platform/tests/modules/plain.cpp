// A module without DllMain: one export, and one function that is not exported.

#include <platform/Modules.h>

UMBRAVIA_EXPORT int Answer() noexcept
{
    return 7;
}

extern "C" int NotExported() noexcept
{
    return 8;
}
