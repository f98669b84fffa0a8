// Internet Explorer, Yahoo Messenger, MSN Messenger and CuteFTP: the registry values each
// Set writes, the messages of a missing program and every S_FALSE.

#include "RigwrightFixture.h"

#include <core/InternetExplorer.h>

namespace {

using namespace rigtest;
using rigwright::Operations;

class RegistryProgramsTest : public RigwrightTest {};

std::string blob(DWORD flags, const std::string& proxy)
{
    std::string out =
        dword(0x3C) + dword(4) + dword(flags) + dword(static_cast<DWORD>(proxy.size())) + proxy;
    return out + std::string(36, '\0');
}

TEST_F(RegistryProgramsTest, InternetExplorerGetsItsValuesAndTheBlobInBothConnectionsKeys)
{
    createKey(HKEY_CURRENT_USER, kIESettings);
    setString(HKEY_CURRENT_USER, kIEConnections, "DefaultConnectionSettings", "old");
    setDword(HKEY_CURRENT_USER, kIEConnections, "SavedLegacySettings", 7);
    setValue(HKEY_USERS, kDefaultConnections, "My Dial-up", REG_BINARY, "xyz");

    EXPECT_EQ(Operations::SetIEProxySettings(1, "10.0.0.5", 8080), rigwright::kOk);

    EXPECT_EQ(value(HKEY_CURRENT_USER, kIESettings, "ProxyEnable"), (Value{REG_DWORD, dword(1)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIESettings, "ProxyServer"),
              (Value{REG_SZ, sz("10.0.0.5:8080")}));
    // The blob names 127.0.0.1 whatever host was given: 66 bytes, length field 14.
    const Value expected{REG_BINARY, blob(3, "127.0.0.1:8080")};
    ASSERT_EQ(expected.data.size(), 66u);
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIEConnections, "DefaultConnectionSettings"), expected);
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIEConnections, "SavedLegacySettings"), expected);
    EXPECT_EQ(value(HKEY_USERS, kDefaultConnections, "My Dial-up"), expected);
    EXPECT_TRUE(m_boxes->calls().empty());

    EXPECT_EQ(Operations::SetIEProxySettings(0, "127.0.0.1", 80), rigwright::kOk);
    const Value disabled{REG_BINARY, blob(1, "127.0.0.1:80")};
    ASSERT_EQ(disabled.data.size(), 64u);
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIEConnections, "DefaultConnectionSettings"), disabled);
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIESettings, "ProxyEnable"), (Value{REG_DWORD, dword(0)}));
}

TEST_F(RegistryProgramsTest, InternetExplorerLeavesEmptyOrMissingConnectionsKeysAlone)
{
    createKey(HKEY_CURRENT_USER, kIESettings);
    createKey(HKEY_CURRENT_USER, kIEConnections);
    EXPECT_EQ(Operations::SetIEProxySettings(1, "127.0.0.1", 8080), rigwright::kOk);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kIEConnections, 0, KEY_READ, &key), ERROR_SUCCESS);
    char name[64];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumValue(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
    EXPECT_FALSE(value(HKEY_USERS, kDefaultConnections, "x"));
    EXPECT_TRUE(m_boxes->calls().empty());
    EXPECT_EQ(Operations::LoadIEProxySettings(), rigwright::kOk);
}

TEST_F(RegistryProgramsTest, EveryMissingProgramHasItsMessageAndCaption)
{
    struct Case {
        HRESULT (*call)();
        const char* text;
        const char* caption;
    };
    const Case cases[] = {
        {[] { return Operations::LoadIEProxySettings(); }, "Failed To Locate Internet Explorer",
         "Umbravia Rigwright"},
        {[] { return Operations::SetIEProxySettings(1, "127.0.0.1", 8080); },
         "Failed To Locate Internet Explorer", "Umbravia Rigwright"},
        {[] { return Operations::LoadYahooMessangerProxySettings(); },
         "Failed To Locate Yahoo Messenger, Please Check That Yahoo Messenger Is Installed "
         "Correctly",
         "Umbravia Rigwright"},
        {[] { return Operations::SetYahooMessangerProxySettings(1, "h", 1, 0, "", 0, 0); },
         "Failed To Locate Yahoo Messenger, Please Check That Yahoo Mesenger Is Installed "
         "Correctly",
         "Umbravia Rigwright"},
        {[] { return Operations::LoadMSNProxySettings(); },
         "Failed To Locate MSN Messenger, Please Check That MSN Messenger Is Correctly Installed",
         "Umbravia Rigwrght"},
        {[] { return Operations::SetMSNProxySettings(1, 1, "h", 1); },
         "Failed To Locate MSN Messenger, Please Check That MSN Messenger Is Correctly Installed",
         "Umbravia Rigwrght"},
        {[] { return Operations::LoadCute_FTPProxySettings(); },
         "Failed To Locate Cute FTP, Please Check That Cute FTP Is Correctly Installed",
         "Umbravia Rigwrght"},
        {[] { return Operations::SetCute_FTPProxySettings("h", 1, 1); },
         "Failed To Locate Cute FTP, Please Check That Cute FTP Is Correctly Installed",
         "Umbravia Rigwrght"},
        {[] { return Operations::LoadOperaProxySettings(); },
         "Failed To Locate Opera, Please Check That Opera Is Installed Correctly",
         "Umbravia Rigwright"},
        {[] { return Operations::SetOperaProxySettings(1, "h", 1); },
         "Failed To Locate Opera, Please Check That Opera Is Installed Correctly",
         "Umbravia Rigwright"},
        {[] { return Operations::LoadMircProxySettings(); },
         "Failed To Locate mIRC, Please Check That mIRC Is Installed Correctly",
         "Umbravia Rigwright"},
        {[] { return Operations::SetMircProxySettings(1, "h", 1, "http"); },
         "Failed To Locate mIRC, Please Check That mIRC Is Installed Correctly",
         "Umbravia Rigwright"},
        {[] { return Operations::LoadWS_FTPProxySettings(); },
         "Failed To Locate WS_FTP, Please Check That WS_FTP Is Installed Correctly",
         "Umbravia Rigwright"},
        {[] { return Operations::SetWS_FTPProxySettings(1, "h", 1, 3); },
         "Failed To Locate WS_FTP, Please Check That WS_FTP Is Installed Correctly",
         "Umbravia Rigwright"},
        {[] { return Operations::LoadNetscapeProxySettings(); },
         "Failed To Locate Netscape, Please Check That Netscape Is Installed Correctly",
         "Umbravia Rigwright"},
        {[] { return Operations::SetNetscapeProxySettings("h", 1, 1); },
         "Failed To Locate Netscape, Please Check That Netscape Is Installed Correctly",
         "Umbravia Rigwright"},
    };
    for (const Case& c : cases) {
        m_boxes->clear();
        EXPECT_EQ(c.call(), rigwright::kFalse) << c.text;
        auto calls = m_boxes->calls();
        ASSERT_EQ(calls.size(), 1u) << c.text;
        EXPECT_EQ(calls[0].text, c.text);
        EXPECT_EQ(calls[0].caption, c.caption);
        EXPECT_EQ(calls[0].owner, 0u);
        EXPECT_EQ(calls[0].icon(), MB_ICONERROR);
        EXPECT_EQ(calls[0].buttons(), static_cast<UINT>(MB_OK));
    }
    // Nothing was created on the way.
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kYahoo, "HTTP Proxy"));
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kMsn, "HTTPProxy"));
}

TEST_F(RegistryProgramsTest, YahooGetsTheHttpProxyAndIgnoresTheSocksArguments)
{
    setString(HKEY_CURRENT_USER, kYahoo, "Socks Server", "socks.example");
    setDword(HKEY_CURRENT_USER, kYahoo, "Socks Port", 1080);
    EXPECT_EQ(Operations::SetYahooMessangerProxySettings(1, "127.0.0.1", 8080, 1, "other", 9999, 5),
              rigwright::kOk);
    EXPECT_EQ(value(HKEY_CURRENT_USER, kYahoo, "Proxy Enabled"), (Value{REG_DWORD, dword(1)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kYahoo, "HTTP Proxy"), (Value{REG_SZ, sz("127.0.0.1")}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kYahoo, "Proxy Port"), (Value{REG_DWORD, dword(8080)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kYahoo, "Socks Server"),
              (Value{REG_SZ, sz("socks.example")}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kYahoo, "Socks Port"), (Value{REG_DWORD, dword(1080)}));
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kYahoo, "Socks Enabled"));
    EXPECT_FALSE(value(HKEY_CURRENT_USER, kYahoo, "Socks Version"));
    EXPECT_EQ(Operations::LoadYahooMessangerProxySettings(), rigwright::kOk);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(RegistryProgramsTest, MsnNumbersAreFourLittleEndianBytesAndLoadNeedsAllFour)
{
    createKey(HKEY_CURRENT_USER, kMsn);
    EXPECT_EQ(Operations::LoadMSNProxySettings(), rigwright::kFalse); // no values yet
    EXPECT_TRUE(m_boxes->calls().empty());

    EXPECT_EQ(Operations::SetMSNProxySettings(1, 2, "127.0.0.1", 8080), rigwright::kOk);
    EXPECT_EQ(value(HKEY_CURRENT_USER, kMsn, "ProxyState"),
              (Value{REG_BINARY, std::string("\x01\0\0\0", 4)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kMsn, "ProxyType"),
              (Value{REG_BINARY, std::string("\x02\0\0\0", 4)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kMsn, "HTTPProxy"), (Value{REG_SZ, sz("127.0.0.1")}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kMsn, "HTTPPort"),
              (Value{REG_BINARY, std::string("\x90\x1f\0\0", 4)}));
    EXPECT_EQ(Operations::LoadMSNProxySettings(), rigwright::kOk);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(RegistryProgramsTest, CuteFtpLoadAnswersFalseWhileAValueIsMissing)
{
    createKey(HKEY_CURRENT_USER, kCute);
    setString(HKEY_CURRENT_USER, kCute, "FireHost", "proxy");
    EXPECT_EQ(Operations::LoadCute_FTPProxySettings(), rigwright::kFalse);

    EXPECT_EQ(Operations::SetCute_FTPProxySettings("127.0.0.1", 8080, 4), rigwright::kOk);
    EXPECT_EQ(value(HKEY_CURRENT_USER, kCute, "FireHost"), (Value{REG_SZ, sz("127.0.0.1")}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kCute, "FirePort"), (Value{REG_DWORD, dword(8080)}));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kCute, "FireType"), (Value{REG_DWORD, dword(4)}));
    EXPECT_EQ(Operations::LoadCute_FTPProxySettings(), rigwright::kOk);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(RegistryProgramsTest, NullStringsFromCallersCountAsEmpty)
{
    createKey(HKEY_CURRENT_USER, kIESettings);
    EXPECT_EQ(Operations::SetIEProxySettings(1, nullptr, 8080), rigwright::kOk);
    EXPECT_EQ(value(HKEY_CURRENT_USER, kIESettings, "ProxyServer"), (Value{REG_SZ, sz(":8080")}));
    createKey(HKEY_CURRENT_USER, kYahoo);
    EXPECT_EQ(Operations::SetYahooMessangerProxySettings(1, nullptr, 1, 0, nullptr, 0, 0),
              rigwright::kOk);
    EXPECT_EQ(value(HKEY_CURRENT_USER, kYahoo, "HTTP Proxy"), (Value{REG_SZ, sz("")}));
}

} // namespace
