#pragma once
// Helpers for tests of COM servers: an outer object that aggregates a server's object,
// calling one export of a module without keeping it, and whether a module file is
// loaded in this process at all.

#include <platform/Com.h>
#include <platform/Modules.h>

#include <dlfcn.h>

#include <atomic>
#include <filesystem>
#include <string>

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

} // namespace testsupport
