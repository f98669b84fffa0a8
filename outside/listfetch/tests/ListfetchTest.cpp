// Listfetch.dll through its four entry points: download from a local web server, the
// stored list, failed downloads and concurrent callers.

#include "LoopbackServer.h"
#include "TestSupport.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Modules.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

using testsupport::LoopbackServer;

const char* const ListfetchKey = "Software\\Kestrani\\Hollowmere\\Listfetch";

class ListfetchTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        m_module =
            LoadLibrary(platform::toDosPath(testsupport::binDir() / "Listfetch.dll").c_str());
        ASSERT_NE(m_module, nullptr) << platform::lastModuleError();
        netUpdate = platform::proc<NetUpdateFn>(m_module, contract::NetUpdate);
        update = platform::proc<UpdateProxyListExFn>(m_module, contract::UpdateProxyListEx);
        count = platform::proc<GetProxyListCountFn>(m_module, contract::GetProxyListCount);
        getProxy = platform::proc<GetProxyFn>(m_module, contract::GetProxy);
        ASSERT_TRUE(netUpdate && update && count && getProxy);
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)
            .writeString("DataFolder", platform::toDosPath(dataFolder()).str());
    }
    void TearDown() override
    {
        if (m_module) {
            FreeLibrary(m_module);
        }
    }

    std::filesystem::path dataFolder() const { return m_prefix.path() / "Umbravia" / "DataFolder"; }
    std::filesystem::path storedList() const { return dataFolder() / "proxylist.txt"; }

    static void pointAt(const std::string& address, DWORD timeoutMs = 0)
    {
        settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, ListfetchKey);
        key.writeString("LISTURL", address);
        if (timeoutMs != 0) {
            key.writeDword("TIMEOUT", timeoutMs);
        }
    }
    static std::string urlOf(const LoopbackServer& server)
    {
        return "http://127.0.0.1:" + std::to_string(server.port()) + "/proxies.txt";
    }

    void refresh(int fromNetwork)
    {
        netUpdate(fromNetwork);
        update();
    }

    // The next count entries as "host:port".
    std::vector<std::string> draw(int n)
    {
        std::vector<std::string> entries;
        for (int i = 0; i < n; ++i) {
            char host[512] = "unchanged";
            int port = 80;
            int reserved = 0;
            getProxy(host, &port, &reserved);
            entries.push_back(std::string(host) + ":" + std::to_string(port));
        }
        return entries;
    }

    HMODULE m_module = nullptr;
    NetUpdateFn netUpdate = nullptr;
    UpdateProxyListExFn update = nullptr;
    GetProxyListCountFn count = nullptr;
    GetProxyFn getProxy = nullptr;
};

const std::string ListText = "# local proxies\n10.1.1.1:8080\n\nproxy.local:3128\nbroken line\n";

TEST_F(ListfetchTest, DownloadsStoresAndCyclesThroughTheList)
{
    LoopbackServer server(LoopbackServer::fileServer("HTTP/1.0 200 OK", ListText));
    pointAt(urlOf(server));
    refresh(1);
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(draw(5),
              (std::vector<std::string>{"10.1.1.1:8080", "proxy.local:3128", "10.1.1.1:8080",
                                        "proxy.local:3128", "10.1.1.1:8080"}));
    EXPECT_EQ(testsupport::readFile(storedList()), "10.1.1.1:8080\nproxy.local:3128\n");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].rfind("GET /proxies.txt HTTP/1.1\r\n", 0), 0u);
}

TEST_F(ListfetchTest, StartWithoutNetworkLoadsTheStoredList)
{
    testsupport::writeFile(storedList(), "1.2.3.4:81\n5.6.7.8:82\n9.9.9.9:83\n");
    LoopbackServer server(LoopbackServer::fileServer("HTTP/1.0 200 OK", ListText));
    pointAt(urlOf(server));
    refresh(0);
    EXPECT_EQ(count(), 3);
    EXPECT_EQ(draw(1), std::vector<std::string>{"1.2.3.4:81"});
    EXPECT_TRUE(server.requests().empty()); // no download
}

TEST_F(ListfetchTest, FailedDownloadsKeepThePreviousList)
{
    LoopbackServer good(LoopbackServer::fileServer("HTTP/1.0 200 OK", "10.0.0.1:80\n"));
    pointAt(urlOf(good));
    refresh(1);
    ASSERT_EQ(count(), 1);

    LoopbackServer missing(LoopbackServer::fileServer("HTTP/1.0 404 Not Found", "10.9.9.9:80\n"));
    LoopbackServer garbage(LoopbackServer::fileServer("HTTP/1.0 200 OK", "<html>oops</html>"));
    LoopbackServer silent(LoopbackServer::scriptedHop(""));
    for (const std::string& address :
         {urlOf(missing), urlOf(garbage), urlOf(silent),
          "http://127.0.0.1:" + std::to_string(testsupport::freePort()) + "/", std::string(),
          std::string("ftp://127.0.0.1/list"), std::string("file:///etc/passwd")}) {
        pointAt(address, 1000);
        refresh(1);
        EXPECT_EQ(count(), 1) << address;
        EXPECT_EQ(draw(1), std::vector<std::string>{"10.0.0.1:80"}) << address;
        EXPECT_EQ(testsupport::readFile(storedList()), "10.0.0.1:80\n") << address;
    }
}

TEST_F(ListfetchTest, FailedFirstDownloadFallsBackToTheStoredList)
{
    testsupport::writeFile(storedList(), "1.2.3.4:81\n");
    pointAt("http://127.0.0.1:" + std::to_string(testsupport::freePort()) + "/");
    refresh(1);
    EXPECT_EQ(count(), 1);
}

TEST_F(ListfetchTest, EmptyListHandsOutNothing)
{
    EXPECT_EQ(count(), 0); // nothing stored, nothing downloaded
    char host[512] = "previous";
    int port = 80;
    int reserved = 0;
    EXPECT_EQ(getProxy(host, &port, &reserved), 0);
    EXPECT_STREQ(host, "");
    EXPECT_EQ(port, 80);
}

TEST_F(ListfetchTest, ConcurrentCallersWhileTheListIsRefreshed)
{
    LoopbackServer server(LoopbackServer::fileServer("HTTP/1.0 200 OK", ListText));
    pointAt(urlOf(server));
    refresh(1);
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 6; ++t) {
        callers.emplace_back([&] {
            const std::set<std::string> valid{"10.1.1.1:8080", "proxy.local:3128"};
            while (!done) {
                if (count() != 2 || !valid.count(draw(1)[0])) {
                    ++bad;
                }
            }
        });
    }
    for (int i = 0; i < 5; ++i) {
        refresh(1);
        refresh(0);
    }
    done = true;
    for (std::thread& caller : callers) {
        caller.join();
    }
    EXPECT_EQ(bad, 0);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
