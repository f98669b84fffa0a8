// A complete Filters module for the module-table tests.
#include "TableModule.h"

TABLE_MODULE_FILTER_REQUEST
TABLE_MODULE_FILTER_RESPONSE
TABLE_MODULE_FREE_BUFFER
TABLE_MODULE_EXIT("Filters")
