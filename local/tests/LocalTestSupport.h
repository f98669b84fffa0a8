#pragma once
// Helpers shared by the Local module's tests: a progress recorder, a notification
// counter, special folders in host form and small registry helpers.

#include "HostNotifier.h"
#include "TraceCleaner.h"

#include <common/HostMessages.h>
#include <platform/Environment.h>
#include <platform/KernelObjects.h>
#include <platform/Registry.h>
#include <platform/Window.h>

#include <QCoreApplication>

#include <TestHostWindow.h>
#include <TestSupport.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace localtest {

// Records the progress display's life: "open", each status text, "close".
class RecordingProgress : public local::ProgressSink {
public:
    void open() override { events.push_back("open"); }
    void setStatus(const std::string& text) override { events.push_back(text); }
    void close() override { events.push_back("close"); }
    std::vector<std::string> events;
};

class CountingNotifier : public local::HostNotifier {
public:
    void notify() override { ++count; }
    int count = 0;
};

inline std::filesystem::path hostPath(const std::string& dos)
{
    auto host = platform::toHostPath(dos);
    EXPECT_TRUE(host.ok()) << dos;
    return host.ok() ? *host : std::filesystem::path();
}

inline std::string specialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    EXPECT_TRUE(SHGetSpecialFolderPath(0, path, csidl, TRUE)) << csidl;
    return path;
}

inline std::filesystem::path hostSpecialFolder(int csidl)
{
    return hostPath(specialFolder(csidl));
}

inline std::filesystem::path hostTempFolder()
{
    char path[MAX_PATH] = {};
    GetTempPath(MAX_PATH, path);
    return hostPath(path);
}

inline bool keyExists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

inline void createKey(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyEx(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
}

inline void setString(HKEY root, const std::string& path, const char* name,
                      const std::string& value)
{
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyEx(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                  static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

inline void setDword(HKEY root, const std::string& path, const char* name, DWORD value)
{
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyEx(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

inline bool valueExists(HKEY root, const std::string& path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    const bool found =
        RegQueryValueEx(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

// Every name in a folder (recursively), relative to it, sorted.
inline std::vector<std::string> tree(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        names.push_back(std::filesystem::relative(it->path(), folder).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

using testsupport::TestHostWindow;

} // namespace localtest
