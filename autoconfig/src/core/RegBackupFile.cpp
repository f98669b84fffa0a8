#include "core/RegBackupFile.h"

#include <platform/RegFile.h>

#include <cstdio>

namespace rigwright {

platform::Result<RegBackupFile> RegBackupFile::create(const std::string& path, const char* subKey)
{
    platform::Result<platform::TextFile> file =
        platform::TextFile::open(platform::DosPath(path), "w+");
    if (!file) {
        return file.error();
    }
    RegBackupFile backup(std::move(*file));
    backup.m_failed = !backup.m_file.printf("%s\n\n[HKEY_CURRENT_USER\\%s]\n",
                                            platform::regfile::kHeader, subKey);
    return backup;
}

void RegBackupFile::line(const char* name, const std::string& data)
{
    std::string out = "\"";
    out += name;
    out += "\"=";
    out += data;
    out += '\n';
    m_failed = !m_file.write(out) || m_failed;
}

void RegBackupFile::dword(const char* name, std::optional<DWORD> value)
{
    char digits[16];
    if (value) {
        std::snprintf(digits, sizeof digits, "%08x", *value);
    }
    line(name, value ? std::string("dword:") + digits : "-");
}

void RegBackupFile::shortDword(const char* name, std::optional<DWORD> value)
{
    char digits[16];
    if (value) {
        std::snprintf(digits, sizeof digits, "%x", *value);
    }
    line(name, value ? std::string("dword:") + digits : "-");
}

void RegBackupFile::text(const char* name, const std::optional<std::string>& value)
{
    if (!value) {
        line(name, "-");
        return;
    }
    std::string quoted = "\"";
    for (char c : *value) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    line(name, quoted);
}

void RegBackupFile::bytes(const char* name, const std::optional<std::string>& value)
{
    if (!value) {
        line(name, "-");
        return;
    }
    std::string list = "hex:";
    char pair[4];
    for (std::size_t i = 0; i < value->size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>((*value)[i]));
        list += i == 0 ? "" : ",";
        list += pair;
    }
    line(name, list);
}

void RegBackupFile::keys(std::string_view exported)
{
    m_failed = !m_file.write("\n") || !m_file.write(exported) || m_failed;
}

platform::Result<void> RegBackupFile::close()
{
    platform::Result<void> closed = m_file.close();
    if (closed && m_failed) {
        return platform::makeError(ERROR_WRITE_FAULT, "the backup file could not be written");
    }
    return closed;
}

std::optional<std::string> readValueBytes(HKEY key, const char* name)
{
    DWORD size = 0;
    if (key == nullptr ||
        RegQueryValueEx(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::string data(size, '\0');
    if (size != 0 &&
        RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS) {
        return std::nullopt;
    }
    data.resize(size);
    return data;
}

} // namespace rigwright
