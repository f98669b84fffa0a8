// Placeholder until the configurators land: every operation fails loudly with E_NOTIMPL.
#include "core/Operations.h"

namespace rigwright {
namespace {
constexpr HRESULT kNotImplemented = static_cast<HRESULT>(0x80004001);
}

HRESULT Operations::LoadIEProxySettings() noexcept
{
    return kNotImplemented;
}
HRESULT Operations::SetIEProxySettings(LONG, const char*, UINT) noexcept
{
    return kNotImplemented;
}
HRESULT Operations::LoadOperaProxySettings() noexcept
{
    return kNotImplemented;
}
HRESULT Operations::SetOperaProxySettings(LONG, const char*, UINT) noexcept
{
    return kNotImplemented;
}
HRESULT Operations::LoadMircProxySettings() noexcept
{
    return kNotImplemented;
}
HRESULT Operations::SetMircProxySettings(LONG, const char*, UINT, const char*) noexcept
{
    return kNotImplemented;
}
HRESULT Operations::LoadWS_FTPProxySettings() noexcept
{
    return kNotImplemented;
}
HRESULT Operations::SetWS_FTPProxySettings(LONG, const char*, UINT, int) noexcept
{
    return kNotImplemented;
}
HRESULT Operations::LoadNetscapeProxySettings() noexcept
{
    return kNotImplemented;
}
HRESULT Operations::SetNetscapeProxySettings(const char*, UINT, LONG) noexcept
{
    return kNotImplemented;
}
HRESULT Operations::LoadYahooMessangerProxySettings() noexcept
{
    return kNotImplemented;
}
HRESULT Operations::SetYahooMessangerProxySettings(LONG, const char*, UINT, LONG, const char*, UINT,
                                                   int) noexcept
{
    return kNotImplemented;
}
HRESULT Operations::LoadMSNProxySettings() noexcept
{
    return kNotImplemented;
}
HRESULT Operations::SetMSNProxySettings(LONG, int, const char*, UINT) noexcept
{
    return kNotImplemented;
}
HRESULT Operations::LoadCute_FTPProxySettings() noexcept
{
    return kNotImplemented;
}
HRESULT Operations::SetCute_FTPProxySettings(const char*, UINT, int) noexcept
{
    return kNotImplemented;
}
HRESULT Operations::BackupConfiguration(LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG) noexcept
{
    return kNotImplemented;
}
HRESULT Operations::RestoreConfiguration(LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG) noexcept
{
    return kNotImplemented;
}

} // namespace rigwright
