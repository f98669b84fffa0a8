// The single-pass filters against the rule-by-rule references they replaced: the same
// text and settings must give the same bytes, length, block decision and notifications,
// for every combination of switches under every kind of privacy level. The texts are
// hand-made cases where rules meet (a removal that joins a new keyword, a scramble next
// to a word, elements split or nested) and generated ones built from the rules' words
// and fragments of them.

#include "DifferentialCheck.h"
#include "FirstBytes.h"

#include <platform/WinInet.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace filters {
namespace {

const std::vector<std::string> RequestTexts = {
    "GET http://www.example.com/news/today/index.html?section=world HTTP/1.1\r\n"
    "Accept: image/gif, image/x-xbitmap, image/jpeg, */*\r\n"
    "Referer: http://www.example.com/news/index.html\r\n"
    "Accept-Language: en-us\r\n"
    "If-Modified-Since: Sat, 01 Feb 2003 10:00:00 GMT\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n"
    "Host: www.example.com\r\n"
    "Cookie: id=8f3a2c; last=10.0.0.1\r\n"
    "X-Forwarded-For: 10.0.0.1\r\n"
    "\r\n",
    "GET http://shop.example.net/p/pic.GIF?x=1 HTTP/1.0\r\nCOOKIE: a=1\r\nUSER-AGENT: x\r\n"
    "Accept: image/gif\r\n\r\n",
    "GET http://a/dir.gif/ HTTP/1.1\nreferrer: a\nReferer: b\nrEfErEr: c\n\n",
    "GET http://blocked.example/ HTTP/1.1\r\nHost: blocked.example\r\n\r\n",
    "GET http://www.ads.example.org/x.jpeg HTTP/1.1\r\nUser-Agent: y\r\n",
    "GET /cookie.htm HTTP/1.1\r\nHost: example\r\nCookie: x\r\n",
    "coouser-agent: a\nkie: b\nuser-\nagent: c\nuseruser-agent: d\n-agent: e\n",
    "GET http://www.example.com/ HTTP/1.1\nUser-Agent: no line feed at the end",
    "POST http://banner.example/ad.cgi HTTP/1.1\r\nHost: banner.example\r\nContent-Length: 3\r\n"
    "\r\nabc",
    "GET http://10.0.0.15/10.0.0.1 HTTP/1.1\r\nX: 10.0.0.110.0.0.1\r\n\r\n",
    "http://x.gif\nAccept-Language: en-us\nHost:\nX:1\n",
    "GET ftp://a.b/c.tiff HTTP/1.1\r\nAccept: TIFF, tiff\r\n\r\n",
    "",
    "\n\n\n",
    "://",
    "GET http://example.org/ HTTP/1.1\r\nReferer: http://example.org/?q=cookie\r\n"
    "If-Modified-Since: now\r\nif-modified-since: then\r\n\r\n",
    // Chromium's head, with its client hints and the encodings it accepts.
    "GET http://www.example.com/ HTTP/1.1\r\nHost: www.example.com\r\n"
    "sec-ch-ua: \"Chromium\";v=\"131\", \"Not_A Brand\";v=\"24\"\r\nsec-ch-ua-mobile: ?0\r\n"
    "sec-ch-ua-platform: \"Linux\"\r\nUpgrade-Insecure-Requests: 1\r\n"
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/131.0.0.0 Safari/537.36\r\nAccept: text/html,image/avif,image/webp,*/*;q=0.8\r\n"
    "Accept-Encoding: gzip, deflate, br, zstd\r\nAccept-Language: en-US,en;q=0.9\r\n"
    "Sec-CH-UA-Full-Version-List: \"Chromium\";v=\"131.0.6778.85\"\r\n\r\n",
    // Names that only look like them, blanks before the colon, and a body after the head.
    "GET / HTTP/1.1\r\nAccept-Encoding-Foo: x\r\nSEC-CH-UAX: y\r\nX-Sec-CH-UA: z\r\n"
    "accept-encoding \t: gzip\r\nSec-CH-UA-: e\r\nSec-CH-UA Platform: f\r\n"
    "Sec-CH-UA\r: g\r\n\r\nAccept-Encoding: body\r\nsec-ch-ua: body\r\n",
    // Folded values go with their header; a head without an empty line is all head.
    "GET / HTTP/1.1\r\nAccept-Encoding: gzip,\r\n deflate,\r\n\tbr\r\nSec-CH-UA: a,\r\n b\r\n"
    "X: y\r\n \r\nSec-Ch-Ua-Arch: \"x86\"\nsec-ch-ua-bitness:\"64\"\n",
    // Cut off by the chunk's end: inside a header, inside a continuation, after a header.
    "GET / HTTP/1.1\r\nSec-CH-UA-Platform: \"Li",
    "GET / HTTP/1.1\nAccept-Encoding: gzip\n deflat",
    "Sec-CH-UA-Mobile: ?0\nAccept-Encoding: br\n",
    "\nAccept-Encoding: x\n",
    // The user-agent rule cuts into a client hint's name.
    "GET / HTTP/1.1\nSec-CH-UA-User-Agent: x\nAccept: y\nsec-ch-ua-user-agent\n",
};

const std::vector<std::string> PageTexts = {
    "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><head><title>Today's news</title>"
    "</head><body onunload=\"bye()\" oncontextmenu=\"return false\">\n"
    "<p><a href=\"/more.html\" onmouseover=\"window.status='Read more';return true\">l</a></p>\n"
    "<script language=\"JavaScript\">var n = 1; track(n);</script>\n"
    "<a href=# onclick=\"window.open('popup.html','ad','width=300');\">offer</a>\n"
    "<div onclick=\"setTimeout(\\\"rotate()\\\", 5000); setTimeout(next, 100)\">x</div>\n"
    "<table><tr><td><OBJECT classid=\"clsid:x\"><PARAM NAME=movie VALUE=\"b.swf\">"
    "</OBJECT></td></tr></table>\n",
    "<script>f()</script><p><SCRIPT src=x></Script>b<script>unclosed",
    "<TITLE>Secret</TITLE><title>second</title><title></title>",
    "window.open('a.htm');window.open;window.open(x)window.open(\"b\");",
    "window.opewindow.open(x);n;window.ope window.open",
    "<td><object>a.swf</object></td><object>b.SWF</object><a href=c.swf>c</a>"
    "<TD class=x><OBJECT><embed src=d.swf></OBJECT></td><td><object></object></td>.swf",
    "</td><object>x.swf</object><td><object>y.swf</object><td>",
    "<object><object>a.swf</object></object>.swf<object>",
    "setTimeout(\"a\\\"b\", 1); setTimeout ( ab , 2); setTimeout(x); setTimeout(); setTimeout "
    "setTimeoutsetTimeout(\"unclosed",
    "onunload onUnload ONUNLOAD onunloadonunload window.status window.statuswindow.status",
    "<body onunload=x oncontextmenu=y>window.status=1;setTimeout(window.status, 1)",
    "x.onunload <onunload> oncontextmenuTimeout onunloadTimeout(1) .oncontextmenu",
    "<script>window.open('x');</script>window.open(<script>;</script>);",
    "setTimeout<script>x</script>(\"code\", 1)",
    "",
    "<",
    "window.open",
};

// Texts put together from the rules' words, their fragments and separators, so that the
// rules meet in ways no one writes by hand.
std::vector<std::string> generated(const std::vector<std::string>& pieces, unsigned seed, int count,
                                   int length)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        std::string text;
        while (static_cast<int>(text.size()) < length) {
            text += pieces[pick(random)];
        }
        texts.push_back(text);
    }
    return texts;
}

const std::vector<std::string> RequestPieces = {
    "GET ",
    "http://",
    "://",
    "www.example.com",
    "/pic.gif",
    ".GIF",
    "?x=1",
    " ",
    "HTTP/1.1",
    "\r\n",
    "\n",
    "User-Agent: x",
    "user-",
    "agent",
    "Cookie: a=1",
    "coo",
    "kie",
    "Referer: r",
    "Referrer: ",
    "If-Modified-Since: d",
    "Accept-Language: en",
    "Host: h",
    "10.0.0.1",
    "10.0.0",
    "blocked.example",
    "ADS.",
    "banner.example",
    "gif",
    "ad.",
    ":",
    "shop.example.net",
    "X: y",
    "/",
    "jpe",
    "?",
    "Sec-CH-UA",
    "sec-ch-ua-platform: \"Linux\"",
    "-Mobile: ?0",
    "-",
    "Accept-Encoding: gzip, br",
    "accept-encoding",
    "-Foo",
    "\r\n ",
    "\t",
    " :",
    "\r\n\r\n",
};

const std::vector<std::string> PagePieces = {
    "<script>",
    "</script>",
    "<SCRIPT",
    "</SCRIPT",
    "<script",
    "onunload",
    "onUnload",
    "<title>",
    "</TITLE>",
    "window.open(",
    "window.open",
    "window",
    ".open",
    ";",
    "(",
    ")",
    "oncontextmenu",
    ".swf",
    ".SWF",
    "<object>",
    "<OBJECT ",
    "</object>",
    "</OBJECT>",
    "<td>",
    "</td>",
    "<TD x>",
    "</TD>",
    "<t",
    "d>",
    "window.status",
    "setTimeout",
    "set",
    "Timeout",
    "\"",
    "\\\"",
    ",",
    " ",
    "\n",
    "\t",
    "x",
    "on",
    "<",
    "/",
    ">",
    "n",
    "null;",
};

using Differential = testsupport::PrefixTest;

// Every combination of the request switches, a page option (which decides whether pages
// are asked for uncompressed) and the levels that gives distinct settings.
TEST_F(Differential, RequestFilterMatchesTheReferenceUnderEverySetting)
{
    platform::setCookie("http://shop.example.net/", "seen=10.0.0.1; path=/");
    platform::setCookie("http://www.example.com/", "k=v; path=/");
    std::vector<std::string> texts = RequestTexts;
    for (const std::string& text : generated(RequestPieces, 7, 40, 300)) {
        texts.push_back(text);
    }
    const char* const addresses[] = {"10.0.0.1", "", "ookie", "1", "www.example.com"};
    std::size_t runs = 0;
    for (std::size_t t = 0; t < texts.size(); ++t) {
        const char* address = addresses[t % std::size(addresses)];
        const DWORD fakeIp = t % 3 == 0 ? 0 : 0xC0A80001;
        std::set<std::vector<bool>> seen;
        for (DWORD level : DifferentialCheck::Levels) {
            for (std::uint32_t bits = 0; bits < (2u << DifferentialCheck::RequestSwitches);
                 ++bits) {
                const std::uint32_t requestBits =
                    bits & ((1u << DifferentialCheck::RequestSwitches) - 1);
                const std::uint32_t pageBit = bits >> DifferentialCheck::RequestSwitches;
                const FilterSettings s = DifferentialCheck::settings(
                    requestBits | (pageBit << DifferentialCheck::PageOptionBit), level, fakeIp);
                const std::vector<bool> key = {
                    s.requestOn,         s.browserShield,        s.osShield,
                    s.disableAllCookies, s.disableUnsafeCookies, s.ipMasking,
                    s.referrerBlock,     s.disableInternetCache, s.customFiltersOn,
                    s.stopListOn,        s.responseOn,           s.blockImages,
                    s.blockBanners,      s.hidePageTitle};
                if (!seen.insert(key).second) {
                    continue; // the same settings as a combination already run
                }
                ++runs;
                const std::string difference = DifferentialCheck::request(s, texts[t], address);
                ASSERT_EQ(difference, "") << "text " << t << ", switches " << bits << ", level "
                                          << static_cast<int>(level) << ":\n"
                                          << texts[t];
            }
        }
    }
    EXPECT_EQ(runs, texts.size() * (2u << DifferentialCheck::RequestSwitches));
}

// Every page text under every combination of the response switches and levels.
void expectResponsesMatchTheReference()
{
    std::vector<std::string> texts = PageTexts;
    for (const std::string& text : generated(PagePieces, 11, 150, 400)) {
        texts.push_back(text);
    }
    std::size_t runs = 0;
    for (std::size_t t = 0; t < texts.size(); ++t) {
        std::set<std::vector<bool>> seen;
        for (DWORD level : DifferentialCheck::Levels) {
            for (std::uint32_t bits = 0; bits < (1u << DifferentialCheck::ResponseSwitches);
                 ++bits) {
                const FilterSettings s = DifferentialCheck::settings(
                    bits << DifferentialCheck::RequestSwitches, level, 0);
                const std::vector<bool> key = {
                    s.responseOn,    s.blockScripts,     s.disableOnUnload,
                    s.hidePageTitle, s.blockPopups,      s.removeCtxMenuDis,
                    s.removeFlash,   s.removeStatusMods, s.disableTimerProc};
                if (!seen.insert(key).second) {
                    continue;
                }
                ++runs;
                const std::string difference =
                    DifferentialCheck::response(s, texts[t], static_cast<unsigned>(t + 1));
                ASSERT_EQ(difference, "") << "text " << t << ", switches " << bits << ", level "
                                          << static_cast<int>(level) << ":\n"
                                          << texts[t];
            }
        }
    }
    EXPECT_EQ(runs, texts.size() * (1u << DifferentialCheck::ResponseSwitches));
}

TEST_F(Differential, ResponseFilterMatchesTheReferenceUnderEverySetting)
{
    expectResponsesMatchTheReference();
}

// The first-byte filter's other builds: the AVX2 one where AVX-512 is the best, the SSSE3
// one, and none at all, where every position is named by its first bytes alone and the
// rules' checks do the rest.
TEST_F(Differential, ResponseFilterMatchesTheReferenceWithEveryFirstByteBuild)
{
    struct Restore {
        ~Restore() { useFirstBytesBuild(FirstBytesBuild::Best); }
    } restore;
    if (firstBytesAvx512Available() && firstBytesAvx2Available()) {
        SCOPED_TRACE("AVX2 build");
        useFirstBytesBuild(FirstBytesBuild::Avx2);
        expectResponsesMatchTheReference();
    }
    if (firstBytesSsse3Available()) {
        SCOPED_TRACE("SSSE3 build");
        useFirstBytesBuild(FirstBytesBuild::Ssse3);
        expectResponsesMatchTheReference();
    }
    SCOPED_TRACE("every position");
    useFirstBytesBuild(FirstBytesBuild::EveryPosition);
    expectResponsesMatchTheReference();
}

// A scramble can spell a later rule's word with the bytes around it; the generator is
// seeded until it does, so the rescan after a scramble is really exercised.
TEST_F(Differential, WordsSpelledByScrambledLettersAreFound)
{
    FilterSettings s = DifferentialCheck::settings(0, 4, 0);
    // "<" before a scrambled "onunload" turns into a cell start when the letters begin
    // with "td"; ".swf" after "." needs "swf".
    const std::string page = "<onunload<object>a.swf</object></td>";
    int spelled = 0;
    for (unsigned seed = 1; seed < 20000; ++seed) {
        ASSERT_EQ(DifferentialCheck::response(s, page, seed), "") << "seed " << seed;
        std::srand(seed);
        const int r1 = (std::rand() >> 16) & 0x7FFF;
        const int r2 = (std::rand() >> 16) & 0x7FFF;
        spelled += 'a' + r1 * 25 / 32767 == 't' && 'a' + r2 * 25 / 32767 == 'd';
    }
    EXPECT_GT(spelled, 0) << "no seed spelled a cell tag; the case tests nothing";
}

} // namespace
} // namespace filters
