#pragma once
// Shared by the Rigwright.dll suites: the built module, its registration in the test's
// prefix and the whole HKEY_CLASSES_ROOT as text.

#include <platform/Environment.h>
#include <platform/Registry.h>

#include <RegistryTree.h>
#include <TestSupport.h>

#include <filesystem>
#include <string>
#include <vector>

namespace rigwrighttest {

inline std::filesystem::path modulePath()
{
    return std::filesystem::canonical(testsupport::binDir() / "Rigwright.dll");
}

inline std::string moduleDosPath()
{
    return platform::toDosPath(modulePath()).str();
}

// Every key and value under HKEY_CLASSES_ROOT, one line each (see RegistryTree.h).
inline std::vector<std::string> classesRoot()
{
    std::vector<std::string> lines;
    char name[512];
    for (DWORD i = 0; RegEnumKey(HKEY_CLASSES_ROOT, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        const std::vector<std::string> tree = testsupport::registryTree(HKEY_CLASSES_ROOT, name);
        lines.insert(lines.end(), tree.begin(), tree.end());
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// regsvr32.exe from the bin folder, run in the test's prefix.
inline testsupport::ProcessResult regsvr32(const testsupport::TempPrefix& prefix,
                                           const std::vector<std::string>& args)
{
    std::vector<std::string> argv{(testsupport::binDir() / "regsvr32.exe").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::ProcessOptions options;
    options.env["UMBRAVIA_PREFIX"] = prefix.path().string();
    options.env["QT_QPA_PLATFORM"] = "offscreen";
    options.env["DISPLAY"] = "";
    options.env["WAYLAND_DISPLAY"] = "";
    return testsupport::runProcess(argv, options);
}

} // namespace rigwrighttest
