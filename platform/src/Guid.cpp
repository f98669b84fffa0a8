// GUID text forms, OLE string conversion and the task allocator.

#include <platform/Com.h>
#include <platform/Registry.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

std::string guidToString(const GUID& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads count hexadecimal digits at text[at].
bool readHex(std::string_view text, std::size_t at, int count, std::uint64_t& value)
{
    value = 0;
    for (int i = 0; i < count; ++i) {
        const int digit = hexDigit(text[at + static_cast<std::size_t>(i)]);
        if (digit < 0) {
            return false;
        }
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return true;
}

} // namespace

std::optional<GUID> guidFromString(std::string_view text)
{
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (text.size() != 38 || text.front() != '{' || text.back() != '}' || text[9] != '-' ||
        text[14] != '-' || text[19] != '-' || text[24] != '-') {
        return std::nullopt;
    }
    GUID g{};
    std::uint64_t v = 0;
    if (!readHex(text, 1, 8, v)) {
        return std::nullopt;
    }
    g.Data1 = static_cast<DWORD>(v);
    if (!readHex(text, 10, 4, v)) {
        return std::nullopt;
    }
    g.Data2 = static_cast<WORD>(v);
    if (!readHex(text, 15, 4, v)) {
        return std::nullopt;
    }
    g.Data3 = static_cast<WORD>(v);
    constexpr std::size_t byteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!readHex(text, byteAt[i], 2, v)) {
            return std::nullopt;
        }
        g.Data4[i] = static_cast<BYTE>(v);
    }
    return g;
}

std::u16string toUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0xFFFD;
        std::size_t length = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 || (c & 0xF0) == 0xE0 || (c & 0xF8) == 0xF0) {
            length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
            char32_t value = c & (0x7F >> length);
            bool valid = i + length <= text.size();
            for (std::size_t k = 1; valid && k < length; ++k) {
                const auto next = static_cast<unsigned char>(text[i + k]);
                valid = (next & 0xC0) == 0x80;
                value = (value << 6) | (next & 0x3F);
            }
            const char32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
            if (valid && value >= minimum && value <= 0x10FFFF &&
                (value < 0xD800 || value > 0xDFFF)) {
                cp = value;
            } else {
                length = 1;
            }
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string fromUtf16(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace platform

namespace {

std::u16string_view olestr(LPCOLESTR text)
{
    return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

LPOLESTR taskCopy(const std::string& text)
{
    const std::u16string wide = platform::toUtf16(text);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (out != nullptr) {
        std::copy(wide.begin(), wide.end(), out);
        out[wide.size()] = 0;
    }
    return out;
}

} // namespace

LPVOID CoTaskMemAlloc(std::size_t size) noexcept
{
    return std::malloc(size == 0 ? 1 : size);
}

LPVOID CoTaskMemRealloc(LPVOID block, std::size_t size) noexcept
{
    return std::realloc(block, size == 0 ? 1 : size);
}

void CoTaskMemFree(LPVOID block) noexcept
{
    std::free(block);
}

int StringFromGUID2(REFGUID guid, LPOLESTR text, int size) noexcept
{
    const std::string form = platform::guidToString(guid);
    if (text == nullptr || size < static_cast<int>(form.size()) + 1) {
        return 0;
    }
    std::copy(form.begin(), form.end(), text);
    text[form.size()] = 0;
    return static_cast<int>(form.size()) + 1;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) noexcept
{
    if (text == nullptr) {
        return E_INVALIDARG;
    }
    *text = taskCopy(platform::guidToString(clsid));
    return *text != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT StringFromIID(REFIID iid, LPOLESTR* text) noexcept
{
    return StringFromCLSID(iid, text);
}

HRESULT IIDFromString(LPCOLESTR text, LPGUID iid) noexcept
{
    if (iid == nullptr) {
        return E_INVALIDARG;
    }
    const std::optional<GUID> g = platform::guidFromString(platform::fromUtf16(olestr(text)));
    if (!g) {
        return E_INVALIDARG;
    }
    *iid = *g;
    return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) noexcept
{
    if (clsid == nullptr) {
        return E_INVALIDARG;
    }
    const std::string form = platform::fromUtf16(olestr(text));
    if (!form.empty() && form.front() == '{') {
        const std::optional<GUID> g = platform::guidFromString(form);
        if (!g) {
            return CO_E_CLASSSTRING;
        }
        *clsid = *g;
        return S_OK;
    }
    const HRESULT hr = CLSIDFromProgID(text, clsid);
    return hr == REGDB_E_CLASSNOTREG ? CO_E_CLASSSTRING : hr;
}

namespace {

std::optional<std::string> defaultValue(const std::string& subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    char data[MAX_PATH * 4] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    const LONG rc =
        RegQueryValueEx(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    return std::string(data);
}

} // namespace

HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) noexcept
{
    if (progId == nullptr || clsid == nullptr) {
        return E_INVALIDARG;
    }
    try {
        std::string name = platform::fromUtf16(olestr(progId));
        // A version-independent ProgID without a CLSID of its own names its current one.
        for (int hop = 0; hop < 2; ++hop) {
            if (const auto text = defaultValue(name + "\\CLSID")) {
                const std::optional<GUID> g = platform::guidFromString(*text);
                if (!g) {
                    return CO_E_CLASSSTRING;
                }
                *clsid = *g;
                return S_OK;
            }
            const auto current = defaultValue(name + "\\CurVer");
            if (!current) {
                break;
            }
            name = *current;
        }
        return REGDB_E_CLASSNOTREG;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
