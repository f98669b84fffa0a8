#pragma once
// User agents as real browsers and tools send them, for the tests of browser recognition
// (routing, the activity list, the request filter); versions current at the time of
// writing.

namespace testsupport::agents {

// The three programs the proxy has always known by a word of their user agent.
inline constexpr const char* InternetExplorer6 =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
inline constexpr const char* Netscape7 =
    "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.4) Gecko/20030624 Netscape/7.1 (ax)";
inline constexpr const char* Opera7 = "Opera/7.54 (Windows NT 5.1; U)  [en]";

// Today's browsers.
inline constexpr const char* FirefoxLinux =
    "Mozilla/5.0 (X11; Linux x86_64; rv:133.0) Gecko/20100101 Firefox/133.0";
inline constexpr const char* FirefoxWindows =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:133.0) Gecko/20100101 Firefox/133.0";
inline constexpr const char* FirefoxIos =
    "Mozilla/5.0 (iPhone; CPU iPhone OS 18_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) FxiOS/133.0 Mobile/15E148 Safari/605.1.15";
// Debian's Chromium sends the same agent as Chrome; older builds named themselves.
inline constexpr const char* ChromiumDebian =
    "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/131.0.0.0 Safari/537.36";
inline constexpr const char* ChromiumUbuntu =
    "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Ubuntu "
    "Chromium/83.0.4103.61 Chrome/83.0.4103.61 Safari/537.36";
inline constexpr const char* ChromeWindows =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/131.0.0.0 Safari/537.36";
inline constexpr const char* ChromeIos =
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_7 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) CriOS/131.0.6778.73 Mobile/15E148 Safari/604.1";
inline constexpr const char* Edge =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/131.0.0.0 Safari/537.36 Edg/131.0.0.0";
inline constexpr const char* SafariMac =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/18.1 Safari/605.1.15";
inline constexpr const char* SafariIos =
    "Mozilla/5.0 (iPhone; CPU iPhone OS 18_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) Version/18.1 Mobile/15E148 Safari/604.1";
inline constexpr const char* OperaChromium =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/131.0.0.0 Safari/537.36 OPR/116.0.0.0";
inline constexpr const char* InternetExplorer11 =
    "Mozilla/5.0 (Windows NT 10.0; WOW64; Trident/7.0; rv:11.0) like Gecko";

// Programs that are no browsers.
inline constexpr const char* Curl = "curl/7.88.1";
inline constexpr const char* Wget = "Wget/1.21.3";
inline constexpr const char* PythonRequests = "python-requests/2.28.1";

// The client hints Chromium sends beside its user agent.
inline constexpr const char* ChromiumClientHints =
    "sec-ch-ua: \"Chromium\";v=\"131\", \"Not_A Brand\";v=\"24\"\r\n"
    "sec-ch-ua-mobile: ?0\r\n"
    "sec-ch-ua-platform: \"Linux\"\r\n";

} // namespace testsupport::agents
