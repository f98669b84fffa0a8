// The Filters module of the main-window tests: the request and the response page.
#include "MwModule.h"

TABLE_MODULE_FILTER_REQUEST
TABLE_MODULE_FILTER_RESPONSE
TABLE_MODULE_FREE_BUFFER
MW_MODULE_PAGES("Filters", "Request", "Response")
