#pragma once
// The first-run steps of the host: registering the plug-in modules through their
// RegisterDLL exports, the browser toolbar and helper-object keys, the regsvr32 runs,
// and pointing each module key at the install folder.

#include <common/BrowserKeys.h>

#include <string>

namespace host::app {

inline constexpr const char* BrowserHelperKey = browserkeys::HelperObjectKey;
inline constexpr const char* ToolbarExtensionKey = browserkeys::ExtensionKey;
inline constexpr const char* ToolbarKey = browserkeys::ToolbarKey;
inline constexpr const char* ToolbarBandClsid = browserkeys::ToolbarBandClsid;

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
