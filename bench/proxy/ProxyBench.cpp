// Runs the proxy engine for the benchmark until SIGTERM or SIGINT:
//   proxy_bench PORT CHAIN_DLL [FILTERS_DLL]
// in the prefix named by UMBRAVIA_PREFIX. With FILTERS_DLL the module is registered and
// every request and response option is switched on.

#include "core/ModuleTable.h"
#include "engine/ProxyControl.h"
#include "engine/ProxyServer.h"
#include "engine/ProxyState.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/Environment.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* RequestOptions[] = {
    "BROWSERSHIELD",        "OSSHIELD",    "DISABLEALLCOOKIES",
    "DISABLEUNSAFECOOKIES", "IPMASKING",   "REFERRERBLOCK",
    "DISABLEINTERNETCACHE", "BLOCKIMAGES", "BLOCKBANNERS"};
constexpr const char* ResponseOptions[] = {
    "BLOCKSCRIPTS", "DISABLEONUNLOAD",  "HIDEPAGETITLE",    "BLOCKPOPUPS", "REMOVECTXMENUDIS",
    "REMOVEFLASH",  "REMOVESTATUSMODS", "DISABLETIMERPROC", "BLOCKIMAGES", "BLOCKBANNERS"};

std::string dosPath(const char* hostPath)
{
    return platform::toDosPath(std::filesystem::absolute(hostPath)).str();
}

bool registerFilters(const char* file)
{
    std::string path = dosPath(file);
    HMODULE module = LoadLibrary(path.c_str());
    auto registerDll = contract::bind(module, contract::RegisterDLL);
    bool ok = registerDll != nullptr && registerDll(path.c_str()) == 1;
    FreeLibrary(module);
    if (!ok) {
        return false;
    }
    settings::Key request = settings::Key::create(HKEY_LOCAL_MACHINE, settings::RequestKey);
    settings::Key response = settings::Key::create(HKEY_LOCAL_MACHINE, settings::ResponseKey);
    request.writeDword(nullptr, 1);
    response.writeDword(nullptr, 1);
    request.writeDword("FAKEIP", 0x0A000001);
    for (const char* name : RequestOptions) {
        request.writeDword(name, 1);
    }
    for (const char* name : ResponseOptions) {
        response.writeDword(name, 1);
    }
    settings::saveList(HKEY_LOCAL_MACHINE,
                       (std::string(settings::RequestKey) + "\\CUSTOMFILTERS").c_str(),
                       {1, {"X-Bench: 1"}});
    settings::saveList(HKEY_LOCAL_MACHINE,
                       (std::string(settings::RequestKey) + "\\STOPSERVERS").c_str(),
                       {1, {"ads.example.invalid"}});
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: proxy_bench PORT CHAIN_DLL [FILTERS_DLL]\n");
        return 2;
    }
    SetProcessArguments(argc, argv);
    settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    main.writeDword(settings::ProxyPortValue, static_cast<DWORD>(std::atoi(argv[1])));
    main.writeDword(settings::AnonymityLevelValue, 0xFFFFFFFF);
    main.writeDword(settings::PrivacyLevelValue, 0xFFFFFFFF);
    settings::Key chain = settings::Key::create(HKEY_LOCAL_MACHINE, settings::ChainKey);
    chain.writeString(settings::PathNameValue, dosPath(argv[2]));
    chain.writeDword(settings::ConnectChainValue, 0);
    if (argc > 3 && !registerFilters(argv[3])) {
        std::fprintf(stderr, "proxy_bench: cannot register %s\n", argv[3]);
        return 1;
    }

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr); // threads started below inherit it

    host::ModuleTable modules;
    modules.loadOrExit();
    host::ProxyState state(modules);
    host::ProxyServer server(state);
    if (host::startProxy(server) != 1) {
        std::fprintf(stderr, "proxy_bench: the proxy did not start\n");
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    host::stopProxy(server);
    return 0;
}
