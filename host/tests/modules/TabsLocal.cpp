// A Local module for the settings dialog tests that offers no page (it answers 0).
#include "TabsModule.h"

TABS_MODULE_PAGES("Local")
