#pragma once
// COM as far as the suite and its in-process servers use it: GUIDs, result codes,
// IUnknown, IClassFactory, apartments, class activation through
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32, unloading of idle servers and the
// free-threaded marshaler.
//
// Binary layout follows 64-bit Windows so that any caller that knows COM can use the
// objects: an interface is an abstract class of pure virtual methods in Win32 method
// order (no virtual destructor), so an interface pointer points to a pointer to the
// function table; HRESULT, LONG, ULONG and DWORD are 32-bit; OLECHAR is a UTF-16 unit.
//
// Activation: CoGetClassObject reads the default value of InprocServer32 (a DOS path;
// "%MODULE%"-style relative names go through LoadLibrary's search order), loads the
// module with LoadLibrary (so DllMain runs) and asks its DllGetClassObject export. Each
// module stays loaded until CoFreeUnusedLibraries finds its DllCanUnloadNow answering
// S_OK, or until the last CoUninitialize of the process. Only in-process servers exist
// here: a request without CLSCTX_INPROC_SERVER gets REGDB_E_CLASSNOTREG.
//
// Apartments: CoInitialize/CoInitializeEx/OleInitialize count per thread, as on Windows
// (S_OK the first time, S_FALSE after, RPC_E_CHANGED_MODE for a different model);
// CoCreateInstance and CoGetClassObject on a thread that has not initialised COM answer
// CO_E_NOTINITIALIZED. There is no marshaling between apartments: objects are called
// directly from any thread, so thread safety is each object's own concern.

#include <platform/WinTypes.h>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LCID = DWORD;
using SCODE = LONG;

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPGUID = GUID*;
using LPCLSID = CLSID*;

inline bool IsEqualGUID(REFGUID a, REFGUID b) noexcept
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualIID(REFIID a, REFIID b) noexcept
{
    return IsEqualGUID(a, b);
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) noexcept
{
    return IsEqualGUID(a, b);
}
inline bool operator==(const GUID& a, const GUID& b) noexcept
{
    return IsEqualGUID(a, b);
}

// Result codes (winerror.h values).
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
constexpr HRESULT REGDB_E_READREGDB = static_cast<HRESULT>(0x80040150);
constexpr HRESULT REGDB_E_WRITEREGDB = static_cast<HRESULT>(0x80040151);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3);
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106);

constexpr bool SUCCEEDED(HRESULT hr) noexcept
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) noexcept
{
    return hr < 0;
}
constexpr HRESULT HRESULT_FROM_WIN32(LONG code) noexcept
{
    return code <= 0 ? code
                     : static_cast<HRESULT>((static_cast<DWORD>(code) & 0xFFFF) | 0x80070000u);
}

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Well-known identifiers.
inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_NULL = GUID_NULL;
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMarshal{0x00000003, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ISequentialStream{
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IObjectWithSite{
    0xFC4801A3, 0x2BA9, 0x11CF, {0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52}};
inline constexpr CLSID CLSID_InProcFreeMarshaler{
    0x0000033A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;
};

struct STATSTG;
struct ULARGE_INTEGER {
    std::uint64_t QuadPart;
};
struct LARGE_INTEGER {
    std::int64_t QuadPart;
};

struct ISequentialStream : IUnknown {
    virtual HRESULT Read(void* data, ULONG size, ULONG* read) = 0;
    virtual HRESULT Write(const void* data, ULONG size, ULONG* written) = 0;
};

struct IStream : ISequentialStream {
    virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) = 0;
    virtual HRESULT SetSize(ULARGE_INTEGER size) = 0;
    virtual HRESULT CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                           ULARGE_INTEGER* written) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) = 0;
    virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) = 0;
    virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
    virtual HRESULT Clone(IStream** copy) = 0;
};

constexpr DWORD MSHCTX_LOCAL = 0;
constexpr DWORD MSHCTX_NOSHAREDMEM = 1;
constexpr DWORD MSHCTX_DIFFERENTMACHINE = 2;
constexpr DWORD MSHCTX_INPROC = 3;
constexpr DWORD MSHLFLAGS_NORMAL = 0;
constexpr DWORD MSHLFLAGS_TABLESTRONG = 1;
constexpr DWORD MSHLFLAGS_TABLEWEAK = 2;

struct IMarshal : IUnknown {
    virtual HRESULT GetUnmarshalClass(REFIID riid, void* object, DWORD destContext,
                                      void* destContextData, DWORD flags, CLSID* clsid) = 0;
    virtual HRESULT GetMarshalSizeMax(REFIID riid, void* object, DWORD destContext,
                                      void* destContextData, DWORD flags, DWORD* size) = 0;
    virtual HRESULT MarshalInterface(IStream* stream, REFIID riid, void* object, DWORD destContext,
                                     void* destContextData, DWORD flags) = 0;
    virtual HRESULT UnmarshalInterface(IStream* stream, REFIID riid, void** object) = 0;
    virtual HRESULT ReleaseMarshalData(IStream* stream) = 0;
    virtual HRESULT DisconnectObject(DWORD reserved) = 0;
};

// A browser helper object is handed its site through this interface.
struct IObjectWithSite : IUnknown {
    virtual HRESULT SetSite(IUnknown* site) = 0;
    virtual HRESULT GetSite(REFIID riid, void** site) = 0;
};

// The exports of an in-process server.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

HRESULT CoInitialize(LPVOID reserved) noexcept;
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit) noexcept;
void CoUninitialize() noexcept;
HRESULT OleInitialize(LPVOID reserved) noexcept;
void OleUninitialize() noexcept;

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID serverInfo, REFIID riid,
                         LPVOID* object) noexcept;
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid,
                         LPVOID* object) noexcept;
void CoFreeUnusedLibraries() noexcept;

// The task allocator: memory handed across module boundaries (StringFromCLSID).
LPVOID CoTaskMemAlloc(std::size_t size) noexcept;
LPVOID CoTaskMemRealloc(LPVOID block, std::size_t size) noexcept;
void CoTaskMemFree(LPVOID block) noexcept;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper case): 39 characters with the zero;
// returns that count, or 0 when size is smaller.
int StringFromGUID2(REFGUID guid, LPOLESTR text, int size) noexcept;
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) noexcept; // CoTaskMemFree the text
HRESULT StringFromIID(REFIID iid, LPOLESTR* text) noexcept;
// The braced form only; CO_E_CLASSSTRING (CLSIDFromString) / E_INVALIDARG (IIDFromString)
// for anything else. CLSIDFromString also takes a ProgID registered under HKCR.
HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) noexcept;
HRESULT IIDFromString(LPCOLESTR text, LPGUID iid) noexcept;
// HKCR\<progid>\CLSID (following CurVer when the ProgID has no CLSID of its own).
HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) noexcept;

// The free-threaded marshaler, aggregated by outer: hands out IMarshal, and marshals
// within the process by handing over the interface pointer itself.
HRESULT CoCreateFreeThreadedMarshaler(IUnknown* outer, IUnknown** marshaler) noexcept;

namespace platform {

// "{675DCB32-8482-452F-8BDD-5E98C19ED609}" form, upper-case hexadecimal.
std::string guidToString(const GUID& guid);
// Accepts the braced form in either case; nothing for anything else.
std::optional<GUID> guidFromString(std::string_view text);

// UTF-8 <-> UTF-16 for OLE strings (invalid sequences become U+FFFD).
std::u16string toUtf16(std::string_view text);
std::string fromUtf16(std::u16string_view text);

} // namespace platform
