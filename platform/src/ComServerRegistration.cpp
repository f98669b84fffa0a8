// The registration exports' common steps for the suite's in-process servers.

#include <platform/ComServer.h>
#include <platform/Modules.h>
#include <platform/Registrar.h>

#include <string>

namespace platform::com {

namespace {

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

HRESULT registerServer(const char* script, const void* anchor) noexcept
{
    try {
        const std::string module = modulePathOf(anchor);
        if (module.empty()) {
            return SELFREG_E_CLASS;
        }
        HRESULT hr = updateRegistryFromScript(script, {{"MODULE", module}}, true);
        if (FAILED(hr)) {
            return hr;
        }
        const std::u16string path = toUtf16(module);
        const std::u16string helpDir = toUtf16(folderOf(module));
        ITypeLib* lib = nullptr;
        hr = LoadTypeLib(path.c_str(), &lib);
        if (SUCCEEDED(hr)) {
            hr = RegisterTypeLib(lib, path.c_str(), helpDir.c_str());
            lib->Release();
        }
        if (FAILED(hr)) {
            // Without its type library the class is unusable.
            (void)updateRegistryFromScript(script, {{"MODULE", module}}, false);
            return SELFREG_E_TYPELIB;
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT unregisterServer(const char* script, const GUID& libid, WORD major, WORD minor, LCID lcid,
                         const void* anchor) noexcept
{
    try {
        (void)UnRegisterTypeLib(libid, major, minor, lcid, SYS_WIN64);
        return updateRegistryFromScript(script, {{"MODULE", modulePathOf(anchor)}}, false);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace platform::com
