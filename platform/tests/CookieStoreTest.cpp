// The cookie store: InternetSetCookieA / InternetGetCookieA over the profile's Cookies
// folder, with WinINet's size protocol and result codes.

#include <platform/Environment.h>
#include <platform/WinInet.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

class CookieStore : public testsupport::PrefixTest {
protected:
    // The cookie text for url through the two-call protocol, or nothing with the error.
    static std::optional<std::string> cookies(const char* url, DWORD* error = nullptr)
    {
        DWORD size = 0;
        if (!InternetGetCookieA(url, nullptr, nullptr, &size)) {
            if (error != nullptr) {
                *error = GetLastError();
            }
            return std::nullopt;
        }
        std::string text(size + 1, '\0');
        DWORD capacity = size + 1;
        EXPECT_TRUE(InternetGetCookieA(url, nullptr, text.data(), &capacity));
        EXPECT_EQ(capacity + 1, size); // the length without, the size with the zero
        text.resize(capacity);
        return text;
    }
};

TEST_F(CookieStore, StoredCookieIsReturnedForItsHostAndPath)
{
    ASSERT_TRUE(platform::setCookie("http://www.example.com/shop/cart.asp", "id=42"));
    EXPECT_EQ(cookies("http://www.example.com/shop/list.asp?x=1"), "id=42");
    EXPECT_EQ(cookies("http://WWW.EXAMPLE.COM:8080/shop"), "id=42"); // case and port ignored
    DWORD error = 0;
    EXPECT_EQ(cookies("http://www.example.com/other", &error), std::nullopt); // default path
    EXPECT_EQ(error, DWORD(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(cookies("http://example.com/shop/", &error), std::nullopt); // host only
}

TEST_F(CookieStore, DomainCookiesReachSubdomainsAndLongerPathsComeFirst)
{
    ASSERT_TRUE(platform::setCookie("http://www.example.com/", "a=1; domain=.example.com; path=/"));
    ASSERT_TRUE(platform::setCookie("http://www.example.com/", "b=2; path=/docs"));
    EXPECT_EQ(cookies("http://img.example.com/x"), "a=1");
    EXPECT_EQ(cookies("http://www.example.com/docs/a"), "b=2; a=1");
    EXPECT_EQ(cookies("http://www.example.com/docsx"), "a=1"); // not a path prefix at a '/'
    EXPECT_EQ(cookies("http://badexample.com/"), std::nullopt);
}

TEST_F(CookieStore, SettingAgainReplacesAndAPastExpiryRemoves)
{
    const char* url = "http://a.example.org/";
    ASSERT_TRUE(platform::setCookie(url, "k=1; path=/"));
    ASSERT_TRUE(platform::setCookie(url, "k=2; path=/"));
    EXPECT_EQ(cookies(url), "k=2");
    ASSERT_TRUE(platform::setCookie(url, "k=x; path=/; expires=Thu, 01-Jan-1970 00:00:01 GMT"));
    EXPECT_EQ(cookies(url), std::nullopt);
    ASSERT_TRUE(platform::setCookie(url, "f=1; path=/; expires=Fri, 31 Dec 2060 23:59:59 GMT"));
    ASSERT_TRUE(platform::setCookie(url, "g=1; path=/; max-age=3600"));
    EXPECT_EQ(cookies(url), "f=1; g=1");
    ASSERT_TRUE(platform::setCookie(url, "g=; path=/; max-age=0"));
    EXPECT_EQ(cookies(url), "f=1");
}

TEST_F(CookieStore, NamedSetterStoresNameAndValue)
{
    ASSERT_TRUE(InternetSetCookieA("http://h.example/", "user", "ann"));
    EXPECT_EQ(cookies("http://h.example/"), "user=ann");
}

TEST_F(CookieStore, SizeProtocolFollowsWinInet)
{
    ASSERT_TRUE(platform::setCookie("http://h.example/", "abc=def"));
    DWORD size = 0;
    ASSERT_TRUE(InternetGetCookieA("http://h.example/", nullptr, nullptr, &size));
    EXPECT_EQ(size, 8u);
    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_FALSE(InternetGetCookieA("http://h.example/", nullptr, small, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(std::string(small, 4), "xxxx"); // nothing written
}

TEST_F(CookieStore, BadArgumentsAreRefused)
{
    DWORD size = 0;
    for (const char* url : {static_cast<const char*>(nullptr), "", "no-scheme", "http://",
                            "http:///path", "http://bad host/"}) {
        SetLastError(0);
        EXPECT_FALSE(InternetGetCookieA(url, nullptr, nullptr, &size)) << (url ? url : "null");
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
    EXPECT_FALSE(InternetGetCookieA("http://a.example/", nullptr, nullptr, nullptr));
    EXPECT_FALSE(InternetSetCookieA("http://a.example/", nullptr, nullptr));
    // A tab or line end would break the store's lines; a domain must cover the host.
    EXPECT_FALSE(platform::setCookie("http://a.example/", "a=b\tc"));
    EXPECT_FALSE(platform::setCookie("http://a.example/", "a=b\nc=d"));
    EXPECT_FALSE(platform::setCookie("http://a.example/", "=nameless"));
    EXPECT_FALSE(platform::setCookie("http://a.example.com/", "a=1; domain=other.com"));
    EXPECT_FALSE(platform::setCookie("http://a.example.com/", "a=1; domain=.com"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(CookieStore, StoreIsAFilePerDomainInTheCookiesFolder)
{
    ASSERT_TRUE(platform::setCookie("http://www.Example.com/", "a=1; path=/"));
    const std::filesystem::path file =
        platform::profileFolder() / "Cookies" / (platform::loginName() + "@www.example.com.txt");
    EXPECT_TRUE(std::filesystem::exists(file));
    // Emptying the folder, as the privacy cleaner does, clears the store.
    std::filesystem::remove(file);
    EXPECT_EQ(cookies("http://www.example.com/"), std::nullopt);
}

TEST_F(CookieStore, ASymbolicLinkInTheFolderIsNotFollowed)
{
    const std::filesystem::path outside = m_prefix.path() / "outside.txt";
    testsupport::writeFile(outside, "a\t1\t/\tH\t0\n");
    const std::filesystem::path link =
        platform::profileFolder() / "Cookies" / (platform::loginName() + "@l.example.txt");
    std::filesystem::create_symlink(outside, link);
    EXPECT_EQ(cookies("http://l.example/"), std::nullopt);
    ASSERT_TRUE(platform::setCookie("http://l.example/", "b=2; path=/"));
    EXPECT_EQ(testsupport::readFile(outside), "a\t1\t/\tH\t0\n"); // the link was replaced
    EXPECT_EQ(cookies("http://l.example/"), "b=2");
}

TEST_F(CookieStore, ConcurrentWritersLoseNoCookie)
{
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 25; ++i) {
                const std::string cookie =
                    "c" + std::to_string(t) + "_" + std::to_string(i) + "=1; path=/";
                EXPECT_TRUE(platform::setCookie("http://w.example/", cookie));
            }
        });
    }
    for (std::thread& w : writers) {
        w.join();
    }
    const std::optional<std::string> text = cookies("http://w.example/");
    ASSERT_TRUE(text);
    EXPECT_EQ(std::count(text->begin(), text->end(), '='), 100);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
