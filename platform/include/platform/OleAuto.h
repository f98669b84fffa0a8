#pragma once
// OLE Automation as far as late binding needs it: BSTR, VARIANT with argument
// conversion, DISPPARAMS, IDispatch, and type libraries served from data compiled into
// the module that carries them.
//
// Type libraries: Linux modules have no resources, so a module that carries a type
// library exports
//     const platform::TypeLibDescription* DllGetTypeLibrary(UINT index) noexcept;
// where index 1 is the module's type library (resource id 1 on Windows) and any other
// index gives null. LoadTypeLib loads the module (keeping it loaded while the library
// is in use) and serves ITypeLib/ITypeInfo from that description; ITypeInfo's
// GetIDsOfNames and Invoke (and DispGetIDsOfNames/DispInvoke over them) are driven by it,
// calling the interface's function table slot named by each method's description.
// RegisterTypeLib writes HKCR\TypeLib\{libid}\<major>.<minor> (default value: the help
// string), its "0\win32" subkey (the module's path), FLAGS and HELPDIR; LoadRegTypeLib
// finds the library through those keys.
//
// Argument conversion (VariantChangeType, Invoke): between the integer types, VT_R4,
// VT_R8, VT_BOOL, VT_BSTR and VT_EMPTY; integers out of the target's range give
// DISP_E_OVERFLOW, text that is no number and every other pairing DISP_E_TYPEMISMATCH.
// Reals become integers rounded half to even. Methods with 8-bit text arguments
// (VT_LPSTR) get the BSTR argument as UTF-8, valid for the call.

#include <platform/Com.h>

#include <cstddef>

using BSTR = OLECHAR*;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using DISPID = LONG;
using MEMBERID = DISPID;
using HREFTYPE = DWORD;
using DATE = double;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_PTR = 26,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

struct IDispatch;
struct ITypeInfo;
struct ITypeLib;
struct ITypeComp;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        std::int64_t llVal;
        LONG lVal;
        BYTE bVal;
        std::int16_t iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        char cVal;
        WORD uiVal;
        ULONG ulVal;
        std::uint64_t ullVal;
        INT intVal;
        UINT uintVal;
        PVOID byref;
        LONG* plVal;
        BSTR* pbstrVal;
        VARIANT* pvarVal;
        // Sizes the value part as on 64-bit Windows (a record: two pointers).
        struct {
            PVOID pvRecord;
            PVOID pRecInfo;
        } record;
    };
};
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;
static_assert(sizeof(VARIANT) == 24);
static_assert(offsetof(VARIANT, vt) == 0);
static_assert(offsetof(VARIANT, lVal) == 8);

struct DISPPARAMS {
    VARIANTARG* rgvarg; // arguments in reverse order
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};
static_assert(sizeof(DISPPARAMS) == 24);

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    PVOID pvReserved;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr LCID LOCALE_USER_DEFAULT = 0x400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x800;

constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000B);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
constexpr HRESULT TYPE_E_REGISTRYACCESS = static_cast<HRESULT>(0x8002801C);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = static_cast<HRESULT>(0x8002801D);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = static_cast<HRESULT>(0x8002802B);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = static_cast<HRESULT>(0x80029C4A);

inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ITypeInfo{0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ITypeLib{0x00020402, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

enum TYPEKIND : int {
    TKIND_ENUM = 0,
    TKIND_RECORD,
    TKIND_MODULE,
    TKIND_INTERFACE,
    TKIND_DISPATCH,
    TKIND_COCLASS,
    TKIND_ALIAS,
    TKIND_UNION,
};

enum INVOKEKIND : int {
    INVOKE_FUNC = 1,
    INVOKE_PROPERTYGET = 2,
    INVOKE_PROPERTYPUT = 4,
    INVOKE_PROPERTYPUTREF = 8,
};

enum SYSKIND : int { SYS_WIN16 = 0, SYS_WIN32, SYS_MAC, SYS_WIN64 };

enum CALLCONV : int { CC_CDECL = 1, CC_STDCALL = 4 };

constexpr WORD TYPEFLAG_FAPPOBJECT = 0x1;
constexpr WORD TYPEFLAG_FCANCREATE = 0x2;
constexpr WORD TYPEFLAG_FHIDDEN = 0x10;
constexpr WORD TYPEFLAG_FDUAL = 0x40;
constexpr WORD TYPEFLAG_FNONEXTENSIBLE = 0x80;
constexpr WORD TYPEFLAG_FOLEAUTOMATION = 0x100;
constexpr WORD TYPEFLAG_FAGGREGATABLE = 0x400;
constexpr WORD TYPEFLAG_FDISPATCHABLE = 0x1000;

struct TLIBATTR {
    GUID guid;
    LCID lcid;
    SYSKIND syskind;
    WORD wMajorVerNum;
    WORD wMinorVerNum;
    WORD wLibFlags;
};

struct TYPEDESC {
    PVOID lptdesc;
    VARTYPE vt;
};

struct IDLDESC {
    ULONG_PTR dwReserved;
    std::uint16_t wIDLFlags;
};

struct TYPEATTR {
    GUID guid;
    LCID lcid;
    DWORD dwReserved;
    MEMBERID memidConstructor;
    MEMBERID memidDestructor;
    LPOLESTR lpstrSchema;
    ULONG cbSizeInstance;
    TYPEKIND typekind;
    WORD cFuncs;
    WORD cVars;
    WORD cImplTypes;
    WORD cbSizeVft;
    WORD cbAlignment;
    WORD wTypeFlags;
    WORD wMajorVerNum;
    WORD wMinorVerNum;
    TYPEDESC tdescAlias;
    IDLDESC idldescType;
};

// Descriptions not served here (GetFuncDesc and GetVarDesc answer E_NOTIMPL).
struct FUNCDESC;
struct VARDESC;

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                  DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argError) = 0;
};

struct ITypeInfo : IUnknown {
    virtual HRESULT GetTypeAttr(TYPEATTR** attr) = 0;
    virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
    virtual HRESULT GetFuncDesc(UINT index, FUNCDESC** desc) = 0;
    virtual HRESULT GetVarDesc(UINT index, VARDESC** desc) = 0;
    virtual HRESULT GetNames(MEMBERID id, BSTR* names, UINT maxNames, UINT* count) = 0;
    virtual HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* ref) = 0;
    virtual HRESULT GetImplTypeFlags(UINT index, INT* flags) = 0;
    virtual HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) = 0;
    virtual HRESULT Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argError) = 0;
    virtual HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, DWORD* helpContext,
                                     BSTR* helpFile) = 0;
    virtual HRESULT GetDllEntry(MEMBERID id, INVOKEKIND kind, BSTR* dllName, BSTR* name,
                                WORD* ordinal) = 0;
    virtual HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) = 0;
    virtual HRESULT AddressOfMember(MEMBERID id, INVOKEKIND kind, PVOID* address) = 0;
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, PVOID* object) = 0;
    virtual HRESULT GetMops(MEMBERID id, BSTR* mops) = 0;
    virtual HRESULT GetContainingTypeLib(ITypeLib** lib, UINT* index) = 0;
    virtual void ReleaseTypeAttr(TYPEATTR* attr) = 0;
    virtual void ReleaseFuncDesc(FUNCDESC* desc) = 0;
    virtual void ReleaseVarDesc(VARDESC* desc) = 0;
};

struct ITypeLib : IUnknown {
    virtual UINT GetTypeInfoCount() = 0;
    virtual HRESULT GetTypeInfo(UINT index, ITypeInfo** info) = 0;
    virtual HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) = 0;
    virtual HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) = 0;
    virtual HRESULT GetLibAttr(TLIBATTR** attr) = 0;
    virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
    virtual HRESULT GetDocumentation(INT index, BSTR* name, BSTR* docString, DWORD* helpContext,
                                     BSTR* helpFile) = 0;
    virtual HRESULT IsName(LPOLESTR name, ULONG hash, BOOL* found) = 0;
    virtual HRESULT FindName(LPOLESTR name, ULONG hash, ITypeInfo** infos, MEMBERID* ids,
                             std::uint16_t* found) = 0;
    virtual void ReleaseTLibAttr(TLIBATTR* attr) = 0;
};

// BSTR: the text is preceded by its length in bytes (32-bit) and followed by a zero.
BSTR SysAllocString(LPCOLESTR text) noexcept;
BSTR SysAllocStringLen(LPCOLESTR text, UINT length) noexcept;
BSTR SysAllocStringByteLen(LPCSTR bytes, UINT length) noexcept;
INT SysReAllocString(BSTR* target, LPCOLESTR text) noexcept;
void SysFreeString(BSTR text) noexcept;
UINT SysStringLen(BSTR text) noexcept;
UINT SysStringByteLen(BSTR text) noexcept;

void VariantInit(VARIANTARG* v) noexcept;
HRESULT VariantClear(VARIANTARG* v) noexcept;
HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source) noexcept;
// dest may be source. dest is cleared first unless it is source.
HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source, std::uint16_t flags,
                          VARTYPE vt) noexcept;

// Calls the function table slot at byte offset vtableOffset of instance with the given
// arguments (the instance pointer comes first); cc is ignored (one convention here).
HRESULT DispCallFunc(void* instance, ULONG_PTR vtableOffset, CALLCONV cc, VARTYPE returnType,
                     UINT argCount, VARTYPE* argTypes, VARIANTARG** args, VARIANT* result) noexcept;
HRESULT DispGetIDsOfNames(ITypeInfo* info, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
HRESULT DispInvoke(void* instance, ITypeInfo* info, DISPID id, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept;

// file: the DOS path of a module that exports DllGetTypeLibrary.
HRESULT LoadTypeLib(LPCOLESTR file, ITypeLib** lib) noexcept;
HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** lib) noexcept;
// fullPath: the module's DOS path; helpDir null: the module's folder.
HRESULT RegisterTypeLib(ITypeLib* lib, LPCOLESTR fullPath, LPCOLESTR helpDir) noexcept;
HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid,
                          SYSKIND syskind) noexcept;

namespace platform {

// A type library as data compiled into its module.
struct TypeLibParam {
    LPCOLESTR name;
    VARTYPE vt;
};

struct TypeLibFunction {
    MEMBERID id;
    LPCOLESTR name;
    LPCOLESTR helpString;
    INVOKEKIND kind;
    VARTYPE returnType; // VT_HRESULT for the methods of a dual interface
    const TypeLibParam* params;
    UINT paramCount;
    UINT vtableIndex; // slot in the interface's function table (QueryInterface is 0)
};

struct TypeLibType {
    TYPEKIND kind;
    GUID guid;
    LPCOLESTR name;
    LPCOLESTR helpString;
    WORD typeFlags;
    const TypeLibFunction* functions; // interfaces
    UINT functionCount;
    UINT vtableSize;        // interfaces: slots in the function table
    const GUID* interfaces; // classes: the interfaces they implement, default first
    UINT interfaceCount;
};

struct TypeLibDescription {
    DWORD structSize; // sizeof(TypeLibDescription): guards against a module of another layout
    GUID libid;
    LCID lcid;
    WORD majorVersion;
    WORD minorVersion;
    WORD libFlags;
    LPCOLESTR name;
    LPCOLESTR helpString;
    const TypeLibType* types;
    UINT typeCount;
};

using DllGetTypeLibraryFn = const TypeLibDescription* (*)(UINT index);

// A BSTR that frees itself.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::u16string_view text);
    explicit Bstr(std::string_view utf8);
    ~Bstr();
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return m_text; }
    BSTR* out(); // frees the current text and hands out the slot
    std::string utf8() const;

private:
    BSTR m_text = nullptr;
};

} // namespace platform
