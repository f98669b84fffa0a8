// The exports of Filters.dll: the request and response filters with their settings
// snapshot (kept until the registry changes), the release of filtered buffers, the main
// window and the registration.

#include "FilterSettings.h"
#include "Registration.h"
#include "RequestFilter.h"
#include "ResponseFilter.h"
#include "SettingsCache.h"
#include "WindowNotifier.h"

#include <platform/MessageBox.h>
#include <platform/Modules.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* RegistryFailureText = "Invalide registry data";
constexpr const char* RegistryFailureCaption = "Filters";

// Broken settings: the user must see it, and the chunk must not pass unfiltered.
void refuseChunk(char* bytes, int length)
{
    MessageBox(0, RegistryFailureText, RegistryFailureCaption, MB_OK | MB_ICONERROR);
    std::memset(bytes, 0, static_cast<std::size_t>(length));
}

char* filterRequest(char* request, int length, unsigned int* outLength, const char* localAddress)
{
    const filters::FilterSettings* settings = filters::SettingsCache::forRequest();
    if (settings == nullptr) {
        refuseChunk(request, length);
        return nullptr;
    }
    const std::size_t size = static_cast<std::size_t>(length);
    const std::size_t textLength = strnlen(request, size);
    // The working text lives as long as the thread, so its storage is reused.
    thread_local std::string text;
    text.assign(request, textLength);
    filters::WindowNotifier notifier;
    filters::RequestFilter filter(*settings, notifier, localAddress != nullptr ? localAddress : "");
    if (filter.run(text) == filters::RequestFilter::Outcome::Blocked) {
        std::memset(request, ' ', size);
        return nullptr;
    }
    // Bytes from a zero byte on (a binary upload) follow the filtered text unchanged.
    const std::size_t tail = size - textLength;
    const std::size_t total = text.size() + tail;
    char* out = static_cast<char*>(std::malloc(total + 1));
    if (out == nullptr) {
        return nullptr;
    }
    std::memcpy(out, text.data(), text.size());
    std::memcpy(out + text.size(), request + textLength, tail);
    out[total] = '\0';
    *outLength = static_cast<unsigned int>(total);
    return out;
}

void filterResponse(char* response, int length)
{
    const filters::FilterSettings* settings = filters::SettingsCache::forResponse();
    if (settings == nullptr) {
        refuseChunk(response, length);
        return;
    }
    filters::WindowNotifier notifier;
    filters::ResponseFilter(*settings, notifier)
        .run(response, strnlen(response, static_cast<std::size_t>(length)));
}

} // namespace

UMBRAVIA_EXPORT char* FilterRequest(char* request, int length, unsigned int* outLength,
                                    const char* localAddress) noexcept
{
    if (request == nullptr || length <= 0 || outLength == nullptr) {
        return nullptr;
    }
    *outLength = 0;
    try {
        return filterRequest(request, length, outLength, localAddress);
    } catch (...) {
        *outLength = 0;
        return nullptr;
    }
}

UMBRAVIA_EXPORT void FreeFilteredDataBuf(char* buffer) noexcept
{
    std::free(buffer);
}

UMBRAVIA_EXPORT void FilterResponse(char* response, int length) noexcept
{
    if (response == nullptr || length <= 0) {
        return;
    }
    try {
        filterResponse(response, length);
    } catch (...) {
        // out of memory for the thread's word positions: the chunk passes as it stands
    }
}

UMBRAVIA_EXPORT void SetMainWindow(HWND mainWindow) noexcept
{
    filters::WindowNotifier::setMainWindow(mainWindow);
}

UMBRAVIA_EXPORT int RegisterDLL(const char* modulePath) noexcept
{
    try {
        return filters::Registration::registerModule(modulePath) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

UMBRAVIA_EXPORT int UnRegisterDLL() noexcept
{
    try {
        return filters::Registration::unregisterModule() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
