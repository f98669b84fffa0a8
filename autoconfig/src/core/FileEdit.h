#pragma once
// Editing another program's configuration file without ever losing it: the file is read
// whole, the edited text goes to a named temporary file beside it, which is flushed and
// then renamed over the target in one step. When anything fails the target stays as it
// was; when the rename itself fails the edited text is kept in the temporary file.

#include <platform/Result.h>
#include <platform/WinTypes.h>

#include <string>
#include <string_view>

namespace rigwright {

// The text shown when a file cannot be used: it names the file and the cause, and is
// at most 1024 characters long.
std::string fileErrorText(std::string_view path, LONG code);

// Opens the file for reading and writing (as the editors do: it must exist and be
// writable) and reads it whole. The error carries fileErrorText.
platform::Result<std::string> readForEdit(const std::string& path);

// Creates the folder and every missing folder above it; failures are left to the
// file operations that follow, which report them.
void createFolderPath(const std::string& folder);

// Creates (or truncates) the file and writes the bytes as they are, flushed.
platform::Result<void> writeNewFile(const std::string& path, std::string_view bytes);

// The temporary file of one edit. Created (or truncated) at once, so that a folder that
// refuses it is reported before anything else happens.
class ReplacementFile {
public:
    static platform::Result<ReplacementFile> create(const std::string& path);
    ~ReplacementFile();
    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&&) = delete;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Writes the bytes as they are, flushes, closes and renames the file over target.
    platform::Result<void> commit(std::string_view bytes, const std::string& target);

private:
    ReplacementFile(std::string path, HANDLE handle) : m_path(std::move(path)), m_handle(handle) {}
    void close();

    std::string m_path;
    HANDLE m_handle = nullptr;
};

// Reads, edits and replaces in one go: the common path of the file configurators.
// edit gets the whole text and returns the new one. openNote is added to the error text
// when the target cannot be opened.
template <typename Edit>
platform::Result<void> editFile(const std::string& target, const std::string& temporary,
                                Edit&& edit, std::string_view openNote = {})
{
    platform::Result<std::string> text = readForEdit(target);
    if (!text) {
        return platform::makeError(text.error().code, text.error().message + std::string(openNote));
    }
    platform::Result<ReplacementFile> replacement = ReplacementFile::create(temporary);
    if (!replacement) {
        return replacement.error();
    }
    return replacement->commit(edit(std::move(*text)), target);
}

} // namespace rigwright
