#include "core/FileEdit.h"

#include <platform/Files.h>

#include <utility>

namespace rigwright {

namespace {

constexpr std::size_t kMaxErrorText = 1024;

const char* causeOf(LONG code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
        return "the file does not exist";
    case ERROR_PATH_NOT_FOUND:
        return "its folder does not exist";
    case ERROR_ACCESS_DENIED:
        return "access was denied (the file may be read-only or a folder)";
    case ERROR_SHARING_VIOLATION:
        return "another program is using it";
    case ERROR_TOO_MANY_OPEN_FILES:
        return "too many files are open";
    case ERROR_DISK_FULL:
        return "the disk is full";
    case ERROR_WRITE_FAULT:
        return "it could not be written";
    case ERROR_READ_FAULT:
        return "it could not be read";
    case ERROR_INVALID_NAME:
        return "the name is not valid";
    case ERROR_FILENAME_EXCED_RANGE:
        return "the name is too long";
    default:
        return nullptr;
    }
}

platform::Error fileError(const std::string& path, LONG code)
{
    return platform::makeError(code, fileErrorText(path, code));
}

} // namespace

std::string fileErrorText(std::string_view path, LONG code)
{
    std::string text = "The file ";
    text += path;
    text += " could not be used: ";
    if (const char* cause = causeOf(code)) {
        text += cause;
    } else {
        text += "system error " + std::to_string(code);
    }
    text += '.';
    if (text.size() > kMaxErrorText) {
        text.resize(kMaxErrorText);
    }
    return text;
}

platform::Result<std::string> readForEdit(const std::string& path)
{
    HANDLE file = CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return fileError(path, static_cast<LONG>(GetLastError()));
    }
    std::string text;
    char buffer[16384];
    DWORD got = 0;
    BOOL ok = TRUE;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) {
        text.append(buffer, got);
    }
    LONG code = ok ? ERROR_SUCCESS : static_cast<LONG>(GetLastError());
    CloseHandle(file);
    if (!ok) {
        return fileError(path, code);
    }
    return text;
}

void createFolderPath(const std::string& folder)
{
    // From the first separator after the drive ("C:\\") on: each folder on the way.
    for (std::size_t cut = folder.find('\\', 3); cut != std::string::npos;
         cut = folder.find('\\', cut + 1)) {
        CreateDirectory(folder.substr(0, cut).c_str(), nullptr);
    }
    CreateDirectory(folder.c_str(), nullptr);
}

platform::Result<void> writeNewFile(const std::string& path, std::string_view bytes)
{
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return fileError(path, static_cast<LONG>(GetLastError()));
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              FlushFileBuffers(file);
    LONG code = ok ? ERROR_SUCCESS : static_cast<LONG>(GetLastError());
    CloseHandle(file);
    if (!ok) {
        return fileError(path, code);
    }
    return {};
}

platform::Result<ReplacementFile> ReplacementFile::create(const std::string& path)
{
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return fileError(path, static_cast<LONG>(GetLastError()));
    }
    return ReplacementFile(path, file);
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_handle(std::exchange(other.m_handle, nullptr))
{}

ReplacementFile::~ReplacementFile()
{
    close();
}

void ReplacementFile::close()
{
    if (m_handle != nullptr) {
        CloseHandle(m_handle);
        m_handle = nullptr;
    }
}

platform::Result<void> ReplacementFile::commit(std::string_view bytes, const std::string& target)
{
    if (m_handle == nullptr) {
        return fileError(m_path, ERROR_INVALID_HANDLE);
    }
    DWORD written = 0;
    if (!WriteFile(m_handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        !FlushFileBuffers(m_handle)) {
        LONG code = static_cast<LONG>(GetLastError());
        close();
        return fileError(m_path, code);
    }
    close();
    // One step: the target is either the old file or the new one, never missing.
    if (!MoveFileEx(m_path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return fileError(target, static_cast<LONG>(GetLastError()));
    }
    return {};
}

} // namespace rigwright
