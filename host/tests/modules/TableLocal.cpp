// A Local module with only OnProgramExit.
#include "TableModule.h"

TABLE_MODULE_EXIT("Local")
