#pragma once
// The cleaner's settings in the module's key (DLLs\Local.dll): one DWORD switch per
// trace kind, CLEARATEXIT, and the CUSTOMDIRS list (its unnamed DWORD switches the custom
// folders on; its REG_SZ values hold the folders).

#include <common/ModuleValues.h>
#include <common/Settings.h>
#include <platform/Registry.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace local {

inline constexpr const char* ModuleKey = settings::LocalKey;
inline constexpr const char* DllsKey = settings::DllsKey;
inline constexpr const char* ModuleSubkey = "Local.dll";
inline constexpr const char* CustomDirsSubkey = values::local::CustomDirs;
inline constexpr const char* PathNameValue = settings::PathNameValue;
inline constexpr const char* ClearAtExitValue = values::local::ClearAtExit;

// Every registry problem of the module ends in this one box.
inline constexpr const char* RegistryErrorText = "Invalide registry data";
inline constexpr const char* ModuleCaption = "Local Machine Privacy";
void showRegistryError(HWND owner);

// Trace kinds are numbered 1 to 17 in run order; 17 is the custom folders.
constexpr int TraceKindCount = 17;
constexpr int CustomFoldersKind = 17;

// Switch names of kinds 1 to 16, in run order.
extern const std::array<const char*, 16> KindSwitchNames;
// CLEARATEXIT and the sixteen kind switches in the order RegisterDLL and Save write them.
extern const std::array<const char*, 17> SwitchWriteOrder;

// What one cleaning run removes.
struct CleanRequest {
    std::array<bool, TraceKindCount> kinds{}; // kinds[k - 1] selects kind k
    std::vector<std::string> customFolders;
    bool selected(int kind) const { return kinds[kind - 1]; }
};

// A DWORD switch as the cleaner reads it: 4 bytes, anything unreadable is off.
DWORD readSwitch(HKEY key, const char* name);

// Collects the custom folders of an open CUSTOMDIRS key: every REG_SZ value with
// non-empty data, whatever its name, in enumeration order. Returns the code that ended
// the enumeration (ERROR_NO_MORE_ITEMS when it ran to the end).
LONG enumerateCustomFolders(HKEY customDirs, std::vector<std::string>& folders);

// The reading of a full run: the switches, the CUSTOMDIRS switch and folders. Nothing
// when the key cannot be opened or the folder enumeration fails.
std::optional<CleanRequest> readFullRunRequest();

// RegisterDLL: the module key with PathName and every switch at 0, CUSTOMDIRS with its
// switch at 0 (folders already there stay).
bool registerModule(const char* modulePath);
// UnRegisterDLL: the module key with its subtree.
bool unregisterModule();

} // namespace local
