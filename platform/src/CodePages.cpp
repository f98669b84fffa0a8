#include <platform/CodePages.h>
#include <platform/Com.h>

#include <cstring>
#include <string>

int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* wide, int wideCount, LPSTR multi,
                        int multiSize, LPCSTR, BOOL* usedDefault) noexcept
{
    if ((codePage != CP_ACP && codePage != CP_UTF8) || wide == nullptr || wideCount < -1 ||
        wideCount == 0 || multiSize < 0 || (multiSize > 0 && multi == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    try {
        std::size_t length = wideCount == -1 ? std::char_traits<char16_t>::length(wide) + 1
                                             : static_cast<std::size_t>(wideCount);
        const std::string bytes = platform::fromUtf16(std::u16string_view(wide, length));
        if (usedDefault != nullptr) {
            *usedDefault = FALSE;
        }
        if (multiSize == 0) {
            return static_cast<int>(bytes.size());
        }
        if (bytes.size() > static_cast<std::size_t>(multiSize)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(multi, bytes.data(), bytes.size());
        return static_cast<int>(bytes.size());
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}
