#pragma once
// The first-run steps of the host: registering the plug-in modules through their
// RegisterDLL exports, the browser toolbar and helper-object keys, the regsvr32 runs,
// and pointing each module key at the install folder.

#include <common/BrowserHelper.h>

#include <string>

namespace host::app {

// The browser helper object's key under HKEY_LOCAL_MACHINE: present while a host runs.
inline constexpr const char* BrowserHelperKey = browserhelper::RegistrationKey;
inline constexpr const char* ToolbarExtensionKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{A26ABCF0-1C8F-46e7-A67C-0489DC21B9CC}";
inline constexpr const char* ToolbarKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
inline constexpr const char* ToolbarBandClsid = "{26CA4BD4-E63A-423D-AE08-933C2F8F0977}";

inline constexpr const char* SetupCaption = "Umbravia Setup";
inline constexpr const char* LoadModuleFailedText = "Failed to load the requested module";
inline constexpr const char* RegisterModuleFailedText = "Failed to register the requested module";

// Loads local.dll, IEExt.dll, Filters.dll and Chain.dll from the install folder in this
// order and calls RegisterDLL with each module's path; then writes the Banners key, the
// main key's start-up values (ISREGISTERED 0), the browser keys and runs regsvr32 on
// the three COM modules. The first module that fails stops everything after it; false
// then, after its message.
bool registerModules(const std::string& installFolder);

// PATHNAME of each existing module key = install folder + module file name.
void rewriteModulePaths(const std::string& installFolder);

// Runs a command line hidden, without waiting. False when it could not be started.
bool runHidden(const std::string& commandLine);

} // namespace host::app
