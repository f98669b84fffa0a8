// A complete Chain module for the module-table tests.
#include "TableModule.h"

TABLE_MODULE_CHAIN
TABLE_MODULE_EXIT("Chain")
