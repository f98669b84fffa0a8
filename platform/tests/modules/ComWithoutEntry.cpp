// A module that loads fine but exports no registration entry point.

#include <platform/Modules.h>

UMBRAVIA_EXPORT int Answer() noexcept
{
    return 7;
}
