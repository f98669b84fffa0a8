#pragma once
// Shared by the Rigwright.dll suites: the built module, its registration in the test's
// prefix and the whole HKEY_CLASSES_ROOT as text.

#include <platform/Environment.h>
#include <platform/Registry.h>

#include <ComTestSupport.h>
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

// The whole HKEY_CLASSES_ROOT as text, regsvr32.exe run in the test's prefix.
using testsupport::classesRoot;
using testsupport::regsvr32;

} // namespace rigwrighttest
