#pragma once
// Registry-editor files (.reg): import and export, as RegEdit.exe and the configuration
// backup use them.
//
// Import reads "Windows Registry Editor Version 5.00" and "REGEDIT4" files (ANSI, UTF-8 or
// UTF-16 with a byte-order mark): [KEY] lines with full root names, [-KEY] to delete a key
// with its subtree, "name"="text" (escapes \\ and \"), @= for the unnamed value,
// dword:1f, hex:01,02, hex(N):.. for any other type, "name"=- to delete a value, a
// trailing backslash to continue a hex list, comments (;) and blank lines. A file is
// applied whole or not at all: the first malformed line stops it with its line number,
// before anything is written.
//
// Export writes the key and its subkeys depth first in creation order, in the 5.00 form
// with CR LF line ends and a blank line after each key. Strings that are not a clean
// zero-terminated text go out as hex(1): so nothing is lost. hex(N) lists carry the
// stored bytes as they are: this registry keeps narrow strings, so an export imports
// back byte for byte.

#include <platform/Result.h>
#include <platform/WinTypes.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace platform::regfile {

inline constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
inline constexpr const char* kHeaderRegedit4 = "REGEDIT4";

// "HKEY_CURRENT_USER\Software\X" (or HKLM, HKCU, HKCR, HKU) -> root and subkey path.
bool splitKeyName(std::string_view fullName, HKEY& root, std::string& subKey);

Result<void> importText(std::string_view text);
Result<void> importFile(const std::filesystem::path& file);

// The .reg text of a key and all its subkeys (the key's full name, as above).
Result<std::string> exportText(std::string_view fullKeyName);
// Writes that text to the file, replacing it whole (never a half-written file).
Result<void> exportFile(const std::filesystem::path& file, std::string_view fullKeyName);

} // namespace platform::regfile
