#pragma once
// The module's registration: its key under DLLs with PathName and the default settings,
// and the removal of that key.

namespace filters {

class Registration {
public:
    // Creates DLLs\Filters.dll with PathName, Req (switches 0, the lists CUSTOMFILTERS
    // and STOPSERVERS switched off, COOKIETRUSTEDSITES) and Res (switches 0). Entries
    // already in the lists stay. True when DLLs, Filters.dll, Req and Res were created.
    static bool registerModule(const char* modulePath);
    // Deletes DLLs\Filters.dll with its subtree.
    static bool unregisterModule();
};

} // namespace filters
