// The URL cache: listing with the size-first protocol, patterns, deletion with the local
// file, replacement, and the cookie store's files as cookie entries.

#include <platform/WinInet.h>

#include <TestSupport.h>
#include <unistd.h>

#include <vector>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

struct Listed {
    std::string url;
    DWORD type = 0;
    std::string localFile;
    std::string headers;
};

Listed fromInfo(const INTERNET_CACHE_ENTRY_INFO& info)
{
    return Listed{info.lpszSourceUrlName, info.CacheEntryType, info.lpszLocalFileName,
                  std::string(info.lpHeaderInfo, info.dwHeaderInfoSize)};
}

// Lists the cache as the cleaner does: the size first, then a buffer of that size.
std::vector<Listed> listCache(const char* pattern = nullptr)
{
    std::vector<Listed> out;
    DWORD size = 0;
    HANDLE find = FindFirstUrlCacheEntry(pattern, nullptr, &size);
    if (find == nullptr && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
        return out;
    }
    std::vector<char> buffer(size);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFO*>(buffer.data());
    find = FindFirstUrlCacheEntry(pattern, info, &size);
    EXPECT_NE(find, nullptr);
    if (find == nullptr) {
        return out;
    }
    out.push_back(fromInfo(*info));
    for (;;) {
        size = 0;
        if (FindNextUrlCacheEntry(find, nullptr, &size)) {
            ADD_FAILURE() << "a null buffer cannot hold an entry";
            break;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
            break;
        }
        buffer.assign(size, 0);
        info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFO*>(buffer.data());
        EXPECT_TRUE(FindNextUrlCacheEntry(find, info, &size));
        out.push_back(fromInfo(*info));
    }
    EXPECT_TRUE(FindCloseUrlCache(find));
    return out;
}

fs::path hostOf(const std::string& dos)
{
    auto host = platform::toHostPath(dos);
    EXPECT_TRUE(host.ok()) << dos;
    return host.ok() ? *host : fs::path();
}

class UrlCacheTest : public testsupport::PrefixTest {};

platform::Result<platform::DosPath> add(std::string url, std::string content,
                                        DWORD type = NORMAL_CACHE_ENTRY, std::string headers = {})
{
    platform::UrlCacheEntry entry;
    entry.url = std::move(url);
    entry.content = std::move(content);
    entry.type = type;
    entry.headers = std::move(headers);
    return platform::addUrlCacheEntry(entry);
}

TEST_F(UrlCacheTest, EmptyCacheListsNothing)
{
    DWORD size = 0;
    EXPECT_EQ(FindFirstUrlCacheEntry(nullptr, nullptr, &size), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_FALSE(DeleteUrlCacheEntry("http://nowhere/"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(UrlCacheTest, EntriesAreListedInOrderWithTheirFilesAndTypes)
{
    auto page = add("http://www.example.com/index.html", "<html>", NORMAL_CACHE_ENTRY,
                    "HTTP/1.0 200 OK\r\n");
    ASSERT_TRUE(page.ok());
    ASSERT_TRUE(add("http://img.example.com/a/logo.gif?x=1", "GIF89a").ok());
    ASSERT_TRUE(add("Cookie:bob@example.org/", "id\n1\nexample.org/\n",
                    COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY)
                    .ok());

    const std::vector<Listed> all = listCache();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].url, "http://www.example.com/index.html");
    EXPECT_EQ(all[0].type, NORMAL_CACHE_ENTRY);
    EXPECT_EQ(all[0].localFile, page->str());
    EXPECT_EQ(all[0].headers, "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(readFile(hostOf(all[0].localFile)), "<html>");
    EXPECT_NE(all[0].localFile.find("Temporary Internet Files\\Content.IE5\\"), std::string::npos);
    EXPECT_EQ(hostOf(all[1].localFile).extension(), ".gif");
    EXPECT_EQ(all[2].type, COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY);
    EXPECT_EQ(hostOf(all[2].localFile).parent_path().filename(), "Cookies");

    const std::vector<Listed> cookies = listCache("cookie:");
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].url, "Cookie:bob@example.org/");
    EXPECT_EQ(listCache("HTTP://IMG.").size(), 1u);
    EXPECT_TRUE(listCache("visited:").empty());
}

TEST_F(UrlCacheTest, ShortBufferDoesNotMoveTheListingOn)
{
    ASSERT_TRUE(add("http://a/1", "1").ok());
    ASSERT_TRUE(add("http://a/2", "2").ok());
    std::vector<char> buffer(4096);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFO*>(buffer.data());
    DWORD size = sizeof(INTERNET_CACHE_ENTRY_INFO); // too small for the texts
    EXPECT_EQ(FindFirstUrlCacheEntry(nullptr, info, &size), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_GT(size, sizeof(INTERNET_CACHE_ENTRY_INFO));

    size = 4096;
    HANDLE find = FindFirstUrlCacheEntry(nullptr, info, &size);
    ASSERT_NE(find, nullptr);
    size = 8;
    EXPECT_FALSE(FindNextUrlCacheEntry(find, info, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    size = 4096;
    ASSERT_TRUE(FindNextUrlCacheEntry(find, info, &size));
    EXPECT_STREQ(info->lpszSourceUrlName, "http://a/2");
    EXPECT_FALSE(FindNextUrlCacheEntry(find, info, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(FindCloseUrlCache(find));
    EXPECT_FALSE(FindNextUrlCacheEntry(find, info, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(UrlCacheTest, DeletingDuringAListingRemovesEntryAndFile)
{
    std::vector<fs::path> files;
    for (int i = 0; i < 5; ++i) {
        auto dos = add("http://site/p" + std::to_string(i), "x");
        ASSERT_TRUE(dos.ok());
        files.push_back(hostOf(dos->str()));
    }
    // The cleaner deletes while it walks: the listing still gives every entry once.
    std::vector<char> buffer(4096);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFO*>(buffer.data());
    DWORD size = 4096;
    HANDLE find = FindFirstUrlCacheEntry(nullptr, info, &size);
    ASSERT_NE(find, nullptr);
    int seen = 0;
    do {
        ++seen;
        EXPECT_TRUE(DeleteUrlCacheEntry(info->lpszSourceUrlName));
        size = 4096;
    } while (FindNextUrlCacheEntry(find, info, &size));
    FindCloseUrlCache(find);
    EXPECT_EQ(seen, 5);
    EXPECT_TRUE(listCache().empty());
    for (const fs::path& file : files) {
        EXPECT_FALSE(fs::exists(file)) << file;
    }
    EXPECT_FALSE(DeleteUrlCacheEntry("http://site/p0"));
}

TEST_F(UrlCacheTest, SameUrlReplacesTheEntry)
{
    auto first = add("http://Site/Page", "old");
    auto second = add("http://site/page", "new");
    ASSERT_TRUE(first.ok() && second.ok());
    const std::vector<Listed> all = listCache();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(readFile(hostOf(all[0].localFile)), "new");
    // The old content file went with the old entry.
    const fs::path bucket = hostOf(all[0].localFile).parent_path();
    EXPECT_EQ(std::distance(fs::directory_iterator(bucket), fs::directory_iterator()), 1);
    EXPECT_TRUE(DeleteUrlCacheEntry("HTTP://SITE/PAGE"));
}

TEST_F(UrlCacheTest, DeletingNeverFollowsALinkOutOfTheProfile)
{
    testsupport::TempDir outside;
    writeFile(outside.path() / "victim", "precious");
    auto dos = add("http://site/x.htm", "x");
    ASSERT_TRUE(dos.ok());
    const fs::path local = hostOf(dos->str());
    fs::remove(local);
    fs::create_symlink(outside.path() / "victim", local);
    EXPECT_TRUE(DeleteUrlCacheEntry("http://site/x.htm"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(local)));
    EXPECT_EQ(readFile(outside.path() / "victim"), "precious");
}

TEST_F(UrlCacheTest, CookieStoreFilesAreCookieEntries)
{
    ASSERT_TRUE(platform::setCookie("http://www.example.com/", "id=42; path=/"));
    ASSERT_TRUE(add("http://www.example.com/", "<html>").ok());

    const std::vector<Listed> cookies = listCache("cookie:");
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].url.rfind("Cookie:", 0), 0u);
    EXPECT_EQ(cookies[0].type & COOKIE_CACHE_ENTRY, COOKIE_CACHE_ENTRY);
    EXPECT_TRUE(fs::exists(hostOf(cookies[0].localFile)));

    EXPECT_TRUE(DeleteUrlCacheEntry(cookies[0].url.c_str()));
    char text[256];
    DWORD size = sizeof text;
    EXPECT_FALSE(InternetGetCookieA("http://www.example.com/", nullptr, text, &size));
    EXPECT_EQ(listCache().size(), 1u); // the page stays
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
