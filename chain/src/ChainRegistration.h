#pragma once
// The module's own registration: its key under DLLs with PathName and the default
// chain settings, and its removal.

namespace chain {

class ChainRegistration {
public:
    // 1 when the keys were created and every value written, else 0.
    static int registerModule(const char* modulePath);
    // 1 when the Chain.dll key (with its subtree) was deleted, else 0.
    static int unregisterModule();
};

} // namespace chain
