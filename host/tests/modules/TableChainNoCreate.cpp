// A Chain module without CreateChain.
#include "TableModule.h"

UMBRAVIA_EXPORT void SetVendor(int) noexcept {}
