#include "ChainModule.h"

#include <common/PluginContract.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>

#include <optional>

namespace chain {

namespace {

constexpr const char* ListfetchFile = "Listfetch.dll";
constexpr const char* FailedSockets = "Failed to initialize sockets";
constexpr const char* FailedSocketsCaption = "Proxy Chain Settings";
constexpr const char* FailedListfetch = "Failed to load Listfetch Dll File";
constexpr const char* FailedListfetchCaption = "Chain";
constexpr const char* FailedEntryPoints = "Failed to load Dll Module";
constexpr const char* FailedEntryPointsCaption = "Chian";

void showError(const char* text, const char* caption)
{
    MessageBox(0, text, caption, MB_OK | MB_ICONERROR);
}

} // namespace

bool ChainModule::start(SocketStartup startup)
{
    WSADATA data;
    if (startup(MAKEWORD(1, 1), &data) != 0) {
        showError(FailedSockets, FailedSocketsCaption);
        return false;
    }
    m_socketsStarted = true;
    m_listfetch = LoadLibrary(ListfetchFile);
    if (m_listfetch == nullptr) {
        showError(FailedListfetch, FailedListfetchCaption);
        stop();
        return false;
    }
    m_source.getProxy = contract::bind(m_listfetch, contract::GetProxy);
    m_source.getProxyListCount = contract::bind(m_listfetch, contract::GetProxyListCount);
    if (m_source.getProxy == nullptr || m_source.getProxyListCount == nullptr) {
        showError(FailedEntryPoints, FailedEntryPointsCaption);
        stop();
        return false;
    }
    return true;
}

void ChainModule::stop()
{
    m_source = ProxySource{};
    if (m_listfetch != nullptr) {
        FreeLibrary(m_listfetch);
        m_listfetch = nullptr;
    }
    if (m_socketsStarted) {
        WSACleanup();
        m_socketsStarted = false;
    }
}

SOCKET ChainModule::createChain()
{
    if (m_source.getProxy == nullptr || m_source.getProxyListCount == nullptr) {
        return INVALID_SOCKET; // not started
    }
    std::optional<ChainSettings> settings = ChainSettings::load();
    if (!settings) {
        return INVALID_SOCKET;
    }
    return ChainBuilder(*settings, m_source, m_singleHop >= 1).build();
}

} // namespace chain
