// Times the real Filters.dll in a temporary prefix with every option on: FilterRequest
// on a 600-byte browser request head, FilterResponse on a 16 KiB page full of scripts,
// pop-up calls and timers and on 16 KiB of the page bench/proxy serves. Each call takes
// the module's settings as in use: from the snapshot the module keeps, after checking
// the registry's change counter. The request goes to a site that is not on the trusted
// list, as most do; a second figure times one to a trusted site, for which the cookie
// store is read as well.

#include "EveryOption.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/WinInet.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string RequestHead =
    "GET http://www.example.com/news/today/index.html?section=world&page=2 HTTP/1.1\r\n"
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash,"
    " application/vnd.ms-excel, application/msword, */*\r\n"
    "Referer: http://www.example.com/news/index.html\r\n"
    "Accept-Language: en-us\r\n"
    "Accept-Encoding: gzip, deflate\r\n"
    "If-Modified-Since: Sat, 01 Feb 2003 10:00:00 GMT\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.1.4322)\r\n"
    "Host: www.example.com\r\n"
    "Proxy-Connection: Keep-Alive\r\n"
    "Cookie: id=8f3a2c; visits=14; last=10.0.0.1; prefs=layout%3Dwide%26lang%3Den\r\n"
    "X-Forwarded-For: 10.0.0.1\r\n"
    "\r\n";

// A page of about 16 KiB in which every response rule finds work.
std::string pageChunk()
{
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
                             "<html><head><title>Today's news</title></head>"
                             "<body onunload=\"bye()\" oncontextmenu=\"return false\">\n";
    const std::string block =
        "<p>Some paragraph text of the article with a <a href=\"/more.html\" "
        "onmouseover=\"window.status='Read more';return true\">link</a>.</p>\n"
        "<script language=\"JavaScript\">var n = 1; track(n);</script>\n"
        "<a href=# onclick=\"window.open('popup.html','ad','width=300');\">offer</a>\n"
        "<div onclick=\"setTimeout(\\\"rotate()\\\", 5000); setTimeout(next, 100)\">x</div>\n"
        "<table><tr><td><OBJECT classid=\"clsid:x\"><PARAM NAME=movie VALUE=\"b.swf\">"
        "</OBJECT></td></tr></table>\n";
    std::string page = head;
    while (page.size() + block.size() <= 16384) {
        page += block;
    }
    page.resize(16384, ' ');
    return page;
}

// 16 KiB of the page that bench/proxy serves through the filtered engine: a script with a
// timer and a status write, a pop-up call and an image in every 230 bytes or so.
std::string proxyPageChunk()
{
    std::string page = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
                       "<html><head><title>Benchmark page</title></head>\n"
                       "<body onunload=\"bye()\" oncontextmenu=\"return false\">\n";
    for (int i = 1; page.size() < 16384; ++i) {
        const std::string n = std::to_string(i);
        page += "<div class=\"c" + n + "\"><a href=\"/p" + n + ".html\"><img src=\"/img/" + n +
                ".gif\" width=\"10\"></a>\n<script>setTimeout(\"tick(" + n + ")\", " + n +
                "); window.status='s" + n + "';</script>\n<p onclick=\"window.open('/w" + n +
                ".html','w" + n + "')\">item <b>" + n + "</b> <i>text</i></p></div>\n";
    }
    page.resize(16384);
    return page;
}

template <typename Fn> double medianMicroseconds(int runs, Fn fn)
{
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        fn();
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[runs / 2];
}

void configure(RegisterDLLFn registerDll)
{
    registerDll("C:\\Program Files\\Umbravia\\Filters.dll");
    filters::switchEveryOptionOn();
    const std::string base = settings::RequestKey;
    settings::saveList(HKEY_LOCAL_MACHINE, (base + "\\CUSTOMFILTERS").c_str(),
                       {1, {"Accept-Language: fr", "Accept-Encoding: identity"}});
    settings::saveList(HKEY_LOCAL_MACHINE, (base + "\\STOPSERVERS").c_str(),
                       {1, {"ads.example.net", "tracker.example.org", "banners.example.com"}});
    settings::saveList(HKEY_LOCAL_MACHINE, (base + "\\COOKIETRUSTEDSITES").c_str(),
                       {0, {"shop.example.net", "mail.example.org"}});
    const settings::Key banners = settings::Key::create(HKEY_LOCAL_MACHINE, settings::BannersKey);
    banners.writeString("ad.example.net", "localhost");
    banners.writeString("img.adserver.example", "localhost");
    banners.writeString("static.banners.example", "localhost");
    platform::setCookie("http://shop.example.net/", "id=8f3a2c; path=/");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: filters_bench BIN_FOLDER\n");
        return 2;
    }
    std::string prefix = (fs::temp_directory_path() / "filters-bench-XXXXXX").string();
    if (mkdtemp(prefix.data()) == nullptr) {
        return 1;
    }
    platform::setPrefix(prefix);
    void* module = dlopen((fs::path(argv[1]) / "Filters.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    auto registerDll = reinterpret_cast<RegisterDLLFn>(dlsym(module, contract::RegisterDLL));
    auto filterRequest = reinterpret_cast<FilterRequestFn>(dlsym(module, contract::FilterRequest));
    auto filterResponse =
        reinterpret_cast<FilterResponseFn>(dlsym(module, contract::FilterResponse));
    auto freeBuffer =
        reinterpret_cast<FreeFilteredDataBufFn>(dlsym(module, contract::FreeFilteredDataBuf));
    configure(registerDll);

    // FILTERS_BENCH_RUNS: more calls per figure, e.g. for a profiler.
    const char* runsSetting = std::getenv("FILTERS_BENCH_RUNS");
    const int runs = runsSetting != nullptr ? std::max(1, std::atoi(runsSetting)) : 3000;
    const double read = medianMicroseconds(runs, [] {
        settings::readDword(HKEY_LOCAL_MACHINE, settings::ResponseKey, "BLOCKPOPUPS");
    });
    std::string request = RequestHead;
    const double requestTime = medianMicroseconds(runs, [&] {
        unsigned int length = 0;
        char* out = filterRequest(request.data(), static_cast<int>(RequestHead.size()), &length,
                                  "10.0.0.1");
        freeBuffer(out);
    });
    // A trusted site: the cookie store is asked whether its cookies carry the address.
    std::string trusted = RequestHead;
    for (std::size_t at; (at = trusted.find("www.example.com")) != std::string::npos;) {
        trusted.replace(at, 15, "shop.example.net");
    }
    const double trustedTime = medianMicroseconds(runs, [&] {
        unsigned int length = 0;
        char* out =
            filterRequest(trusted.data(), static_cast<int>(trusted.size()), &length, "10.0.0.1");
        freeBuffer(out);
    });
    // A fresh copy of the chunk before each call, not timed.
    auto responseTime = [&](const std::string& page) {
        std::string chunk = page;
        std::vector<double> times;
        times.reserve(runs);
        for (int i = 0; i < runs; ++i) {
            std::copy(page.begin(), page.end(), chunk.begin());
            const auto start = Clock::now();
            filterResponse(chunk.data(), static_cast<int>(chunk.size()));
            times.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
        return times[runs / 2];
    };
    const double responseTimeDense = responseTime(pageChunk());
    const double responseTimeProxyPage = responseTime(proxyPageChunk());

    std::printf("filters.read_us %.2f us\n", read);
    std::printf("filters.request_us %.2f us\n", requestTime);
    std::printf("filters.request_trusted_us %.2f us\n", trustedTime);
    std::printf("filters.response_us %.2f us\n", responseTimeDense);
    std::printf("filters.response_proxy_page_us %.2f us\n", responseTimeProxyPage);
    dlclose(module);
    std::error_code ec;
    fs::remove_all(prefix, ec);
    return 0;
}
