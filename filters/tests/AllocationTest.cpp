// Filtering a chunk allocates nothing once a thread's buffers have grown to its chunks'
// size: this executable counts every operator new of the process.

#include "EventCounter.h"
#include "RequestFilter.h"
#include "ResponseFilter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size)
{
    ++g_allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace filters {
namespace {

FilterSettings everyOption()
{
    FilterSettings s;
    s.requestOn = s.browserShield = s.osShield = s.disableAllCookies = true;
    s.disableUnsafeCookies = s.ipMasking = s.referrerBlock = s.disableInternetCache = true;
    s.customFiltersOn = s.stopListOn = true;
    s.customFilters = {"Accept-Language: fr", "Accept-Encoding: identity"};
    s.stopServers = {"ads.example.net", "tracker.example.org"};
    s.trustedSites = {"shop.example.net"};
    s.fakeIp = 0xC0A80001;
    s.responseOn = s.blockImages = s.blockBanners = s.blockScripts = true;
    s.disableOnUnload = s.hidePageTitle = s.blockPopups = s.removeCtxMenuDis = true;
    s.removeFlash = s.removeStatusMods = s.disableTimerProc = true;
    s.banners = {{"www.example.com", "localhost"}, {"gif", "a longer replacement"}};
    return s;
}

const std::string Head =
    "GET http://www.example.com/news/pic.gif?x=1 HTTP/1.1\r\n"
    "Accept: image/gif, */*\r\nReferer: http://www.example.com/\r\n"
    "Accept-Language: en-us\r\nAccept-Encoding: gzip\r\n"
    "If-Modified-Since: Sat, 01 Feb 2003 10:00:00 GMT\r\nUser-Agent: Mozilla/4.0\r\n"
    "Host: www.example.com\r\nCookie: id=1; last=10.0.0.1\r\nX-Forwarded-For: 10.0.0.1\r\n\r\n";

std::string page()
{
    const std::string block =
        "<p><a href=\"/m.html\" onmouseover=\"window.status='more';return true\">l</a></p>\n"
        "<script>track(1);</script><a onclick=\"window.open('p.html','ad');\">o</a>\n"
        "<div onclick=\"setTimeout(\\\"r()\\\", 5); setTimeout(next, 1)\">x</div><title>t</title>"
        "<table><tr><td><OBJECT><PARAM VALUE=\"b.swf\"></OBJECT></td></tr></table>\n"
        "<body onunload=\"bye()\" oncontextmenu=\"return false\">\n";
    std::string text;
    while (text.size() + block.size() <= 16384) {
        text += block;
    }
    return text;
}

TEST(Allocation, FilteringAChunkAllocatesNothingOnceWarm)
{
    const FilterSettings settings = everyOption();
    testing::EventCounter events;
    const std::string original = page();
    std::string chunk = original;
    std::string request;
    request.reserve(4096);
    auto filterBoth = [&] {
        chunk.assign(original);
        ResponseFilter(settings, events).run(chunk.data(), chunk.size());
        request.assign(Head);
        RequestFilter(settings, events, "10.0.0.1").run(request);
    };
    for (int i = 0; i < 3; ++i) {
        filterBoth();
    }
    ASSERT_NE(chunk, original); // the rules found work
    ASSERT_NE(request, Head);
    const long before = g_allocations.load();
    for (int i = 0; i < 100; ++i) {
        filterBoth();
    }
    EXPECT_EQ(g_allocations.load() - before, 0);
}

} // namespace
} // namespace filters
