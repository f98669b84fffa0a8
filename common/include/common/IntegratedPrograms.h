#pragma once
// The programs the suite points at its local proxy, as the integration dialog and the
// settings wizard see them: how each is detected, its IntegrateWith* value, and its call
// on the configuration component (Rigwright). The table's order is the order in which
// programs are detected, configured, stored and backed up.

#include <common/Rigwright.h>

#include <array>
#include <cstddef>

namespace integration {

// Where the programs are pointed: the local proxy on PROXYPORT (8080 when absent).
inline constexpr const char* LocalProxyHost = "127.0.0.1";
inline constexpr unsigned DefaultProxyPort = 8080;
unsigned localProxyPort();

// Unknown: the detection could not decide (the caller leaves the program as it was).
enum class Presence { Found, Missing, Unknown };

// Points one program at the local proxy on port (check 1) or takes it off (check 0).
// S_OK, S_FALSE when the program could not be configured, or a COM failure.
using Configure = HRESULT (*)(rigwright::IConfiguration& configuration, LONG check, UINT port);

struct Program {
    const char* value; // IntegrateWith* in the main key
    bool visible;      // mIRC, WS_FTP and CuteFTP are kept but never shown
    Presence (*detect)();
    Configure configure;
};

inline constexpr std::size_t ProgramCount = 8;
// Internet Explorer, Netscape, Opera, MSN Messenger, Yahoo Messenger, mIRC, WS_FTP,
// CuteFTP. Internet Explorer is always found. Yahoo's SOCKS entry stays off; CuteFTP is
// given the local proxy either way (its method has no switch).
extern const std::array<Program, ProgramCount> Programs;

// The Rigwright object for one piece of work, on a thread that has entered COM for it;
// released (and COM left) when it goes. get() is null when it could not be created.
class ConfigurationObject {
public:
    ConfigurationObject();
    ~ConfigurationObject();
    ConfigurationObject(const ConfigurationObject&) = delete;
    ConfigurationObject& operator=(const ConfigurationObject&) = delete;
    rigwright::IConfiguration* get() const { return m_object; }

private:
    rigwright::IConfiguration* m_object = nullptr;
    bool m_entered = false;
};

} // namespace integration
