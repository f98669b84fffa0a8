#pragma once
// CuteFTP: the firewall values of HKCU\Software\GlobalSCAPE\CuteFTP 5.0\CuteFTP.

#include <platform/WinTypes.h>

#include <string>

namespace rigwright {

class CuteFtp {
public:
    static constexpr const char* kKey = "Software\\GlobalSCAPE\\CuteFTP 5.0\\CuteFTP";

    static HRESULT load();
    static HRESULT set(const char* fireHost, UINT firePort, int fireType);
    static bool writeBackup(const std::string& file);
};

} // namespace rigwright
