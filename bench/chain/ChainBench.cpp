// Times CreateChain through two local tinyproxy hops, in a scratch prefix of its own.

#include "LoopbackServer.h"
#include "TinyProxy.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Modules.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int Runs = 9;

double medianBuildMs(CreateChainFn createChain)
{
    std::vector<double> times;
    for (int i = 0; i < Runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        SOCKET s = createChain();
        auto end = std::chrono::steady_clock::now();
        if (s == INVALID_SOCKET) {
            return -1;
        }
        closesocket(s);
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int run(const fs::path& bin, const fs::path& scratch)
{
    platform::setPrefix(scratch / "prefix");
    SetCurrentDirectory(platform::toDosPath(bin).c_str());
    HMODULE chain = LoadLibrary(platform::toDosPath(bin / "Chain.dll").c_str());
    HMODULE listfetch = LoadLibrary("Listfetch.dll");
    if (chain == nullptr || listfetch == nullptr) {
        std::fprintf(stderr, "chain bench: %s\n", platform::lastModuleError().c_str());
        return 1;
    }
    contract::bind(chain, contract::RegisterDLL)("Z:\\bench\\Chain.dll");
    settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    main.writeDword(settings::AnonymityLevelValue, 0xFFFFFFFF);
    main.writeString("DataFolder", platform::toDosPath(scratch / "data").str());

    std::vector<int> ports{testsupport::freePort(), testsupport::freePort()};
    std::vector<std::unique_ptr<testsupport::TinyProxy>> proxies;
    std::string list;
    for (int i = 0; i < 2; ++i) {
        proxies.push_back(std::make_unique<testsupport::TinyProxy>(
            scratch / ("tinyproxy" + std::to_string(i)), ports[i], ports));
        if (!proxies.back()->start()) {
            std::fprintf(stderr, "chain bench: tinyproxy did not start\n");
            return 1;
        }
        list += proxies.back()->address() + "\n";
    }
    fs::create_directories(scratch / "data");
    std::ofstream(scratch / "data" / "proxylist.txt") << list;
    contract::bind(listfetch, contract::NetUpdate)(0);
    contract::bind(listfetch, contract::UpdateProxyListEx)();

    auto createChain = contract::bind(chain, contract::CreateChain);
    settings::Key chainKey =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey, KEY_ALL_ACCESS);
    chainKey.writeDword("PATHLENGTH", 1);
    double one = medianBuildMs(createChain);
    chainKey.writeDword("PATHLENGTH", 2);
    double two = medianBuildMs(createChain);
    std::printf("chain.build1_ms %.3f ms\nchain.build2_ms %.1f ms\n", one, two);
    FreeLibrary(listfetch);
    FreeLibrary(chain);
    return one < 0 || two < 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || !testsupport::TinyProxy::available()) {
        std::fprintf(stderr, "usage: chain_bench BIN_FOLDER (tinyproxy must be installed)\n");
        return 2;
    }
    char pattern[] = "/tmp/umbravia-chain-bench-XXXXXX";
    const char* scratch = ::mkdtemp(pattern);
    if (scratch == nullptr) {
        return 1;
    }
    int rc = run(argv[1], scratch);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    return rc;
}
