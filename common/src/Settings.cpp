#include <common/Settings.h>

#include <cstring>

namespace settings {

Key& Key::operator=(Key&& other) noexcept
{
    if (this != &other) {
        reset();
        m_key = other.m_key;
        m_error = other.m_error;
        other.m_key = nullptr;
    }
    return *this;
}

Key Key::open(HKEY root, const char* path, REGSAM access)
{
    Key key;
    key.m_error = RegOpenKeyEx(root, path, 0, access, &key.m_key);
    if (key.m_error != ERROR_SUCCESS) {
        key.m_key = nullptr;
    }
    return key;
}

Key Key::create(HKEY root, const char* path, REGSAM access)
{
    Key key;
    key.m_error = RegCreateKeyEx(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                 &key.m_key, nullptr);
    if (key.m_error != ERROR_SUCCESS) {
        key.m_key = nullptr;
    }
    return key;
}

void Key::reset()
{
    if (m_key != nullptr) {
        RegCloseKey(m_key);
        m_key = nullptr;
    }
}

std::optional<DWORD> Key::readDword(const char* name) const
{
    if (m_key == nullptr) {
        return std::nullopt;
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegQueryValueEx(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> Key::readString(const char* name, DWORD maxBytes) const
{
    if (m_key == nullptr) {
        return std::nullopt;
    }
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueEx(m_key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (maxBytes != 0 && size > maxBytes) {
        return std::nullopt; // as a fixed buffer of maxBytes would: ERROR_MORE_DATA
    }
    std::string text(size, '\0');
    if (size != 0 &&
        RegQueryValueEx(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
            ERROR_SUCCESS) {
        return std::nullopt;
    }
    text.resize(std::strlen(text.c_str())); // up to the first zero, as C callers read it
    return text;
}

LONG Key::writeDword(const char* name, DWORD value) const
{
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    return RegSetValueEx(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                         sizeof value);
}

LONG Key::writeString(const char* name, std::string_view value) const
{
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    std::string data(value);
    return RegSetValueEx(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>(data.size() + 1));
}

LONG Key::writeStringNoZero(const char* name, std::string_view value) const
{
    if (m_key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    return RegSetValueEx(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                         static_cast<DWORD>(value.size()));
}

std::optional<std::string> backupFolder()
{
    constexpr DWORD maxProgramPath = 260;
    constexpr const char* programFile = "Umbravia.exe";
    std::optional<std::string> program =
        Key::open(HKEY_LOCAL_MACHINE, MainKey, KEY_READ).readString(nullptr, maxProgramPath);
    if (!program || program->empty()) {
        return std::nullopt;
    }
    std::size_t at = program->find(programFile);
    return (at == std::string::npos ? *program : program->substr(0, at)) + "Backup";
}

std::optional<DWORD> readDword(HKEY root, const char* path, const char* name)
{
    return Key::open(root, path, KEY_READ).readDword(name);
}

std::optional<StringList> readList(HKEY root, const char* path)
{
    Key key = Key::open(root, path, KEY_READ);
    if (!key) {
        return std::nullopt;
    }
    StringList list;
    list.enabled = key.readDword(nullptr).value_or(0);
    if (readListEntries(key.get(), 257, 1024, list.entries) != ERROR_NO_MORE_ITEMS) {
        return std::nullopt;
    }
    return list;
}

LONG readListEntries(HKEY key, DWORD nameBytes, DWORD dataBytes, std::vector<std::string>& entries)
{
    std::vector<char> name(nameBytes);
    std::vector<BYTE> data(dataBytes);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = nameBytes;
        DWORD dataSize = dataBytes;
        DWORD type = 0;
        const LONG rc = RegEnumValue(key, index, name.data(), &nameLength, nullptr, &type,
                                     data.data(), &dataSize);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (type == REG_SZ && dataSize > 0 && data[0] != 0) {
            entries.emplace_back(reinterpret_cast<const char*>(data.data()),
                                 strnlen(reinterpret_cast<const char*>(data.data()), dataSize));
        }
    }
}

LONG saveList(HKEY root, const char* path, const StringList& list)
{
    return saveEntries(root, path, list.entries, list.enabled);
}

LONG saveEntries(HKEY root, const char* path, const std::vector<std::string>& entries,
                 std::optional<DWORD> enabled)
{
    SHDeleteKey(root, path);
    Key key = Key::create(root, path);
    if (!key) {
        return key.lastError();
    }
    if (enabled) {
        if (LONG rc = key.writeDword(nullptr, *enabled); rc != ERROR_SUCCESS) {
            return rc;
        }
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (LONG rc = key.writeString(std::to_string(i).c_str(), entries[i]); rc != ERROR_SUCCESS) {
            return rc;
        }
    }
    return ERROR_SUCCESS;
}

LONG enumerateEntries(HKEY key, std::vector<std::string>& entries)
{
    for (DWORD index = 0;; ++index) {
        char name[257];
        DWORD nameLength = sizeof name;
        BYTE data[MAX_PATH];
        DWORD dataSize = sizeof data;
        DWORD type = REG_NONE;
        const LONG rc =
            RegEnumValue(key, index, name, &nameLength, nullptr, &type, data, &dataSize);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (type == REG_SZ && dataSize > 0 && data[0] != 0) {
            entries.emplace_back(reinterpret_cast<const char*>(data),
                                 strnlen(reinterpret_cast<const char*>(data), dataSize));
        }
    }
}

} // namespace settings
