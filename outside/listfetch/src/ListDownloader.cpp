#include "ListDownloader.h"

#include <curl/curl.h>

#include <memory>

namespace listfetch {

namespace {

struct Body {
    std::string text;
    bool tooLarge = false;
};

size_t collect(char* data, size_t size, size_t count, void* user)
{
    Body& body = *static_cast<Body*>(user);
    size_t bytes = size * count;
    if (body.text.size() + bytes > ListDownloader::MaxBytes) {
        body.tooLarge = true;
        return 0; // makes curl stop with CURLE_WRITE_ERROR
    }
    body.text.append(data, bytes);
    return bytes;
}

bool allowedScheme(const std::string& address)
{
    auto startsWith = [&](const char* prefix) {
        return address.size() >= std::char_traits<char>::length(prefix) &&
               curl_strnequal(address.c_str(), prefix, std::char_traits<char>::length(prefix));
    };
    return startsWith("http://") || startsWith("https://");
}

} // namespace

platform::Result<std::string> ListDownloader::fetch(const std::string& address) const
{
    if (!allowedScheme(address)) {
        return platform::makeError(ERROR_INVALID_PARAMETER,
                                   "not an http or https address: " + address);
    }
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        return platform::makeError(ERROR_NOT_ENOUGH_MEMORY, "curl_easy_init failed");
    }
    Body body;
    char error[CURL_ERROR_SIZE] = {};
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, MaxRedirects);
    curl_easy_setopt(handle, CURLOPT_PROXY, ""); // never an environment proxy
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, m_timeoutMs);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, m_timeoutMs);
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(MaxBytes));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    CURLcode rc = curl_easy_perform(handle);
    if (body.tooLarge) {
        return platform::makeError(ERROR_INSUFFICIENT_BUFFER, "the list is larger than 4 MiB");
    }
    if (rc != CURLE_OK) {
        std::string why = error[0] != '\0' ? error : curl_easy_strerror(rc);
        return platform::makeError(ERROR_READ_FAULT, "download of " + address + " failed: " + why);
    }
    return std::move(body.text);
}

} // namespace listfetch
