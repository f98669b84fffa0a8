// BSTR and VARIANT: allocation, copies and the argument conversion late binding uses.

#include <platform/OleAuto.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <variant>

BSTR SysAllocStringLen(LPCOLESTR text, UINT length) noexcept
{
    return SysAllocStringByteLen(reinterpret_cast<LPCSTR>(text), length * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR bytes, UINT length) noexcept
{
    if (length > std::numeric_limits<UINT>::max() - 16) {
        return nullptr;
    }
    // Length prefix, the bytes, and a whole zero character after them.
    auto* block = static_cast<BYTE*>(std::malloc(sizeof(DWORD) + length + sizeof(OLECHAR) + 1));
    if (block == nullptr) {
        return nullptr;
    }
    const DWORD byteLength = length;
    std::memcpy(block, &byteLength, sizeof byteLength);
    BYTE* text = block + sizeof(DWORD);
    if (bytes != nullptr) {
        std::memcpy(text, bytes, length);
    } else {
        std::memset(text, 0, length);
    }
    std::memset(text + length, 0, sizeof(OLECHAR) + 1);
    return reinterpret_cast<BSTR>(text);
}

BSTR SysAllocString(LPCOLESTR text) noexcept
{
    if (text == nullptr) {
        return nullptr;
    }
    return SysAllocStringLen(text, static_cast<UINT>(std::char_traits<OLECHAR>::length(text)));
}

INT SysReAllocString(BSTR* target, LPCOLESTR text) noexcept
{
    if (target == nullptr) {
        return FALSE;
    }
    BSTR copy = SysAllocString(text);
    if (copy == nullptr && text != nullptr) {
        return FALSE;
    }
    SysFreeString(*target);
    *target = copy;
    return TRUE;
}

void SysFreeString(BSTR text) noexcept
{
    if (text != nullptr) {
        std::free(reinterpret_cast<BYTE*>(text) - sizeof(DWORD));
    }
}

UINT SysStringByteLen(BSTR text) noexcept
{
    if (text == nullptr) {
        return 0;
    }
    DWORD length = 0;
    std::memcpy(&length, reinterpret_cast<const BYTE*>(text) - sizeof(DWORD), sizeof length);
    return length;
}

UINT SysStringLen(BSTR text) noexcept
{
    return SysStringByteLen(text) / sizeof(OLECHAR);
}

void VariantInit(VARIANTARG* v) noexcept
{
    if (v != nullptr) {
        std::memset(v, 0, sizeof *v);
        v->vt = VT_EMPTY;
    }
}

HRESULT VariantClear(VARIANTARG* v) noexcept
{
    if (v == nullptr) {
        return E_INVALIDARG;
    }
    if ((v->vt & VT_BYREF) == 0) {
        switch (v->vt) {
        case VT_BSTR:
            SysFreeString(v->bstrVal);
            break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (v->punkVal != nullptr) {
                v->punkVal->Release();
            }
            break;
        default:
            break;
        }
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source) noexcept
{
    if (dest == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    if (dest == source) {
        return S_OK;
    }
    VARIANT copy = *source;
    if ((source->vt & VT_BYREF) == 0) {
        if (source->vt == VT_BSTR && source->bstrVal != nullptr) {
            copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source->bstrVal),
                                                 SysStringByteLen(source->bstrVal));
            if (copy.bstrVal == nullptr) {
                return E_OUTOFMEMORY;
            }
        } else if ((source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH) &&
                   source->punkVal != nullptr) {
            source->punkVal->AddRef();
        }
    }
    VariantClear(dest);
    *dest = copy;
    return S_OK;
}

namespace {

// A source value reduced to one of the forms conversion works from.
struct Empty {};
using Scalar = std::variant<Empty, std::int64_t, std::uint64_t, double, bool, std::u16string>;

HRESULT readScalar(const VARIANT& v, Scalar& out)
{
    const bool byref = (v.vt & VT_BYREF) != 0;
    const VARTYPE type = v.vt & VT_TYPEMASK;
    if (byref) {
        if (v.byref == nullptr) {
            return E_INVALIDARG;
        }
        if (type == VT_VARIANT) {
            return readScalar(*v.pvarVal, out);
        }
    }
    const void* p = byref ? v.byref : static_cast<const void*>(&v.llVal);
    auto as = [p](auto sample) {
        decltype(sample) value;
        std::memcpy(&value, p, sizeof value);
        return value;
    };
    switch (type) {
    case VT_EMPTY:
        out = Empty{};
        return byref ? DISP_E_TYPEMISMATCH : S_OK;
    case VT_I1:
        out = std::int64_t{as(std::int8_t{})};
        return S_OK;
    case VT_I2:
        out = std::int64_t{as(std::int16_t{})};
        return S_OK;
    case VT_I4:
    case VT_INT:
        out = std::int64_t{as(std::int32_t{})};
        return S_OK;
    case VT_I8:
        out = as(std::int64_t{});
        return S_OK;
    case VT_UI1:
        out = std::uint64_t{as(std::uint8_t{})};
        return S_OK;
    case VT_UI2:
        out = std::uint64_t{as(std::uint16_t{})};
        return S_OK;
    case VT_UI4:
    case VT_UINT:
        out = std::uint64_t{as(std::uint32_t{})};
        return S_OK;
    case VT_UI8:
        out = as(std::uint64_t{});
        return S_OK;
    case VT_R4:
        out = double{as(float{})};
        return S_OK;
    case VT_R8:
        out = as(double{});
        return S_OK;
    case VT_BOOL:
        out = as(VARIANT_BOOL{}) != VARIANT_FALSE;
        return S_OK;
    case VT_BSTR: {
        const BSTR text = as(BSTR{});
        out = text == nullptr ? std::u16string() : std::u16string(text, SysStringLen(text));
        return S_OK;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

std::u16string trimmed(const std::u16string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t')) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Text to a number: an integer when it is one, else a real; nothing for other text.
HRESULT parseNumber(const std::u16string& text, Scalar& out)
{
    const std::string ascii = platform::fromUtf16(trimmed(text));
    if (ascii.empty()) {
        return DISP_E_TYPEMISMATCH;
    }
    if (ascii == "True" || ascii == "true" || ascii == "TRUE") {
        out = true;
        return S_OK;
    }
    if (ascii == "False" || ascii == "false" || ascii == "FALSE") {
        out = false;
        return S_OK;
    }
    errno = 0;
    char* end = nullptr;
    const long long integer = std::strtoll(ascii.c_str(), &end, 10);
    if (*end == '\0') {
        if (errno == ERANGE) {
            return DISP_E_OVERFLOW;
        }
        out = std::int64_t{integer};
        return S_OK;
    }
    errno = 0;
    const double real = std::strtod(ascii.c_str(), &end);
    if (*end != '\0' || !std::isfinite(real)) {
        return errno == ERANGE ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    }
    out = real;
    return S_OK;
}

// The value as a mathematical integer (reals rounded half to even), or an error.
HRESULT integerOf(const Scalar& s, long double& out)
{
    if (std::holds_alternative<Empty>(s)) {
        out = 0;
    } else if (const auto* i = std::get_if<std::int64_t>(&s)) {
        out = static_cast<long double>(*i);
    } else if (const auto* u = std::get_if<std::uint64_t>(&s)) {
        out = static_cast<long double>(*u);
    } else if (const auto* d = std::get_if<double>(&s)) {
        out = std::nearbyint(static_cast<long double>(*d)); // default mode: half to even
    } else if (const auto* b = std::get_if<bool>(&s)) {
        out = *b ? -1 : 0;
    } else {
        Scalar parsed;
        const HRESULT hr = parseNumber(std::get<std::u16string>(s), parsed);
        if (FAILED(hr)) {
            return hr;
        }
        return integerOf(parsed, out);
    }
    return S_OK;
}

HRESULT realOf(const Scalar& s, double& out)
{
    if (const auto* d = std::get_if<double>(&s)) {
        out = *d;
        return S_OK;
    }
    if (const auto* text = std::get_if<std::u16string>(&s)) {
        Scalar parsed;
        const HRESULT hr = parseNumber(*text, parsed);
        return FAILED(hr) ? hr : realOf(parsed, out);
    }
    long double integer = 0;
    const HRESULT hr = integerOf(s, integer);
    out = static_cast<double>(integer);
    return hr;
}

template <typename T> HRESULT storeInteger(const Scalar& s, T& target)
{
    long double value = 0;
    const HRESULT hr = integerOf(s, value);
    if (FAILED(hr)) {
        return hr;
    }
    if (value < static_cast<long double>(std::numeric_limits<T>::min()) ||
        value > static_cast<long double>(std::numeric_limits<T>::max())) {
        return DISP_E_OVERFLOW;
    }
    target = static_cast<T>(value);
    return S_OK;
}

std::u16string textOf(const Scalar& s)
{
    if (const auto* text = std::get_if<std::u16string>(&s)) {
        return *text;
    }
    if (const auto* b = std::get_if<bool>(&s)) {
        return *b ? u"True" : u"False";
    }
    if (const auto* i = std::get_if<std::int64_t>(&s)) {
        return platform::toUtf16(std::to_string(*i));
    }
    if (const auto* u = std::get_if<std::uint64_t>(&s)) {
        return platform::toUtf16(std::to_string(*u));
    }
    if (const auto* d = std::get_if<double>(&s)) {
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", *d);
        return platform::toUtf16(text);
    }
    return {};
}

HRESULT convert(const Scalar& s, VARTYPE vt, VARIANT& out)
{
    VariantInit(&out);
    out.vt = vt;
    switch (vt) {
    case VT_EMPTY:
        return S_OK;
    case VT_I1:
        return storeInteger(s, out.cVal);
    case VT_I2:
        return storeInteger(s, out.iVal);
    case VT_I4:
        return storeInteger(s, out.lVal);
    case VT_INT:
        return storeInteger(s, out.intVal);
    case VT_I8:
        return storeInteger(s, out.llVal);
    case VT_UI1:
        return storeInteger(s, out.bVal);
    case VT_UI2:
        return storeInteger(s, out.uiVal);
    case VT_UI4:
        return storeInteger(s, out.ulVal);
    case VT_UINT:
        return storeInteger(s, out.uintVal);
    case VT_UI8:
        return storeInteger(s, out.ullVal);
    case VT_R8:
        return realOf(s, out.dblVal);
    case VT_R4: {
        double value = 0;
        const HRESULT hr = realOf(s, value);
        if (SUCCEEDED(hr) && std::fabs(value) > std::numeric_limits<float>::max()) {
            return DISP_E_OVERFLOW;
        }
        out.fltVal = static_cast<float>(value);
        return hr;
    }
    case VT_BOOL: {
        if (const auto* b = std::get_if<bool>(&s)) {
            out.boolVal = *b ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
        double value = 0;
        const HRESULT hr = realOf(s, value);
        out.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return hr;
    }
    case VT_BSTR: {
        const std::u16string text = textOf(s);
        out.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return out.bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    default:
        return DISP_E_BADVARTYPE;
    }
}

} // namespace

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source, std::uint16_t,
                          VARTYPE vt) noexcept
{
    if (dest == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    try {
        if (source->vt == vt) {
            if (dest == source) {
                return S_OK;
            }
            return VariantCopy(dest, source);
        }
        if (source->vt == VT_NULL || vt == VT_NULL) {
            return DISP_E_TYPEMISMATCH;
        }
        Scalar value;
        HRESULT hr = readScalar(*source, value);
        if (FAILED(hr)) {
            return hr;
        }
        VARIANT result;
        hr = convert(value, vt, result);
        if (FAILED(hr)) {
            VariantClear(&result);
            return hr;
        }
        VariantClear(dest);
        *dest = result;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

namespace platform {

Bstr::Bstr(std::u16string_view text)
    : m_text(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
{}

Bstr::Bstr(std::string_view utf8) : Bstr(std::u16string_view(toUtf16(utf8))) {}

Bstr::~Bstr()
{
    SysFreeString(m_text);
}

BSTR* Bstr::out()
{
    SysFreeString(m_text);
    m_text = nullptr;
    return &m_text;
}

std::string Bstr::utf8() const
{
    return m_text == nullptr ? std::string()
                             : fromUtf16(std::u16string_view(m_text, SysStringLen(m_text)));
}

} // namespace platform
