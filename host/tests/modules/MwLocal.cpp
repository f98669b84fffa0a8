// The Local module of the main-window tests: one page.
#include "MwModule.h"

MW_MODULE_PAGES("Local", "Local", nullptr)
