#pragma once
// File operations over DOS paths, with Win32's names and result codes, and the
// text-mode writer (LF written as CR LF).

#include <platform/Environment.h>
#include <platform/Result.h>
#include <platform/WinTypes.h>

#include <cstdio>
#include <string>
#include <string_view>

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
// A symbolic link is reported as a reparse point, never as a folder (whatever it points
// to), so that a sweep that recurses into folders deletes the link instead of walking
// into its target.
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

struct WIN32_FIND_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};

// pattern: folder + "\*.*", "\*" or a single name; wildcards * and ? in the last
// component, matched without regard to case. A folder other than a drive's root lists
// "." and ".." first, as on Windows; the other entries follow in name order. Read-only
// is the owner's write bit; hidden means the name starts with a dot.
HANDLE FindFirstFile(LPCSTR pattern, WIN32_FIND_DATA* data) noexcept;
BOOL FindNextFile(HANDLE find, WIN32_FIND_DATA* data) noexcept;
BOOL FindClose(HANDLE find) noexcept;

DWORD GetFileAttributes(LPCSTR path) noexcept;
BOOL SetFileAttributes(LPCSTR path, DWORD attributes) noexcept;
BOOL DeleteFile(LPCSTR path) noexcept;
// The copy is written beside the target and renamed over it: a reader never sees half a
// file, and a link at the target is replaced instead of written through.
BOOL CopyFile(LPCSTR from, LPCSTR to, BOOL failIfExists) noexcept;
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2; // across file systems: copy, then delete
BOOL MoveFileEx(LPCSTR from, LPCSTR to, DWORD flags) noexcept; // replacing is atomic
BOOL CreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES) noexcept;
// Empty folders only. A symbolic link is removed as a link (by RemoveDirectory and by
// DeleteFile alike); what it points to is never touched.
BOOL RemoveDirectory(LPCSTR path) noexcept;

// Raw file handles, as far as the suite uses them. Share modes are accepted but not
// enforced (Linux has no mandatory sharing); read-only files refuse write access as on
// Windows, also for root. CloseHandle closes them.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
HANDLE CreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                  DWORD flags, HANDLE templateFile) noexcept;
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void* overlapped) noexcept;
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
               void* overlapped) noexcept;
DWORD SetFilePointer(HANDLE file, LONG distance, LPLONG distanceHigh, DWORD method) noexcept;
DWORD GetFileSize(HANDLE file, LPDWORD high) noexcept;
// Writes the file's data through to the disk (fsync), so that a rename that follows
// never leaves an empty file behind after a crash.
BOOL FlushFileBuffers(HANDLE file) noexcept;

namespace platform {

Result<std::string> readWholeFile(const DosPath& path);
// Writes bytes unchanged; replaces an existing file atomically (temporary + rename). A
// symbolic link in its place is replaced too, never written through; a read-only file
// is refused (ERROR_ACCESS_DENIED).
Result<void> writeWholeFile(const DosPath& path, std::string_view bytes);

// A host file outside the prefix (a file of the user's own desktop settings) replaced in
// one step: the bytes go to a file beside it, which gets mode, is flushed and renamed over
// target, and the folder is flushed, so that after a crash or a power loss target is the
// old file or the new one, never a part of either. A symbolic link at target is replaced
// itself: callers that mean to keep a link resolve it first.
Result<void> replaceHostFile(const HostPath& target, std::string_view bytes, unsigned mode);

// A file opened in text mode: every "\n" written is stored as "\r\n" (a "\r\n" passed
// in stays "\r\n"). mode follows fopen ("w", "w+", "a").
class TextFile {
public:
    TextFile() = default;
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
    TextFile(TextFile&& other) noexcept;
    TextFile& operator=(TextFile&& other) noexcept;

    static Result<TextFile> open(const DosPath& path, const char* mode);
    bool write(std::string_view text);
    bool printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    Result<void> close();
    bool isOpen() const { return m_file != nullptr; }

private:
    std::FILE* m_file = nullptr;
    bool m_lastWasCr = false;
};

} // namespace platform
