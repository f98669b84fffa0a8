// A Filters module without FilterRequest.
#include "TableModule.h"

TABLE_MODULE_FILTER_RESPONSE
TABLE_MODULE_FREE_BUFFER
