// Late binding: calling a function table slot with VARIANT arguments (over libffi, as
// DispCallFunc does on Windows), and the DispGetIDsOfNames/DispInvoke helpers.

#include <platform/OleAuto.h>

#include <ffi.h>

#include <cstring>
#include <vector>

namespace {

ffi_type* ffiTypeOf(VARTYPE vt)
{
    if ((vt & VT_BYREF) != 0) {
        return &ffi_type_pointer;
    }
    switch (vt) {
    case VT_I1:
        return &ffi_type_sint8;
    case VT_UI1:
        return &ffi_type_uint8;
    case VT_I2:
    case VT_BOOL:
        return &ffi_type_sint16;
    case VT_UI2:
        return &ffi_type_uint16;
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
    case VT_HRESULT:
        return &ffi_type_sint32;
    case VT_UI4:
    case VT_UINT:
        return &ffi_type_uint32;
    case VT_I8:
        return &ffi_type_sint64;
    case VT_UI8:
        return &ffi_type_uint64;
    case VT_R4:
        return &ffi_type_float;
    case VT_R8:
    case VT_DATE:
        return &ffi_type_double;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_LPSTR:
    case VT_LPWSTR:
    case VT_PTR:
        return &ffi_type_pointer;
    default:
        return nullptr;
    }
}

// Narrows a widened integer return value (ffi_arg) into the VARIANT's value.
void storeReturn(VARTYPE vt, const void* raw, VARIANT& result)
{
    const ffi_arg widened = *static_cast<const ffi_arg*>(raw);
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        result.bVal = static_cast<BYTE>(widened);
        break;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        result.uiVal = static_cast<WORD>(widened);
        break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
    case VT_HRESULT:
        result.ulVal = static_cast<ULONG>(widened);
        break;
    default:
        std::memcpy(&result.llVal, raw, sizeof result.llVal);
        break;
    }
}

} // namespace

HRESULT DispCallFunc(void* instance, ULONG_PTR vtableOffset, CALLCONV, VARTYPE returnType,
                     UINT argCount, VARTYPE* argTypes, VARIANTARG** args, VARIANT* result) noexcept
{
    if (instance == nullptr || vtableOffset % sizeof(void*) != 0 ||
        (argCount > 0 && (argTypes == nullptr || args == nullptr))) {
        return E_INVALIDARG;
    }
    try {
        std::vector<ffi_type*> types{&ffi_type_pointer};
        std::vector<void*> values{&instance};
        for (UINT i = 0; i < argCount; ++i) {
            ffi_type* type = ffiTypeOf(argTypes[i]);
            if (type == nullptr || args[i] == nullptr) {
                return DISP_E_BADVARTYPE;
            }
            types.push_back(type);
            values.push_back(&args[i]->llVal); // every value sits at the start of the union
        }
        ffi_type* returnFfi = returnType == VT_EMPTY || returnType == VT_VOID
                                  ? &ffi_type_void
                                  : ffiTypeOf(returnType);
        if (returnFfi == nullptr) {
            return DISP_E_BADVARTYPE;
        }
        ffi_cif cif;
        if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(types.size()), returnFfi,
                         types.data()) != FFI_OK) {
            return DISP_E_BADVARTYPE;
        }
        void** table = *static_cast<void***>(instance);
        void* function = table[vtableOffset / sizeof(void*)];
        alignas(16) unsigned char raw[16] = {};
        ffi_call(&cif, reinterpret_cast<void (*)()>(function), raw, values.data());
        if (result != nullptr) {
            VariantInit(result);
            if (returnFfi != &ffi_type_void) {
                result->vt = returnType;
                storeReturn(returnType, raw, *result);
            }
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT DispGetIDsOfNames(ITypeInfo* info, LPOLESTR* names, UINT count, DISPID* ids) noexcept
{
    return info == nullptr ? E_INVALIDARG : info->GetIDsOfNames(names, count, ids);
}

HRESULT DispInvoke(void* instance, ITypeInfo* info, DISPID id, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept
{
    return info == nullptr ? E_INVALIDARG
                           : info->Invoke(instance, id, flags, params, result, exception, argError);
}
