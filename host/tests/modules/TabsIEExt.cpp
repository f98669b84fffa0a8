// An IEExt module for the settings dialog tests: one page.
#include "TabsModule.h"

TABS_MODULE_PAGES("IEExt", "Internet Explorer")
