#pragma once
// Helpers shared by the environment, file and module pieces (not part of the interface).

#include <platform/Environment.h>
#include <platform/Result.h>

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

namespace platform::detail {

// How the last component of a DOS path is treated when it is a symbolic link.
enum class LastLink {
    Follow, // the caller opens, lists or reads through it: it must stay inside drive C:
    Keep,   // the caller works on the link itself (attributes, delete, rename)
};

// DOS path -> host path, with the rules of toHostPath. Every symbolic link met inside
// drive C: is checked before it is followed: its target must stay inside drive C:,
// otherwise the path is refused with ERROR_ACCESS_DENIED.
Result<HostPath> resolveDosPath(std::string_view dosPath, LastLink last);

// The canonical form of the prefix's drive_c (cached per prefix).
HostPath canonicalDriveC();
bool isInside(const HostPath& path, const HostPath& folder);

// The Win32 code for an errno value; ENOENT becomes ERROR_PATH_NOT_FOUND when the
// folder of hostPath is missing as well, else ERROR_FILE_NOT_FOUND.
DWORD win32Error(int err, const HostPath& hostPath = {});
// Sets the thread's last error from a failed Result and returns FALSE.
BOOL failWith(const Error& error);
BOOL failWithErrno(int err, const HostPath& hostPath = {});

// Copies text with its terminating zero into a Win32 buffer of size bytes. Returns the
// length without the zero, or, when the buffer is too small, the size needed with the
// zero (the GetWindowsDirectory convention).
DWORD copyOut(const std::string& text, LPSTR buffer, DWORD size);

void resetPathCaches();

// Win32 attributes of a directory entry (lstat data): links are reparse points only.
DWORD attributesOf(const struct stat& st, const std::string& name);
bool isReadOnly(const struct stat& st);

// Writes a new file beside target through fill(fd) (false with errno set on failure) and
// renames it over target in one step, so that readers see the old or the new file, never
// a half-written one. mode applies to the new file; noReplace fails with
// ERROR_FILE_EXISTS when target exists by then.
Result<void> replaceFile(const HostPath& target, const std::function<bool(int)>& fill, mode_t mode,
                         bool noReplace);

// The running program's DOS path (from SetProcessArguments, else /proc/self/exe).
DosPath programDosPath();

} // namespace platform::detail
