#pragma once
// The first-run registration of the suite, done by whichever program starts first on a
// machine (the host, or the settings wizard): the toolbar plug-in's regsvr32 run, the
// first-run marker, the plug-in modules through their RegisterDLL exports, the browser
// toolbar and helper-object keys, the regsvr32 runs of the COM modules, and pointing
// each module key at the install folder.

#include <string>

namespace firstrun {

inline constexpr const char* SetupCaption = "Umbravia Setup";
inline constexpr const char* LoadModuleFailedText = "Failed to load the requested module";
inline constexpr const char* RegisterModuleFailedText = "Failed to register the requested module";
inline constexpr const char* ShowToolbarValue = "ShowIEToolbar";

// regsvr32 on UmbraIEPlugin.dll (hidden, not waited for), ISREGISTERED 1 and
// ShowIEToolbar 1 in the main key, then registerModules(installFolder). False when the
// module registration stopped.
bool registerSuite(const std::string& installFolder);

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

} // namespace firstrun
