// A Filters module for the settings dialog tests: two pages.
#include "TabsModule.h"

TABLE_MODULE_FILTER_REQUEST
TABLE_MODULE_FILTER_RESPONSE
TABLE_MODULE_FREE_BUFFER
TABS_MODULE_PAGES("Filters", "Request Filteration", "Response Filteration")
