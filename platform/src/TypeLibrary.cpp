// Type libraries served from the description a module compiles in (DllGetTypeLibrary),
// their registration under HKCR\TypeLib, and Invoke driven by them.

#include <platform/Modules.h>
#include <platform/OleAuto.h>
#include <platform/Registry.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace {

using platform::TypeLibDescription;
using platform::TypeLibFunction;
using platform::TypeLibType;

constexpr MEMBERID kMemberIdNil = -1;

bool sameName(LPCOLESTR a, LPCOLESTR b)
{
    if (a == nullptr || b == nullptr) {
        return false;
    }
    for (; *a != 0 && *b != 0; ++a, ++b) {
        auto fold = [](OLECHAR c) {
            return c >= u'A' && c <= u'Z' ? OLECHAR(c + 32) : c;
        };
        if (fold(*a) != fold(*b)) {
            return false;
        }
    }
    return *a == *b;
}

BSTR copyOf(LPCOLESTR text)
{
    return SysAllocString(text != nullptr ? text : u"");
}

class TypeLib;

class TypeInfo final : public ITypeInfo {
public:
    TypeInfo(TypeLib& lib, UINT index);
    ~TypeInfo();
    TypeInfo(const TypeInfo&) = delete;
    TypeInfo& operator=(const TypeInfo&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITypeInfo)) {
            *object = static_cast<ITypeInfo*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT GetTypeAttr(TYPEATTR** attr) override;
    HRESULT GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
    HRESULT GetFuncDesc(UINT, FUNCDESC**) override { return E_NOTIMPL; }
    HRESULT GetVarDesc(UINT, VARDESC**) override { return E_NOTIMPL; }
    HRESULT GetNames(MEMBERID id, BSTR* names, UINT maxNames, UINT* count) override;
    HRESULT GetRefTypeOfImplType(UINT, HREFTYPE*) override { return E_NOTIMPL; }
    HRESULT GetImplTypeFlags(UINT, INT*) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override;
    HRESULT Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argError) override;
    HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, DWORD* helpContext,
                             BSTR* helpFile) override;
    HRESULT GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override { return E_NOTIMPL; }
    HRESULT GetRefTypeInfo(HREFTYPE, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT AddressOfMember(MEMBERID, INVOKEKIND, PVOID*) override { return E_NOTIMPL; }
    HRESULT CreateInstance(IUnknown*, REFIID, PVOID*) override { return E_NOTIMPL; }
    HRESULT GetMops(MEMBERID, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) override;
    void ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }
    void ReleaseFuncDesc(FUNCDESC*) override {}
    void ReleaseVarDesc(VARDESC*) override {}

private:
    const TypeLibFunction* function(MEMBERID id) const
    {
        for (UINT i = 0; i < m_type.functionCount; ++i) {
            if (m_type.functions[i].id == id) {
                return &m_type.functions[i];
            }
        }
        return nullptr;
    }
    HRESULT callWith(PVOID instance, const TypeLibFunction& f, DISPPARAMS& params,
                     VARIANT& returned, UINT* argError);

    TypeLib& m_lib;
    const TypeLibType& m_type;
    UINT m_index;
    std::atomic<ULONG> m_refs{1};
};

class TypeLib final : public ITypeLib {
public:
    TypeLib(HMODULE module, const TypeLibDescription& description)
        : m_module(module), m_description(description)
    {}
    ~TypeLib() { FreeLibrary(m_module); }
    TypeLib(const TypeLib&) = delete;
    TypeLib& operator=(const TypeLib&) = delete;

    const TypeLibDescription& description() const { return m_description; }

    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITypeLib)) {
            *object = static_cast<ITypeLib*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    UINT GetTypeInfoCount() override { return m_description.typeCount; }
    HRESULT GetTypeInfo(UINT index, ITypeInfo** info) override
    {
        if (info == nullptr) {
            return E_INVALIDARG;
        }
        *info = nullptr;
        if (index >= m_description.typeCount) {
            return TYPE_E_ELEMENTNOTFOUND;
        }
        *info = new (std::nothrow) TypeInfo(*this, index);
        return *info != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) override
    {
        if (kind == nullptr) {
            return E_INVALIDARG;
        }
        if (index >= m_description.typeCount) {
            return TYPE_E_ELEMENTNOTFOUND;
        }
        *kind = m_description.types[index].kind;
        return S_OK;
    }
    HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) override
    {
        if (info == nullptr) {
            return E_INVALIDARG;
        }
        *info = nullptr;
        for (UINT i = 0; i < m_description.typeCount; ++i) {
            if (IsEqualGUID(m_description.types[i].guid, guid)) {
                return GetTypeInfo(i, info);
            }
        }
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT GetLibAttr(TLIBATTR** attr) override
    {
        if (attr == nullptr) {
            return E_INVALIDARG;
        }
        *attr = new (std::nothrow) TLIBATTR{
            m_description.libid,        m_description.lcid,         SYS_WIN64,
            m_description.majorVersion, m_description.minorVersion, m_description.libFlags};
        return *attr != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
    HRESULT GetDocumentation(INT index, BSTR* name, BSTR* docString, DWORD* helpContext,
                             BSTR* helpFile) override
    {
        LPCOLESTR n = m_description.name;
        LPCOLESTR doc = m_description.helpString;
        if (index >= 0) {
            if (static_cast<UINT>(index) >= m_description.typeCount) {
                return TYPE_E_ELEMENTNOTFOUND;
            }
            n = m_description.types[index].name;
            doc = m_description.types[index].helpString;
        }
        if (name != nullptr) {
            *name = copyOf(n);
        }
        if (docString != nullptr) {
            *docString = copyOf(doc);
        }
        if (helpContext != nullptr) {
            *helpContext = 0;
        }
        if (helpFile != nullptr) {
            *helpFile = nullptr;
        }
        return S_OK;
    }
    HRESULT IsName(LPOLESTR name, ULONG, BOOL* found) override
    {
        if (name == nullptr || found == nullptr) {
            return E_INVALIDARG;
        }
        *found = FALSE;
        for (UINT t = 0; t < m_description.typeCount && !*found; ++t) {
            const TypeLibType& type = m_description.types[t];
            *found = sameName(type.name, name);
            for (UINT f = 0; f < type.functionCount && !*found; ++f) {
                const TypeLibFunction& fn = type.functions[f];
                *found = sameName(fn.name, name);
                for (UINT p = 0; p < fn.paramCount && !*found; ++p) {
                    *found = sameName(fn.params[p].name, name);
                }
            }
        }
        return S_OK;
    }
    HRESULT FindName(LPOLESTR, ULONG, ITypeInfo**, MEMBERID*, std::uint16_t*) override
    {
        return E_NOTIMPL;
    }
    void ReleaseTLibAttr(TLIBATTR* attr) override { delete attr; }

private:
    HMODULE m_module; // held while the library is in use: the description lives in it
    const TypeLibDescription& m_description;
    std::atomic<ULONG> m_refs{1};
};

TypeInfo::TypeInfo(TypeLib& lib, UINT index)
    : m_lib(lib), m_type(lib.description().types[index]), m_index(index)
{
    m_lib.AddRef();
}

TypeInfo::~TypeInfo()
{
    m_lib.Release();
}

HRESULT TypeInfo::GetTypeAttr(TYPEATTR** attr)
{
    if (attr == nullptr) {
        return E_INVALIDARG;
    }
    auto* a = new (std::nothrow) TYPEATTR{};
    if (a == nullptr) {
        return E_OUTOFMEMORY;
    }
    const TypeLibDescription& lib = m_lib.description();
    a->guid = m_type.guid;
    a->lcid = lib.lcid;
    a->memidConstructor = kMemberIdNil;
    a->memidDestructor = kMemberIdNil;
    a->cbSizeInstance = sizeof(void*);
    a->typekind = m_type.kind;
    a->cFuncs = static_cast<WORD>(m_type.functionCount);
    a->cImplTypes = static_cast<WORD>(m_type.kind == TKIND_COCLASS ? m_type.interfaceCount : 1);
    a->cbSizeVft = static_cast<WORD>(m_type.vtableSize * sizeof(void*));
    a->cbAlignment = alignof(void*);
    a->wTypeFlags = m_type.typeFlags;
    a->wMajorVerNum = lib.majorVersion;
    a->wMinorVerNum = lib.minorVersion;
    *attr = a;
    return S_OK;
}

HRESULT TypeInfo::GetNames(MEMBERID id, BSTR* names, UINT maxNames, UINT* count)
{
    if (names == nullptr || count == nullptr) {
        return E_INVALIDARG;
    }
    *count = 0;
    const TypeLibFunction* f = function(id);
    if (f == nullptr) {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    if (maxNames > 0) {
        names[(*count)++] = copyOf(f->name);
    }
    for (UINT p = 0; p < f->paramCount && *count < maxNames; ++p) {
        names[(*count)++] = copyOf(f->params[p].name);
    }
    return S_OK;
}

HRESULT TypeInfo::GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids)
{
    if (names == nullptr || ids == nullptr || count == 0) {
        return E_INVALIDARG;
    }
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    const TypeLibFunction* f = nullptr;
    for (UINT i = 0; i < m_type.functionCount && f == nullptr; ++i) {
        if (sameName(m_type.functions[i].name, names[0])) {
            f = &m_type.functions[i];
        }
    }
    if (f == nullptr) {
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = f->id;
    HRESULT hr = S_OK;
    // Further names are the method's parameters: their ids are their positions.
    for (UINT i = 1; i < count; ++i) {
        for (UINT p = 0; p < f->paramCount; ++p) {
            if (sameName(f->params[p].name, names[i])) {
                ids[i] = static_cast<MEMBERID>(p);
            }
        }
        if (ids[i] == DISPID_UNKNOWN) {
            hr = DISP_E_UNKNOWNNAME;
        }
    }
    return hr;
}

HRESULT TypeInfo::callWith(PVOID instance, const TypeLibFunction& f, DISPPARAMS& params,
                           VARIANT& returned, UINT* argError)
{
    const UINT n = f.paramCount;
    std::vector<VARIANT> holders(n);
    std::vector<std::string> texts(n); // 8-bit copies for VT_LPSTR parameters
    std::vector<VARTYPE> types(n);
    std::vector<VARIANTARG*> pointers(n);
    for (VARIANT& h : holders) {
        VariantInit(&h);
    }
    HRESULT hr = S_OK;
    for (UINT i = 0; i < n && SUCCEEDED(hr); ++i) {
        const UINT position = params.cArgs - 1 - i; // arguments come in reverse order
        const VARTYPE wanted = f.params[i].vt;
        const bool text = wanted == VT_LPSTR || wanted == VT_LPWSTR;
        hr = VariantChangeType(&holders[i], &params.rgvarg[position], 0,
                               text ? VARTYPE{VT_BSTR} : wanted);
        if (FAILED(hr)) {
            if (argError != nullptr) {
                *argError = position;
            }
            break;
        }
        types[i] = wanted;
        pointers[i] = &holders[i];
        if (wanted == VT_LPSTR) {
            // A null BSTR is an empty text; the callee gets a valid string either way.
            texts[i] = platform::fromUtf16(
                holders[i].bstrVal == nullptr
                    ? std::u16string_view()
                    : std::u16string_view(holders[i].bstrVal, SysStringLen(holders[i].bstrVal)));
            VariantClear(&holders[i]);
            holders[i].vt = VT_LPSTR;
            holders[i].byref = texts[i].data();
        } else if (wanted == VT_LPWSTR && holders[i].bstrVal == nullptr) {
            holders[i].bstrVal = SysAllocString(u"");
        }
    }
    if (SUCCEEDED(hr)) {
        hr = DispCallFunc(instance, f.vtableIndex * sizeof(void*), CC_STDCALL, f.returnType, n,
                          types.data(), pointers.data(), &returned);
    }
    for (VARIANT& h : holders) {
        if (h.vt == VT_LPSTR) {
            h.vt = VT_EMPTY; // points into texts, nothing to free
        }
        VariantClear(&h);
    }
    return hr;
}

HRESULT TypeInfo::Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    if (instance == nullptr || params == nullptr ||
        (params->cArgs > 0 && params->rgvarg == nullptr)) {
        return E_INVALIDARG;
    }
    const TypeLibFunction* f = function(id);
    if (f == nullptr || (f->kind == INVOKE_FUNC && (flags & DISPATCH_METHOD) == 0) ||
        (f->kind != INVOKE_FUNC && (flags & f->kind) == 0)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (params->cNamedArgs > 0) {
        return DISP_E_NONAMEDARGS;
    }
    if (params->cArgs != f->paramCount) {
        return DISP_E_BADPARAMCOUNT;
    }
    try {
        VARIANT returned;
        VariantInit(&returned);
        const HRESULT hr = callWith(instance, *f, *params, returned, argError);
        if (FAILED(hr)) {
            return hr;
        }
        if (f->returnType == VT_HRESULT) {
            // The method's own result: a failure comes back as an exception; a success
            // code (S_FALSE included) is Invoke's result, so late-bound callers see it.
            const HRESULT methodResult = returned.scode;
            if (result != nullptr) {
                VariantInit(result);
            }
            if (FAILED(methodResult)) {
                if (exception != nullptr) {
                    *exception = EXCEPINFO{};
                    exception->scode = methodResult;
                }
                return DISP_E_EXCEPTION;
            }
            return methodResult;
        }
        if (result != nullptr) {
            *result = returned;
        } else {
            VariantClear(&returned);
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TypeInfo::GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, DWORD* helpContext,
                                   BSTR* helpFile)
{
    LPCOLESTR n = m_type.name;
    LPCOLESTR doc = m_type.helpString;
    if (id != kMemberIdNil) {
        const TypeLibFunction* f = function(id);
        if (f == nullptr) {
            return TYPE_E_ELEMENTNOTFOUND;
        }
        n = f->name;
        doc = f->helpString;
    }
    if (name != nullptr) {
        *name = copyOf(n);
    }
    if (docString != nullptr) {
        *docString = copyOf(doc);
    }
    if (helpContext != nullptr) {
        *helpContext = 0;
    }
    if (helpFile != nullptr) {
        *helpFile = nullptr;
    }
    return S_OK;
}

HRESULT TypeInfo::GetContainingTypeLib(ITypeLib** lib, UINT* index)
{
    if (lib != nullptr) {
        m_lib.AddRef();
        *lib = &m_lib;
    }
    if (index != nullptr) {
        *index = m_index;
    }
    return S_OK;
}

std::string hexNumber(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

std::string versionKey(REFGUID libid, WORD major, WORD minor)
{
    return "TypeLib\\" + platform::guidToString(libid) + "\\" + hexNumber(major) + "." +
           hexNumber(minor);
}

std::optional<std::string> defaultValueOf(const std::string& subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::string data(MAX_PATH * 4, '\0');
    DWORD size = static_cast<DWORD>(data.size() - 1);
    const LONG rc = RegQueryValueEx(key, nullptr, nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        return std::nullopt;
    }
    data.resize(std::min<std::size_t>(size, data.size()));
    while (!data.empty() && data.back() == '\0') {
        data.pop_back();
    }
    return data;
}

LONG writeDefault(const std::string& subKey, const std::string& text)
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueEx(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
    }
    return rc;
}

// The registered version of libid to load: major.minor itself, or the highest minor
// above it with the same major version.
std::optional<std::string> registeredVersion(REFGUID libid, WORD major, WORD minor)
{
    const std::string exact = versionKey(libid, major, minor);
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, exact.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return exact;
    }
    const std::string base = "TypeLib\\" + platform::guidToString(libid);
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, base.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::optional<std::string> best;
    unsigned bestMinor = 0;
    char name[64];
    for (DWORD i = 0; RegEnumKey(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        unsigned maj = 0;
        unsigned min = 0;
        if (std::sscanf(name, "%x.%x", &maj, &min) == 2 && maj == major && min >= minor &&
            (!best || min > bestMinor)) {
            best = base + "\\" + name;
            bestMinor = min;
        }
    }
    RegCloseKey(key);
    return best;
}

// Deletes HKCR\subKey when it has no subkeys; true when it is gone.
bool deleteIfEmpty(const std::string& subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return true;
    }
    char name[64];
    const bool empty = RegEnumKey(key, 0, name, sizeof name) != ERROR_SUCCESS;
    RegCloseKey(key);
    return empty && RegDeleteKey(HKEY_CLASSES_ROOT, subKey.c_str()) == ERROR_SUCCESS;
}

} // namespace

HRESULT LoadTypeLib(LPCOLESTR file, ITypeLib** lib) noexcept
{
    if (file == nullptr || lib == nullptr) {
        return E_INVALIDARG;
    }
    *lib = nullptr;
    try {
        HMODULE module = LoadLibrary(platform::fromUtf16(file).c_str());
        if (module == nullptr) {
            return TYPE_E_CANTLOADLIBRARY;
        }
        auto get = platform::proc<platform::DllGetTypeLibraryFn>(module, "DllGetTypeLibrary");
        const TypeLibDescription* description = get != nullptr ? get(1) : nullptr;
        if (description == nullptr || description->structSize != sizeof(TypeLibDescription)) {
            FreeLibrary(module);
            return TYPE_E_CANTLOADLIBRARY;
        }
        auto* loaded = new (std::nothrow) TypeLib(module, *description);
        if (loaded == nullptr) {
            FreeLibrary(module);
            return E_OUTOFMEMORY;
        }
        *lib = loaded;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** lib) noexcept
{
    if (lib == nullptr) {
        return E_INVALIDARG;
    }
    *lib = nullptr;
    try {
        const std::optional<std::string> version = registeredVersion(libid, major, minor);
        if (!version) {
            return TYPE_E_LIBNOTREGISTERED;
        }
        // The library's own locale first, then its primary language, then neutral.
        std::optional<std::string> path;
        for (const unsigned locale : {unsigned(lcid), unsigned(lcid & 0x3FF), 0u}) {
            for (const char* platformKey : {"win32", "win64"}) {
                if (!path) {
                    path = defaultValueOf(*version + "\\" + hexNumber(locale) + "\\" + platformKey);
                }
            }
        }
        if (!path || path->empty()) {
            return TYPE_E_LIBNOTREGISTERED;
        }
        const std::u16string wide = platform::toUtf16(*path);
        ITypeLib* loaded = nullptr;
        const HRESULT hr = LoadTypeLib(wide.c_str(), &loaded);
        if (FAILED(hr)) {
            return hr;
        }
        TLIBATTR* attr = nullptr;
        const bool same = SUCCEEDED(loaded->GetLibAttr(&attr)) && IsEqualGUID(attr->guid, libid);
        if (attr != nullptr) {
            loaded->ReleaseTLibAttr(attr);
        }
        if (!same) {
            loaded->Release();
            return TYPE_E_LIBNOTREGISTERED; // the registered file holds another library
        }
        *lib = loaded;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegisterTypeLib(ITypeLib* lib, LPCOLESTR fullPath, LPCOLESTR helpDir) noexcept
{
    if (lib == nullptr || fullPath == nullptr) {
        return E_INVALIDARG;
    }
    try {
        TLIBATTR* attr = nullptr;
        HRESULT hr = lib->GetLibAttr(&attr);
        if (FAILED(hr)) {
            return hr;
        }
        const TLIBATTR a = *attr;
        lib->ReleaseTLibAttr(attr);
        platform::Bstr name;
        platform::Bstr doc;
        hr = lib->GetDocumentation(-1, name.out(), doc.out(), nullptr, nullptr);
        if (FAILED(hr)) {
            return hr;
        }
        const std::string path = platform::fromUtf16(fullPath);
        std::string folder = helpDir != nullptr ? platform::fromUtf16(helpDir) : path;
        if (helpDir == nullptr) {
            const std::size_t slash = folder.find_last_of("\\/");
            folder = slash == std::string::npos ? std::string() : folder.substr(0, slash);
        }
        const std::string version = versionKey(a.guid, a.wMajorVerNum, a.wMinorVerNum);
        // The library is registered language-neutral ("0"), as the suite's callers look
        // it up; LoadRegTypeLib falls back to it for any locale.
        const std::string entries[][2] = {
            {version, doc.utf8().empty() ? name.utf8() : doc.utf8()},
            {version + "\\0\\win32", path},
            {version + "\\FLAGS", std::to_string(a.wLibFlags)},
            {version + "\\HELPDIR", folder},
        };
        for (const auto& [key, text] : entries) {
            if (writeDefault(key, text) != ERROR_SUCCESS) {
                return TYPE_E_REGISTRYACCESS;
            }
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID, SYSKIND) noexcept
{
    try {
        const std::string version = versionKey(libid, major, minor);
        if (SHDeleteKey(HKEY_CLASSES_ROOT, version.c_str()) != ERROR_SUCCESS) {
            return TYPE_E_REGISTRYACCESS;
        }
        // The library's key goes with its last version, and the TypeLib key with the last
        // library, so that registering and unregistering leaves the prefix as it was.
        for (const std::string& key :
             {"TypeLib\\" + platform::guidToString(libid), std::string("TypeLib")}) {
            if (!deleteIfEmpty(key)) {
                break;
            }
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
