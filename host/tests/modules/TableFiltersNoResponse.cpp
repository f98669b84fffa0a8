// A Filters module without FilterResponse.
#include "TableModule.h"

TABLE_MODULE_FILTER_REQUEST
TABLE_MODULE_FREE_BUFFER
