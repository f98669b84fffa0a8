#pragma once
// The uninstall tests' fixture: the configurator tests' prefix with the programs, and the
// programs pointed at the proxy by the real configurators, as the integration switch
// leaves them.

#include "RigwrightFixture.h"

namespace rigtest {

class UninstallTest : public RigwrightTest {
protected:
    // Internet Explorer, Netscape, Opera and the two messengers, not yet on the proxy.
    static void installPrograms()
    {
        createKey(HKEY_CURRENT_USER, kIESettings);
        setValue(HKEY_CURRENT_USER, kIEConnections, "Dial-up", REG_BINARY, "x");
        setValue(HKEY_USERS, kDefaultConnections, "DefaultConnectionSettings", REG_BINARY, "x");
        installNetscape("user_pref(\"browser.startup.page\", 1);\r\n");
        installOpera("[Proxy]\r\nUse HTTP=0\r\nHTTP Server=\r\n");
        createKey(HKEY_CURRENT_USER, kMsn);
        createKey(HKEY_CURRENT_USER, kYahoo);
    }
    // The programs pointed at the proxy by the real configurators, as the integration
    // switch leaves them.
    void integrateEverything()
    {
        installPrograms();
        using rigwright::Operations;
        ASSERT_EQ(Operations::SetIEProxySettings(1, "127.0.0.1", 8080), rigwright::kOk);
        ASSERT_EQ(Operations::SetNetscapeProxySettings("127.0.0.1", 8080, 1), rigwright::kOk);
        ASSERT_EQ(Operations::SetOperaProxySettings(1, "127.0.0.1", 8080), rigwright::kOk);
        ASSERT_EQ(Operations::SetMSNProxySettings(1, 2, "127.0.0.1", 8080), rigwright::kOk);
        ASSERT_EQ(Operations::SetYahooMessangerProxySettings(1, "127.0.0.1", 8080, 0, "", 0, 0),
                  rigwright::kOk);
        ASSERT_TRUE(m_boxes->calls().empty());
    }
    // The integration values the switch writes, all 1.
    static void integrateAll()
    {
        for (const char* name : {"IntegrateWithIE", "IntegrateWithNetscape", "IntegrateWithOpera",
                                 "IntegrateWithMSNMessenger", "IntegrateWithYahooMessenger"}) {
            setDword(HKEY_LOCAL_MACHINE, "Software\\Kestrani\\Hollowmere", name, 1);
        }
    }
};

} // namespace rigtest
