// An IEExt module without any export.
#include "TableModule.h"

UMBRAVIA_EXPORT int RegisterDLL(const char*) noexcept
{
    return 1;
}
