#pragma once
// A registry-editor file that keeps one key's proxy values for a later restore
// ("RegEdit.exe /s FILE"). Written through the text-mode writer: LF reaches the disk
// as CR LF. A value that does not exist is written in the deletion form ("name"=-), so
// that the restore brings back its absence instead of inventing a value.

#include <common/Settings.h>
#include <platform/Files.h>
#include <platform/Registry.h>
#include <platform/Result.h>

#include <optional>
#include <string>
#include <string_view>

namespace rigwright {

class RegBackupFile {
public:
    // Creates (or truncates) the file and writes the header, a blank line and the key
    // line ("[HKEY_CURRENT_USER\<subKey>]").
    static platform::Result<RegBackupFile> create(const std::string& path, const char* subKey);

    // "name"=dword:0000001f - a DWORD in eight hexadecimal digits.
    void dword(const char* name, std::optional<DWORD> value);
    // "name"=dword:1f - a DWORD without leading zeros.
    void shortDword(const char* name, std::optional<DWORD> value);
    // "name"="text", with \ and " escaped so the file always imports.
    void text(const char* name, const std::optional<std::string>& value);
    // "name"=hex:90,1f,00,00 - the stored bytes as they are.
    void bytes(const char* name, const std::optional<std::string>& value);

    // Whole key sections as the registry export writes them, after a blank line.
    void keys(std::string_view exported);

    platform::Result<void> close();

    // The whole file for HKEY_CURRENT_USER\<subKey>: lines(file, key) writes the value
    // lines when the key opens. False when the file could not be written.
    template <typename Lines>
    static bool writeKey(const std::string& path, const char* subKey, Lines&& lines)
    {
        platform::Result<RegBackupFile> backup = create(path, subKey);
        if (!backup) {
            return false;
        }
        settings::Key key = settings::Key::open(HKEY_CURRENT_USER, subKey, KEY_READ);
        if (key) {
            lines(*backup, key);
        }
        return backup->close().ok();
    }

private:
    explicit RegBackupFile(platform::TextFile file) : m_file(std::move(file)) {}
    void line(const char* name, const std::string& data);

    platform::TextFile m_file;
    bool m_failed = false;
};

// A value's stored bytes, or nothing when it cannot be read.
std::optional<std::string> readValueBytes(HKEY key, const char* name);

} // namespace rigwright
