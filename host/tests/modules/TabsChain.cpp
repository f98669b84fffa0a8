// A Chain module for the settings dialog tests: one page.
#include "TabsModule.h"

TABLE_MODULE_CHAIN
TABS_MODULE_PAGES("Chain", "Proxy Chain")
