#include "RegistryTree.h"

#include <algorithm>
#include <cstdio>

namespace testsupport {
namespace {

std::string valueText(DWORD type, const std::string& data)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        return std::string(data.c_str());
    }
    if (type == REG_DWORD && data.size() == 4) {
        DWORD value = 0;
        std::copy(data.begin(), data.end(), reinterpret_cast<char*>(&value));
        return std::to_string(value);
    }
    std::string hex;
    for (unsigned char c : data) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02x", c);
        hex += pair;
    }
    return "hex:" + hex;
}

void walk(HKEY key, const std::string& path, std::vector<std::string>& lines)
{
    if (!path.empty()) {
        lines.push_back(path);
    }
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameLength = sizeof name;
        std::string data(4096, '\0');
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValue(key, i, name, &nameLength, nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
            break;
        }
        data.resize(size);
        const std::string text = valueText(type, data);
        lines.push_back(nameLength == 0
                            ? path + " = " + text
                            : path + " [" + std::string(name, nameLength) + "] = " + text);
    }
    for (DWORD i = 0;; ++i) {
        char name[512];
        if (RegEnumKey(key, i, name, sizeof name) != ERROR_SUCCESS) {
            break;
        }
        HKEY sub = nullptr;
        if (RegOpenKeyEx(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            walk(sub, path.empty() ? name : path + "\\" + name, lines);
            RegCloseKey(sub);
        }
    }
}

} // namespace

std::vector<std::string> registryTree(HKEY root, const std::string& subKey)
{
    std::vector<std::string> lines;
    HKEY key = nullptr;
    if (RegOpenKeyEx(root, subKey.empty() ? nullptr : subKey.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return lines;
    }
    walk(key, subKey, lines);
    RegCloseKey(key);
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace testsupport
