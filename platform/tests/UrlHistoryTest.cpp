// The URL history store the layer ships: registered in each prefix when COM starts there,
// created by class identifier, adding, deleting and clearing the cache's history entries.

#include <platform/Com.h>
#include <platform/Environment.h>
#include <platform/Registry.h>
#include <platform/UrlHistory.h>
#include <platform/WinInet.h>

#include <TestSupport.h>
#include <UrlCacheListing.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> historyUrls()
{
    return testsupport::urlCacheListing("visited:");
}

std::string registeredServer()
{
    HKEY key = nullptr;
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT,
                     "CLSID\\{3C374A40-BAE4-11CF-BF7D-00AA006946EE}\\InprocServer32", 0, KEY_READ,
                     &key) == ERROR_SUCCESS) {
        RegQueryValueEx(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
    }
    return data;
}

class UrlHistoryTest : public testsupport::PrefixTest {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }
};

} // namespace

TEST_F(UrlHistoryTest, RegisteredWhereverComStarts)
{
    const std::string shipped =
        platform::toDosPath(std::filesystem::canonical(testsupport::binDir() / "UrlHistory.dll"))
            .str();
    EXPECT_EQ(registeredServer(), shipped);

    // A second prefix in the same process gets its own registration.
    CoUninitialize();
    {
        testsupport::TempPrefix other;
        EXPECT_EQ(registeredServer(), "");
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(registeredServer(), shipped);
        CoUninitialize();
    }
    platform::setPrefix(m_prefix.path());
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
}

TEST_F(UrlHistoryTest, ClearHistoryRemovesEveryHistoryEntryAndNothingElse)
{
    IUrlHistoryStg2* history = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IUrlHistoryStg2, reinterpret_cast<void**>(&history)),
              S_OK);
    ASSERT_EQ(history->AddUrl(u"http://www.example.com/", u"Example", 0), S_OK);
    ASSERT_EQ(history->AddUrlAndNotify(u"http://example.org/a", nullptr, 0, TRUE, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(
        history->AddUrlAndNotify(u"http://example.org/b", nullptr, 0, FALSE, nullptr, nullptr),
        S_OK);
    const std::string visited = "Visited: " + platform::loginName() + "@";
    EXPECT_EQ(historyUrls(), (std::vector<std::string>{visited + "http://example.org/a",
                                                       visited + "http://www.example.com/"}));

    ASSERT_EQ(history->DeleteUrl(u"http://example.org/a", 0), S_OK);
    EXPECT_EQ(history->DeleteUrl(u"http://example.org/a", 0), E_FAIL);
    EXPECT_EQ(historyUrls(), std::vector<std::string>{visited + "http://www.example.com/"});

    platform::UrlCacheEntry page;
    page.url = "http://www.example.com/";
    page.content = "page";
    ASSERT_TRUE(platform::addUrlCacheEntry(page));
    ASSERT_EQ(history->ClearHistory(), S_OK);
    EXPECT_EQ(historyUrls(), std::vector<std::string>{});
    DWORD size = 0;
    EXPECT_EQ(FindFirstUrlCacheEntry("http://www.example.com/", nullptr, &size), nullptr);
    EXPECT_EQ(GetLastError(),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)); // the page is still there

    // Both interface versions, nothing else.
    IUrlHistoryStg* first = nullptr;
    ASSERT_EQ(history->QueryInterface(IID_IUrlHistoryStg, reinterpret_cast<void**>(&first)), S_OK);
    first->Release();
    void* none = nullptr;
    EXPECT_EQ(history->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(history->Release(), 0u);
}
