// The one stand-in plug-in module of the host tests, built once per variant: the variant
// table in host/CMakeLists.txt gives each its module name (FAKE_NAME), the exports it has
// (FAKE_<EXPORT>), the titles of its pages (FAKE_PAGE1, FAKE_PAGE2) and whether it counts
// one page too few (FAKE_UNDERCOUNT).
//
// Every call the host makes is appended to $UMBRAVIA_PREFIX/fake-modules.log as one line,
// "<name> <call>" ("Chain SetMainWindow", "Filters CreateTabDlg count", "Listfetch
// NetUpdate 1"), so that tests see the order across modules. Pages come from the test
// through FakeSetPageFactory, so the module needs no widget library.

#include <common/PluginContract.h>
#include <platform/Modules.h>
#include <platform/Sockets.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#ifndef FAKE_NAME
#error "FAKE_NAME names the module in the log"
#endif

namespace {

[[maybe_unused]] void logCall(const std::string& call) noexcept
{
    try {
        const char* prefix = std::getenv("UMBRAVIA_PREFIX");
        if (prefix == nullptr) {
            return;
        }
        const std::string path = std::string(prefix) + "/fake-modules.log";
        if (std::FILE* f = std::fopen(path.c_str(), "a")) {
            std::fprintf(f, "%s %s\n", FAKE_NAME, call.c_str());
            std::fclose(f);
        }
    } catch (...) {
        // a test log that cannot be written only leaves the line out
    }
}

} // namespace

#if FAKE_REGISTER_DLL
UMBRAVIA_EXPORT int RegisterDLL(const char*) noexcept
{
    return 1;
}
#endif

#if FAKE_CREATE_CHAIN
UMBRAVIA_EXPORT SOCKET CreateChain() noexcept
{
    return INVALID_SOCKET;
}
#endif

#if FAKE_SET_VENDOR
UMBRAVIA_EXPORT int SetVendor(int mode) noexcept
{
    return mode;
}
#endif

#if FAKE_FILTER_REQUEST
UMBRAVIA_EXPORT char* FilterRequest(char*, int, unsigned int*, const char*) noexcept
{
    return nullptr;
}
#endif

#if FAKE_FILTER_RESPONSE
UMBRAVIA_EXPORT void FilterResponse(char*, int) noexcept {}
#endif

#if FAKE_FREE_BUFFER
UMBRAVIA_EXPORT void FreeFilteredDataBuf(char*) noexcept {}
#endif

#if FAKE_ON_PROGRAM_EXIT
UMBRAVIA_EXPORT void OnProgramExit() noexcept
{
    logCall("OnProgramExit");
}
#endif

#if FAKE_UPDATE_PROXY_LIST
UMBRAVIA_EXPORT void UpdateProxyList() noexcept
{
    logCall("UpdateProxyList");
}
#endif

#if FAKE_NET_UPDATE
UMBRAVIA_EXPORT void NetUpdate(int fromNetwork) noexcept
{
    logCall("NetUpdate " + std::to_string(fromNetwork));
}
#endif

#if FAKE_UPDATE_PROXY_LIST_EX
UMBRAVIA_EXPORT void UpdateProxyListEx() noexcept
{
    logCall("UpdateProxyListEx");
}
#endif

#if FAKE_CREATE_TAB_DLG
using FakePageFactory = PageWindow* (*)(PageWindow* parent, const char* title);

namespace {
FakePageFactory g_pageFactory = nullptr;

#ifndef FAKE_PAGE1
constexpr const char* Titles[] = {nullptr};
constexpr int PageCount = 0;
#elif !defined(FAKE_PAGE2)
constexpr const char* Titles[] = {FAKE_PAGE1};
constexpr int PageCount = 1;
#else
constexpr const char* Titles[] = {FAKE_PAGE1, FAKE_PAGE2};
constexpr int PageCount = 2;
#endif

#if FAKE_UNDERCOUNT
// Breaks the contract: counts one page fewer than it then stores.
constexpr int CountAnswer = PageCount - 1;
#else
constexpr int CountAnswer = PageCount;
#endif
} // namespace

UMBRAVIA_EXPORT void SetMainWindow(HWND) noexcept
{
    logCall("SetMainWindow");
}

UMBRAVIA_EXPORT void FakeSetPageFactory(FakePageFactory factory) noexcept
{
    g_pageFactory = factory;
}

// With a null array only the count; otherwise one page per title from the factory.
UMBRAVIA_EXPORT int CreateTabDlg(PageWindow* parent, PageWindow** pages) noexcept
{
    if (pages == nullptr) {
        logCall("CreateTabDlg count");
        return CountAnswer;
    }
    logCall("CreateTabDlg");
    for (int i = 0; i < PageCount; ++i) {
        pages[i] = g_pageFactory != nullptr ? g_pageFactory(parent, Titles[i]) : nullptr;
    }
    return PageCount;
}
#endif
