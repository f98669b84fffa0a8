#include "ChainRegistration.h"

#include <common/Settings.h>

#include <utility>

namespace chain {

namespace {

// The defaults, in the order they are written.
constexpr std::pair<const char*, DWORD> Defaults[] = {
    {settings::ConnectChainValue, 0},
    {"CONNTIMEOUT", 10000},
    {"PATHLENGTH", 1},
    {"PATHSELECTTYPE", 0},
    {"USEONEPROXY", 0},
    {"UPDATEEVERY", 0},
    {"UPDATEATSTARTUP", 0},
};

} // namespace

int ChainRegistration::registerModule(const char* modulePath)
{
    if (modulePath == nullptr) {
        return 0;
    }
    settings::Key dlls = settings::Key::create(HKEY_LOCAL_MACHINE, settings::DllsKey);
    if (!dlls) {
        return 0;
    }
    settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, settings::ChainKey);
    if (!key) {
        return 0;
    }
    if (key.writeString(settings::PathNameValue, modulePath) != ERROR_SUCCESS) {
        return 0;
    }
    for (const auto& [name, value] : Defaults) {
        if (key.writeDword(name, value) != ERROR_SUCCESS) {
            return 0;
        }
    }
    return 1;
}

int ChainRegistration::unregisterModule()
{
    return SHDeleteKey(HKEY_LOCAL_MACHINE, settings::ChainKey) == ERROR_SUCCESS ? 1 : 0;
}

} // namespace chain
