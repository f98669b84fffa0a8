#pragma once
// A prefix with Chain.dll loaded from the bin folder (Listfetch.dll found through the
// current folder), registered with its defaults, and helpers to feed the proxy list,
// set values and carry a request through a built chain.

#include "LoopbackServer.h"
#include "TestSupport.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Files.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>

#include <sys/socket.h>

#include <string>
#include <vector>

namespace chaintest {

using testsupport::LoopbackServer;

class ChainFixture : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SetCurrentDirectory(platform::toDosPath(testsupport::binDir()).c_str()));
        m_chain = LoadLibrary(platform::toDosPath(testsupport::binDir() / "Chain.dll").c_str());
        ASSERT_NE(m_chain, nullptr) << platform::lastModuleError();
        m_listfetch = LoadLibrary("Listfetch.dll");
        ASSERT_NE(m_listfetch, nullptr) << platform::lastModuleError();
        createChain = platform::proc<CreateChainFn>(m_chain, contract::CreateChain);
        setVendor = platform::proc<SetVendorFn>(m_chain, contract::SetVendor);
        auto registerDll = platform::proc<RegisterDLLFn>(m_chain, contract::RegisterDLL);
        ASSERT_TRUE(createChain && setVendor && registerDll);
        ASSERT_EQ(registerDll("Z:\\opt\\umbravia\\Chain.dll"), 1);
        setMain("ANONYMITYLEVEL", 0xFFFFFFFF);
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)
            .writeString("DataFolder", platform::toDosPath(m_prefix.path() / "data").str());
    }

    void TearDown() override
    {
        if (setVendor) {
            setVendor(0);
        }
        if (m_listfetch) {
            FreeLibrary(m_listfetch);
        }
        if (m_chain) {
            FreeLibrary(m_chain);
        }
    }

    // Stores the list and has Listfetch load it.
    void setList(const std::vector<std::string>& entries)
    {
        std::string text;
        for (const std::string& entry : entries) {
            text += entry + "\n";
        }
        testsupport::writeFile(m_prefix.path() / "data" / "proxylist.txt", text);
        platform::proc<NetUpdateFn>(m_listfetch, contract::NetUpdate)(0);
        platform::proc<UpdateProxyListExFn>(m_listfetch, contract::UpdateProxyListEx)();
        ASSERT_EQ(platform::proc<GetProxyListCountFn>(m_listfetch, contract::GetProxyListCount)(),
                  static_cast<int>(entries.size()));
    }

    // Serves the list from a local web server and has Listfetch download it.
    void downloadList(const std::vector<std::string>& entries)
    {
        std::string text = "# test proxies\n";
        for (const std::string& entry : entries) {
            text += entry + "\n";
        }
        LoopbackServer server(LoopbackServer::fileServer("HTTP/1.0 200 OK", text));
        settings::Key::create(HKEY_LOCAL_MACHINE, "Software\\Kestrani\\Hollowmere\\Listfetch")
            .writeString("LISTURL", "http://127.0.0.1:" + std::to_string(server.port()) + "/");
        platform::proc<NetUpdateFn>(m_listfetch, contract::NetUpdate)(1);
        platform::proc<UpdateProxyListExFn>(m_listfetch, contract::UpdateProxyListEx)();
        ASSERT_EQ(platform::proc<GetProxyListCountFn>(m_listfetch, contract::GetProxyListCount)(),
                  static_cast<int>(entries.size()));
    }

    static void setChain(const char* name, DWORD value)
    {
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey, KEY_ALL_ACCESS)
            .writeDword(name, value);
    }
    static void setMain(const char* name, DWORD value)
    {
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey).writeDword(name, value);
    }
    static void setFirewall(int port)
    {
        setMain("ProxyFirewallEnabled", 1);
        setMain("ProxyFirewall", 0x7F000001); // 127.0.0.1
        setMain("ProxyFirePort", static_cast<DWORD>(port));
    }

    // Sends an absolute-form GET for the origin through the socket and returns all that
    // comes back; closes the socket.
    static std::string fetchThrough(SOCKET s, int originPort)
    {
        std::string target = "127.0.0.1:" + std::to_string(originPort);
        LoopbackServer::sendAll(s, "GET http://" + target + "/ HTTP/1.0\r\nHost: " + target +
                                       "\r\n\r\n");
        std::string answer;
        char buffer[4096];
        ssize_t got;
        while ((got = ::recv(s, buffer, sizeof buffer, 0)) > 0) {
            answer.append(buffer, static_cast<size_t>(got));
        }
        closesocket(s);
        return answer;
    }

    platform::ScopedScriptedPresenter m_boxes;
    HMODULE m_chain = nullptr;
    HMODULE m_listfetch = nullptr;
    CreateChainFn createChain = nullptr;
    SetVendorFn setVendor = nullptr;
};

} // namespace chaintest
