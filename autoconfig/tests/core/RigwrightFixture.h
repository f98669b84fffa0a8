#pragma once
// Shared fixture of the configurator tests: a temporary prefix with the programs'
// uninstall entries, keys and files, a scripted message-box presenter, and readers for
// what the operations leave behind.

#include "TestSupport.h"

#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Registry.h>

#include <core/Operations.h>

#include <optional>
#include <string>

namespace rigtest {

namespace fs = std::filesystem;

inline constexpr const char* kIESettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr const char* kIEConnections =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
inline constexpr const char* kDefaultConnections =
    ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
inline constexpr const char* kYahoo = "Software\\Yahoo\\Pager";
inline constexpr const char* kMsn = "Software\\Microsoft\\MSNMessenger";
inline constexpr const char* kCute = "Software\\GlobalSCAPE\\CuteFTP 5.0\\CuteFTP";

struct Value {
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const Value&) const = default;
};

inline void PrintTo(const Value& v, std::ostream* out)
{
    *out << "type " << v.type << " data ";
    for (unsigned char c : v.data) {
        *out << (c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c))
                                       : "\\x" + std::to_string(c));
    }
}

// A DWORD's four stored bytes; a string's bytes with the terminating zero.
inline std::string dword(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), 4);
}
inline std::string sz(const std::string& text)
{
    return std::string(text.c_str(), text.size() + 1);
}

class RigwrightTest : public testsupport::PrefixTest {
protected:
    void TearDown() override { platform::setVersionPlatformForTests(false); }

    // --- registry ---------------------------------------------------------------
    static void createKey(HKEY root, const char* path)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static void setValue(HKEY root, const char* path, const char* name, DWORD type,
                         const std::string& data)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static void setString(HKEY root, const char* path, const char* name, const std::string& text)
    {
        setValue(root, path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
    }
    static void setDword(HKEY root, const char* path, const char* name, DWORD value)
    {
        setValue(root, path, name, REG_DWORD, dword(value));
    }
    static std::optional<Value> value(HKEY root, const char* path, const char* name)
    {
        HKEY key = nullptr;
        if (RegOpenKeyEx(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        Value v;
        DWORD size = 0;
        LONG rc = RegQueryValueEx(key, name, nullptr, &v.type, nullptr, &size);
        if (rc == ERROR_SUCCESS) {
            v.data.resize(size);
            rc = RegQueryValueEx(key, name, nullptr, &v.type,
                                 reinterpret_cast<BYTE*>(v.data.data()), &size);
        }
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? std::optional(v) : std::nullopt;
    }
    static void install(const char* uninstallKey, const std::string& uninstallString)
    {
        std::string path =
            std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + uninstallKey;
        setString(HKEY_LOCAL_MACHINE, path.c_str(), "UninstallString", uninstallString);
    }

    // --- files (DOS paths) --------------------------------------------------------
    static fs::path host(const std::string& dos)
    {
        auto path = platform::toHostPath(dos);
        EXPECT_TRUE(path.ok()) << dos;
        return path.ok() ? *path : fs::path();
    }
    static void writeDos(const std::string& dos, const std::string& bytes)
    {
        fs::path path = host(dos);
        fs::create_directories(path.parent_path());
        testsupport::writeFile(path, bytes);
    }
    static std::string readDos(const std::string& dos) { return testsupport::readFile(host(dos)); }
    static bool existsDos(const std::string& dos) { return fs::exists(host(dos)); }
    static std::string appData()
    {
        char path[MAX_PATH] = {};
        EXPECT_TRUE(SHGetSpecialFolderPath(0, path, CSIDL_APPDATA, TRUE));
        return path;
    }

    // --- the programs as the tests install them ----------------------------------
    static constexpr const char* kOperaIni = "C:\\Program Files\\Opera\\Opera6.ini";
    static constexpr const char* kMircIni = "C:\\Program Files\\mIRC\\mirc.ini";
    static constexpr const char* kUmbravia = "C:\\Program Files\\Umbravia\\Umbravia.exe";
    static constexpr const char* kBackup = "C:\\Program Files\\Umbravia\\Backup";

    static void installOpera(const std::string& ini)
    {
        install("Opera", "C:\\Program Files\\Opera\\uninst\\Opera.exe /uninstall");
        writeDos(kOperaIni, ini);
    }
    static void installMirc(const std::string& ini)
    {
        install("mIRC", "\"C:\\Program Files\\mIRC\\mirc.exe\" -uninstall");
        writeDos(kMircIni, ini);
    }
    static std::string wsFtpIni() { return appData() + "\\Ipswitch\\WS_FTP\\Sites\\firewall.ini"; }
    static void installWsFtp()
    {
        install("WS_FTP Pro", "C:\\Program Files\\WS_FTP Pro\\unins.exe");
    }
    static std::string prefsJs()
    {
        return appData() + "\\Mozilla\\Profiles\\default\\x1y2z3.slt\\prefs.js";
    }
    static void installNetscape(const std::string& prefs)
    {
        install("Netscape (7.0)", "C:\\Program Files\\Netscape\\uninstall.exe");
        writeDos(prefsJs(), prefs);
    }
    static void installUmbravia()
    {
        setString(HKEY_LOCAL_MACHINE, "Software\\Kestrani\\Hollowmere", nullptr, kUmbravia);
    }

    platform::ScopedScriptedPresenter m_boxes;
};

} // namespace rigtest
