#pragma once
// The counting stand-in for Rigwright.dll (host/tests/modules/CountingRigwright.cpp) in the
// test's prefix: the real component is registered first for its type library, then the
// stand-in over it under the same class identifier. Every call it receives is one line.

#include <common/Settings.h>
#include <platform/Environment.h>

#include <ComTestSupport.h>
#include <TestSupport.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace uitest {

inline constexpr const char* CountingLogKey = "Software\\UmbraviaTest\\Rigwright";

inline std::string rigwrightDosPath()
{
    return platform::toDosPath(std::filesystem::canonical(testsupport::binDir() / "Rigwright.dll"))
        .str();
}

inline std::string countingRigwrightDosPath()
{
    return platform::toDosPath(testsupport::testModulesDir() / "host_testmodule_CountingRigwright" /
                               "CountingRigwright.dll")
        .str();
}

// Registers the stand-in; true when both registrations succeeded.
inline bool registerCountingRigwright()
{
    return testsupport::callModuleExport(rigwrightDosPath(), "DllRegisterServer") == S_OK &&
           testsupport::callModuleExport(countingRigwrightDosPath(), "DllRegisterServer") == S_OK;
}

// Takes the class away, so that creating the object fails.
inline void unregisterConfigurationClass()
{
    settings::Key classes = settings::Key::open(HKEY_CLASSES_ROOT, "CLSID", KEY_ALL_ACCESS);
    SHDeleteKey(classes.get(), "{675DCB32-8482-452F-8BDD-5E98C19ED609}");
}

// The calls received so far, one line each ("SetIEProxySettings 1 127.0.0.1 8080").
inline std::vector<std::string> countedCalls()
{
    const std::string text =
        settings::Key::open(HKEY_CURRENT_USER, CountingLogKey).readString("Calls").value_or("");
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

inline void clearCountedCalls()
{
    settings::Key::create(HKEY_CURRENT_USER, CountingLogKey).writeString("Calls", "");
}

// What the stand-in's method answers from now on.
inline void setMethodResult(const char* method, HRESULT result)
{
    settings::Key::create(HKEY_CURRENT_USER, CountingLogKey)
        .writeDword(method, static_cast<DWORD>(result));
}

} // namespace uitest
