// A Filters module without FreeFilteredDataBuf.
#include "TableModule.h"

TABLE_MODULE_FILTER_REQUEST
TABLE_MODULE_FILTER_RESPONSE
