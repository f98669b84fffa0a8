#pragma once
// Helpers for tests of COM servers: an outer object that aggregates a server's object,
// calling one export of a module without keeping it, whether a module file is loaded in
// this process at all, the whole HKEY_CLASSES_ROOT as text and the real regsvr32.exe.

#include "RegistryTree.h"
#include "TestSupport.h"

#include <platform/Com.h>
#include <platform/Modules.h>
#include <platform/Registry.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// Holds an aggregated object's inner IUnknown (m_inner) and hands out its interfaces as
// its own; its reference count is plain to read.
class OuterObject final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (m_inner == nullptr) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return m_inner->QueryInterface(riid, object);
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return --m_refs; }

    IUnknown* m_inner = nullptr;
    std::atomic<ULONG> m_refs{1};
};

// Calls an export HRESULT (*)() of the module at dosPath; E_FAIL when it cannot.
inline HRESULT callModuleExport(const std::string& dosPath, const char* name)
{
    HMODULE module = LoadLibrary(dosPath.c_str());
    if (module == nullptr) {
        return E_FAIL;
    }
    auto fn = platform::proc<HRESULT (*)()>(module, name);
    const HRESULT hr = fn != nullptr ? fn() : E_FAIL;
    FreeLibrary(module);
    return hr;
}

// Whether the module file is mapped in this process (without loading it).
inline bool moduleFileLoaded(const std::filesystem::path& file)
{
    void* dl = ::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (dl != nullptr) {
        ::dlclose(dl);
    }
    return dl != nullptr;
}

// Every key and value under HKEY_CLASSES_ROOT, one line each (see RegistryTree.h), sorted.
inline std::vector<std::string> classesRoot()
{
    std::vector<std::string> lines;
    char name[512];
    for (DWORD i = 0; RegEnumKey(HKEY_CLASSES_ROOT, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        const std::vector<std::string> tree = registryTree(HKEY_CLASSES_ROOT, name);
        lines.insert(lines.end(), tree.begin(), tree.end());
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// regsvr32.exe from the bin folder, run headless in the test's prefix.
inline ProcessResult regsvr32(const TempPrefix& prefix, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{(binDir() / "regsvr32.exe").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessOptions options;
    options.env["UMBRAVIA_PREFIX"] = prefix.path().string();
    options.env["QT_QPA_PLATFORM"] = "offscreen";
    options.env["DISPLAY"] = "";
    options.env["WAYLAND_DISPLAY"] = "";
    return runProcess(argv, options);
}

} // namespace testsupport
