// The request rules, run directly on a settings snapshot, grouped by rule.

#include "RequestFilter.h"

#include "EventCounter.h"

#include <platform/WinInet.h>

#include <TestSupport.h>
#include <UserAgents.h>
#include <gtest/gtest.h>

#include <string>

namespace filters {
namespace {

using Outcome = RequestFilter::Outcome;

const std::string Head = "GET http://www.example.com/index.html HTTP/1.1\r\n"
                         "Host: www.example.com\r\n"
                         "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n"
                         "Accept: image/gif, image/jpeg, */*\r\n"
                         "Accept-Language: en-us\r\n"
                         "Referer: http://www.example.com/\r\n"
                         "Cookie: id=42\r\n"
                         "If-Modified-Since: Sat, 01 Feb 2003 10:00:00 GMT\r\n"
                         "\r\n";

class RequestRules : public ::testing::Test {
protected:
    RequestRules() { m_settings.requestOn = true; }

    std::string filter(std::string text, std::string_view localAddress = "10.0.0.1")
    {
        RequestFilter filter(m_settings, m_events, localAddress);
        m_outcome = filter.run(text);
        return text;
    }

    static std::string without(std::string text, std::string_view line)
    {
        text.erase(text.find(line), line.size());
        return text;
    }

    FilterSettings m_settings;
    testing::EventCounter m_events;
    Outcome m_outcome = Outcome::Passed;
};

TEST_F(RequestRules, BothSidesOffCopyTheTextUnchanged)
{
    m_settings.requestOn = false;
    m_settings.browserShield = m_settings.disableAllCookies = m_settings.blockImages = true;
    EXPECT_EQ(filter(Head), Head);
    EXPECT_EQ(m_outcome, Outcome::Passed);
    EXPECT_EQ(m_events.requests + m_events.responses, 0);
}

TEST_F(RequestRules, UserAgentLinesGoWithTheirLineEndInAnyCase)
{
    m_settings.browserShield = true;
    const std::string twice = Head + "USER-AGENT: again\r\n";
    EXPECT_EQ(filter(twice),
              without(Head, "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n"));
    EXPECT_EQ(m_events.requests, 2); // one notification per removed line
}

TEST_F(RequestRules, OsShieldAloneRemovesTheUserAgentToo)
{
    m_settings.osShield = true;
    EXPECT_EQ(filter("GET / HTTP/1.0\nUser-Agent: x\n\n"), "GET / HTTP/1.0\n\n");
}

TEST_F(RequestRules, AHeaderCutOffByTheChunkEndStays)
{
    m_settings.browserShield = true;
    const std::string cut = "GET / HTTP/1.1\r\nHost: a\r\nUser-Agent: Mozil";
    EXPECT_EQ(filter(cut), cut);
    EXPECT_EQ(m_events.requests, 0);
}

TEST_F(RequestRules, RemoveHeaderLinesCutsFromAnyMatchThroughTheLineEnd)
{
    std::string text = "GET http://a/cookie.htm HTTP/1.1\r\nHost: a\r\nCookie: x=1\r\n\r\n";
    EXPECT_EQ(RequestFilter::RemoveHeaderLines(text, "cookie"), 2u);
    EXPECT_EQ(text, "GET http://a/Host: a\r\n\r\n");
}

TEST_F(RequestRules, RemoveHeaderLinesFindsAMatchFormedByTheJoin)
{
    std::string text = "user-user-agent: a\nagent: b\nrest";
    EXPECT_EQ(RequestFilter::RemoveHeaderLines(text, "user-agent"), 2u);
    EXPECT_EQ(text, "rest");
}

// Chromium's client hints name the browser and the system beside the user agent.
class ClientHints : public RequestRules {
protected:
    ClientHints() { m_settings.browserShield = true; }
};

TEST_F(ClientHints, EveryHintGoesWithTheUserAgentAndEachNotifies)
{
    const std::string head = "GET http://www.example.com/ HTTP/1.1\r\nHost: www.example.com\r\n" +
                             std::string(testsupport::agents::ChromiumClientHints) +
                             "User-Agent: " + testsupport::agents::ChromiumDebian +
                             "\r\nSec-CH-UA-Full-Version-List: \"Chromium\";v=\"131.0.6778.85\"\r\n"
                             "SEC-CH-UA-ARCH: \"x86\"\r\nsec-ch-ua-bitness: \"64\"\r\n"
                             "Sec-CH-UA-WoW64: ?0\r\nSec-CH-UA-Model: \"\"\r\n"
                             "Sec-CH-UA-Platform-Version: \"6.1.0\"\r\nAccept: */*\r\n\r\n";
    EXPECT_EQ(filter(head), "GET http://www.example.com/ HTTP/1.1\r\nHost: www.example.com\r\n"
                            "Accept: */*\r\n\r\n");
    EXPECT_EQ(m_events.requests, 10); // the user agent and nine hints
}

TEST_F(ClientHints, OsShieldAloneRemovesThemToo)
{
    m_settings.browserShield = false;
    m_settings.osShield = true;
    EXPECT_EQ(filter("GET / HTTP/1.1\nSec-CH-UA-Platform: \"Linux\"\n\n"), "GET / HTTP/1.1\n\n");
    m_settings.osShield = false;
    const std::string kept = "GET / HTTP/1.1\nSec-CH-UA-Platform: \"Linux\"\n\n";
    EXPECT_EQ(filter(kept), kept);
}

TEST_F(ClientHints, OnlyHeadersNamedSoGo)
{
    // Other names that start or end alike, a hint named in a value, blanks before the
    // colon (still the header), a blank inside the name (no header).
    const std::string text = "GET /sec-ch-ua: HTTP/1.1\r\nSec-CH-UAX: a\r\nX-Sec-CH-UA: b\r\n"
                             "Accept: sec-ch-ua: c\r\nSec-CH-UA \t: d\r\nSec-CH-UA Mobile: e\r\n"
                             "Sec-CH-Prefers-Color-Scheme: dark\r\n\r\n";
    EXPECT_EQ(filter(text), "GET /sec-ch-ua: HTTP/1.1\r\nSec-CH-UAX: a\r\nX-Sec-CH-UA: b\r\n"
                            "Accept: sec-ch-ua: c\r\nSec-CH-UA Mobile: e\r\n"
                            "Sec-CH-Prefers-Color-Scheme: dark\r\n\r\n");
    EXPECT_EQ(m_events.requests, 1);
}

TEST_F(ClientHints, TheLastLineOfTheChunkGoesWhenItIsComplete)
{
    EXPECT_EQ(filter("GET / HTTP/1.1\r\nHost: a\r\nsec-ch-ua-mobile: ?0\r\n"),
              "GET / HTTP/1.1\r\nHost: a\r\n");
    // Cut off by the chunk's end, its value would go on in the next chunk: it stays.
    const std::string cut =
        "GET / HTTP/1.1\r\nsec-ch-ua-mobile: ?0\r\nHost: a\r\nSec-CH-UA: \"Chro";
    EXPECT_EQ(filter(cut), "GET / HTTP/1.1\r\nHost: a\r\nSec-CH-UA: \"Chro");
}

TEST_F(ClientHints, FoldedValuesGoWithTheirHeader)
{
    EXPECT_EQ(filter("GET / HTTP/1.1\r\nSec-CH-UA: \"A\";v=\"1\",\r\n \"B\";v=\"2\",\r\n\t\"C\"\r\n"
                     "Accept: x,\r\n y\r\n\r\n"),
              "GET / HTTP/1.1\r\nAccept: x,\r\n y\r\n\r\n");
    // A continuation cut off by the chunk's end keeps the whole header.
    const std::string cut = "GET / HTTP/1.1\nSec-CH-UA: a,\n b";
    EXPECT_EQ(filter(cut), cut);
}

TEST_F(ClientHints, TheBodyAfterTheHeadIsNotTouched)
{
    const std::string text = "POST / HTTP/1.1\r\nContent-Length: 20\r\n\r\nSec-CH-UA: in body\r\n";
    EXPECT_EQ(filter(text), text);
    const std::string bare = "POST / HTTP/1.1\n\nsec-ch-ua: x\n";
    EXPECT_EQ(filter(bare), bare);
    EXPECT_EQ(m_events.requests, 0);
}

// While a page option is on, the pages are asked for uncompressed: a compressed page
// would pass the page rules unread.
class PlainPages : public RequestRules {
protected:
    PlainPages()
    {
        m_settings.requestOn = false;
        m_settings.responseOn = true;
        m_settings.hidePageTitle = true;
    }

    const std::string m_head = "GET http://www.example.com/ HTTP/1.1\r\nHost: www.example.com\r\n"
                               "Accept-Encoding: gzip, deflate, br, zstd\r\nAccept: */*\r\n\r\n";
    const std::string m_plain =
        "GET http://www.example.com/ HTTP/1.1\r\nHost: www.example.com\r\nAccept: */*\r\n\r\n";
};

TEST_F(PlainPages, AnyPageOptionRemovesAcceptEncodingWithoutNotification)
{
    bool FilterSettings::*const options[] = {
        &FilterSettings::blockScripts,     &FilterSettings::disableOnUnload,
        &FilterSettings::hidePageTitle,    &FilterSettings::blockPopups,
        &FilterSettings::removeCtxMenuDis, &FilterSettings::removeFlash,
        &FilterSettings::removeStatusMods, &FilterSettings::disableTimerProc};
    for (bool FilterSettings::*option : options) {
        m_settings = {};
        m_settings.responseOn = true;
        m_settings.*option = true;
        EXPECT_EQ(filter(m_head), m_plain);
    }
    EXPECT_EQ(m_events.requests + m_events.responses, 0);
}

TEST_F(PlainPages, ResponseFilteringOffOrOnlyRequestOptionsLeaveItAlone)
{
    m_settings.responseOn = false;
    EXPECT_EQ(filter(m_head), m_head);
    // Request filtering alone, or with images and banners (which act on requests), wants
    // no readable pages.
    m_settings = {};
    m_settings.requestOn = m_settings.browserShield = true;
    m_settings.responseOn = m_settings.blockImages = m_settings.blockBanners = true;
    EXPECT_EQ(filter(m_head), m_head);
}

TEST_F(PlainPages, OnlyTheHeaderOfThatNameGoesInAnyCase)
{
    const std::string text = "GET / HTTP/1.1\r\nAccept-Encoding-Foo: a\r\nX-Accept-Encoding: b\r\n"
                             "ACCEPT-ENCODING: gzip\r\nTE: gzip\r\naccept-encoding:br\r\n"
                             "Accept: accept-encoding: c\r\n\r\n";
    EXPECT_EQ(filter(text), "GET / HTTP/1.1\r\nAccept-Encoding-Foo: a\r\nX-Accept-Encoding: b\r\n"
                            "TE: gzip\r\nAccept: accept-encoding: c\r\n\r\n");
}

TEST_F(PlainPages, AHeadWithoutItIsUnchangedByteForByte)
{
    const std::string text = "GET / HTTP/1.1\r\nHost: a\r\nAccept: */*\r\n\r\nbody\nmore";
    EXPECT_EQ(filter(text), text);
    EXPECT_EQ(filter(""), "");
    EXPECT_EQ(filter("\r\n"), "\r\n");
}

TEST_F(PlainPages, FoldedLastAndCutOffLines)
{
    EXPECT_EQ(filter("GET / HTTP/1.1\nAccept-Encoding: gzip,\n\tdeflate\nX: y\n\n"),
              "GET / HTTP/1.1\nX: y\n\n");
    EXPECT_EQ(filter("GET / HTTP/1.1\nAccept-Encoding: gzip\n"), "GET / HTTP/1.1\n");
    const std::string cut = "GET / HTTP/1.1\nAccept-Encoding: gz";
    EXPECT_EQ(filter(cut), cut);
}

TEST_F(PlainPages, AStopListBlockLeavesTheRequestAsItStood)
{
    m_settings.requestOn = m_settings.stopListOn = true;
    m_settings.stopServers = {"www.example.com"};
    std::string text = m_head;
    RequestFilter filter(m_settings, m_events, "");
    EXPECT_EQ(filter.run(text), Outcome::Blocked);
    EXPECT_EQ(text, m_head);
}

TEST_F(RequestRules, AllCookiesGoAndACookieFileNameCutsTheRequestLine)
{
    m_settings.disableAllCookies = true;
    const std::string text = "GET http://www.example.com/cookie.htm HTTP/1.1\r\n"
                             "Host: www.example.com\r\nCookie: id=42\r\n\r\n";
    EXPECT_EQ(filter(text), "GET http://www.example.com/Host: www.example.com\r\n\r\n");
    EXPECT_EQ(m_events.requests, 2);
}

TEST_F(RequestRules, BothReferrerSpellingsGoInAnyCase)
{
    m_settings.referrerBlock = true;
    EXPECT_EQ(filter("GET / HTTP/1.1\r\nREFERRER: a\r\nreferer: b\r\nReferer: c\r\nX: y\r\n"),
              "GET / HTTP/1.1\r\nX: y\r\n");
    EXPECT_EQ(m_events.requests, 3);
}

TEST_F(RequestRules, ConditionalRequestsGoWithoutNotification)
{
    m_settings.disableInternetCache = true;
    EXPECT_EQ(filter(Head), without(Head, "If-Modified-Since: Sat, 01 Feb 2003 10:00:00 GMT\r\n"));
    EXPECT_EQ(m_events.requests, 0);
}

TEST_F(RequestRules, MaskingReplacesEveryTextualMatchAndNotifiesOnce)
{
    m_settings.ipMasking = true;
    m_settings.fakeIp = 0;
    EXPECT_EQ(filter("GET http://10.0.0.15/ HTTP/1.0\r\nX-Me: 10.0.0.1\r\n"),
              "GET http://0.0.0.05/ HTTP/1.0\r\nX-Me: 0.0.0.0\r\n");
    EXPECT_EQ(m_events.requests, 1);
}

TEST_F(RequestRules, MaskingWithAnEmptyLocalAddressChangesNothing)
{
    m_settings.ipMasking = true;
    EXPECT_EQ(filter(Head, ""), Head);
    EXPECT_EQ(m_events.requests, 0);
}

TEST_F(RequestRules, FakeAddressTakesTheFirstOctetFromTheHighBits)
{
    EXPECT_EQ(RequestFilter::fakeAddressText(0xC0A80001), "192.168.0.1");
    EXPECT_EQ(RequestFilter::fakeAddressText(0xFFFFFFFF), "255.255.255.255");
    EXPECT_EQ(RequestFilter::fakeAddressText(0), "0.0.0.0");
}

TEST_F(RequestRules, CustomFilterRewritesTheValueAndEndsTheLineWithABareLineFeed)
{
    m_settings.customFiltersOn = true;
    m_settings.customFilters = {"Accept-Language: fr"};
    EXPECT_EQ(filter(Head), [] {
        std::string expected = Head;
        expected.replace(expected.find("Accept-Language: en-us\r\n"), 24, "Accept-Language: fr\n");
        return expected;
    }());
    EXPECT_EQ(m_events.requests, 0);
}

TEST_F(RequestRules, CustomFilterNeverAddsAHeader)
{
    m_settings.customFiltersOn = true;
    m_settings.customFilters = {"Accept-Language: fr"};
    const std::string text = "GET / HTTP/1.1\r\nHost: a\r\n\r\n";
    EXPECT_EQ(filter(text), text);
}

TEST_F(RequestRules, CustomFiltersWithoutAColonOrAHeaderNameAreSkipped)
{
    m_settings.customFiltersOn = true;
    // ": x" names no header; left alone it would rewrite the request line after "http:".
    m_settings.customFilters = {"Accept-Language fr", ": x", "Host: b"};
    EXPECT_EQ(filter("GET http://a/ HTTP/1.1\r\nHost: a\r\n\r\n"),
              "GET http://a/ HTTP/1.1\r\nHost: b\n\r\n");
}

TEST_F(RequestRules, CustomFilterNeedsALineFeedAfterTheColon)
{
    m_settings.customFiltersOn = true;
    m_settings.customFilters = {"Host: b"};
    EXPECT_EQ(filter("GET / HTTP/1.1\r\nHost: a"), "GET / HTTP/1.1\r\nHost: a");
}

TEST_F(RequestRules, CustomFiltersRunAfterTheHeaderRules)
{
    m_settings.referrerBlock = true;
    m_settings.customFiltersOn = true;
    m_settings.customFilters = {"Referer: http://elsewhere/"};
    EXPECT_EQ(filter("GET / HTTP/1.1\r\nReferer: http://a/\r\n\r\n"), "GET / HTTP/1.1\r\n\r\n");
}

TEST_F(RequestRules, StopListEntryInCapitalsBlocksTheServerInLowerCase)
{
    m_settings.stopListOn = true;
    m_settings.stopServers = {"ADS.EXAMPLE.NET"};
    filter("GET http://ads.example.net/x.js HTTP/1.1\r\nHost: ads.example.net\r\n\r\n");
    EXPECT_EQ(m_outcome, Outcome::Blocked);
    EXPECT_EQ(m_events.requests + m_events.responses, 0);
}

TEST_F(RequestRules, StopListLooksAtTheRequestLineOnly)
{
    m_settings.stopListOn = true;
    m_settings.stopServers = {"ads.example.net"};
    filter("GET http://www.example.com/ HTTP/1.1\r\nReferer: http://ads.example.net/\r\n\r\n");
    EXPECT_EQ(m_outcome, Outcome::Passed);
    m_settings.stopListOn = false;
    filter("GET http://ads.example.net/ HTTP/1.1\r\n\r\n");
    EXPECT_EQ(m_outcome, Outcome::Passed);
}

TEST_F(RequestRules, StopListWithoutALineFeedTestsTheWholeText)
{
    m_settings.stopListOn = true;
    m_settings.stopServers = {"ads."};
    filter("GET http://ads.example.net/");
    EXPECT_EQ(m_outcome, Outcome::Blocked);
}

class ImageRequests : public RequestRules {
protected:
    ImageRequests()
    {
        m_settings.requestOn = false;
        m_settings.responseOn = true;
        m_settings.blockImages = true;
    }
};

TEST_F(ImageRequests, ExtensionBecomesUnkAsWrittenInTheUrl)
{
    EXPECT_EQ(filter("GET http://h/p/pic.GIF?x=1 HTTP/1.1\r\nAccept: image/gif\r\n\r\n"),
              "GET http://h/p/pic.unk?x=1 HTTP/1.1\r\nAccept: image/gif\r\n\r\n");
    EXPECT_EQ(m_events.responses, 1);
}

TEST_F(ImageRequests, EveryOccurrenceOfTheExtensionIsReplaced)
{
    EXPECT_EQ(filter("GET http://h/a.gif HTTP/1.1\r\nAccept: image/gif, image/jpeg\r\n\r\n"),
              "GET http://h/a.unk HTTP/1.1\r\nAccept: image/unk, image/jpeg\r\n\r\n");
    EXPECT_EQ(filter("GET http://h/a.jpeg HTTP/1.0\r\n"), "GET http://h/a.unk HTTP/1.0\r\n");
}

TEST_F(ImageRequests, OtherRequestsStay)
{
    for (const std::string text :
         {"GET http://h/dir.gif/ HTTP/1.1\r\n\r\n", "GET http://h/page.html HTTP/1.1\r\n\r\n",
          "GET http://h/noext HTTP/1.1\r\n\r\n",
          "GET /a.gif HTTP/1.1\r\n\r\n",    // no "://"
          "GET http://h/a.gif HTTP/1.1"}) { // no line feed
        EXPECT_EQ(filter(text), text);
    }
    EXPECT_EQ(m_events.responses, 0);
}

TEST_F(ImageRequests, ResponseFilteringOffLeavesImagesAlone)
{
    m_settings.responseOn = false;
    const std::string text = "GET http://h/a.gif HTTP/1.1\r\n\r\n";
    EXPECT_EQ(filter(text), text);
}

TEST_F(RequestRules, BannerServersAreReplacedAndEachReplacingOneNotifies)
{
    m_settings.requestOn = false;
    m_settings.responseOn = true;
    m_settings.blockBanners = true;
    m_settings.banners = {{"ads.example.net", "127.0.0.1"},
                          {"absent.example", "x"},
                          {"banner.example", "none.invalid"}};
    EXPECT_EQ(filter("GET http://ads.example.net/b HTTP/1.1\r\nHost: ads.example.net\r\n"
                     "X: banner.example\r\n"),
              "GET http://127.0.0.1/b HTTP/1.1\r\nHost: 127.0.0.1\r\nX: none.invalid\r\n");
    EXPECT_EQ(m_events.responses, 2);
}

// The unsafe-cookie rule asks the cookie store, which lives in the prefix.
class UnsafeCookies : public RequestRules {
protected:
    UnsafeCookies() { m_settings.disableUnsafeCookies = true; }

    const std::string m_request = "GET http://www.trusted.com/a HTTP/1.1\r\n"
                                  "Host: www.trusted.com\r\nCookie: id=1\r\n\r\n";
    const std::string m_stripped =
        "GET http://www.trusted.com/a HTTP/1.1\r\nHost: www.trusted.com\r\n\r\n";
    testsupport::TempPrefix m_prefix;
};

TEST_F(UnsafeCookies, UntrustedSitesLoseTheirCookies)
{
    m_settings.trustedSites = {"www.other.com"};
    EXPECT_EQ(filter(m_request), m_stripped);
    EXPECT_EQ(m_events.requests, 1);
    m_settings.trustedSites.clear();
    EXPECT_EQ(filter(m_request), m_stripped);
}

TEST_F(UnsafeCookies, TrustedSiteMatchIsCaseSensitive)
{
    m_settings.trustedSites = {"WWW.TRUSTED.COM"};
    EXPECT_EQ(filter(m_request), m_stripped);
}

TEST_F(UnsafeCookies, TrustedSiteWithoutStoredCookiesKeepsThem)
{
    m_settings.trustedSites = {"trusted.com"};
    EXPECT_EQ(filter(m_request), m_request);
}

TEST_F(UnsafeCookies, TrustedSiteKeepsCookiesThatDoNotCarryTheAddress)
{
    m_settings.trustedSites = {"trusted.com"};
    ASSERT_TRUE(platform::setCookie("http://www.trusted.com/", "id=1; path=/"));
    EXPECT_EQ(filter(m_request, "10.0.0.1"), m_request);
}

TEST_F(UnsafeCookies, TrustedSiteLosesCookiesThatCarryTheAddress)
{
    m_settings.trustedSites = {"trusted.com"};
    ASSERT_TRUE(platform::setCookie("http://www.trusted.com/", "seen=10.0.0.1; path=/"));
    EXPECT_EQ(filter(m_request, "10.0.0.1"), m_stripped);
    // An empty local address is found nowhere.
    EXPECT_EQ(filter(m_request, ""), m_request);
}

TEST_F(UnsafeCookies, TextWithoutAUrlKeepsItsCookies)
{
    const std::string text = "GET /a HTTP/1.1\r\nCookie: id=1\r\n\r\n";
    EXPECT_EQ(filter(text), text);
    const std::string noBlankAfter = "GET http://www.trusted.com/a\r\nCookie:id=1\r\n";
    EXPECT_EQ(filter(noBlankAfter), noBlankAfter);
}

} // namespace
} // namespace filters
