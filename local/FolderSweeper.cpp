#include "FolderSweeper.h"

#include "HostNotifier.h"

#include <strings.h>

#include <cstring>
#include <vector>

namespace local {

namespace {

constexpr const char* DesktopIni = "desktop.ini";
constexpr const char* IndexDat = "index.dat";
constexpr DWORD WipeOffset = 64;
constexpr DWORD WipeBlock = 10000;

bool sameName(const char* a, const char* b)
{
    return ::strcasecmp(a, b) == 0;
}

} // namespace

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        return folder + name;
    }
    return folder + "\\" + name;
}

bool FolderSweeper::sweep(const std::string& folder, SweepOptions options)
{
    const DWORD attributes = GetFileAttributes(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
    WIN32_FIND_DATA entry{};
    HANDLE find = FindFirstFile(joinPath(folder, "*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return false;
    }
    do {
        if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) {
            continue;
        }
        if (!options.includeDesktopIni && sameName(entry.cFileName, DesktopIni)) {
            continue;
        }
        removeEntry(joinPath(folder, entry.cFileName), entry, options);
    } while (FindNextFile(find, &entry));
    FindClose(find);
    m_notifier.notify();
    return true;
}

void FolderSweeper::removeEntry(const std::string& path, const WIN32_FIND_DATA& entry,
                                SweepOptions options)
{
    const DWORD attributes = entry.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // A link goes as a link: whatever it points to is not part of this folder.
        if (!DeleteFile(path.c_str())) {
            RemoveDirectory(path.c_str());
        }
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributes(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        sweep(path, options);
        RemoveDirectory(path.c_str());
        return;
    }
    if (options.wipeIndexDat && sameName(entry.cFileName, IndexDat)) {
        wipeIndexDat(path);
    }
    DeleteFile(path.c_str());
}

void FolderSweeper::wipeIndexDat(const std::string& path)
{
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const DWORD size = GetFileSize(file, nullptr);
    if (size != 0xFFFFFFFF && size > WipeOffset &&
        SetFilePointer(file, static_cast<LONG>(WipeOffset), nullptr, FILE_BEGIN) == WipeOffset) {
        const std::vector<char> zeros(WipeBlock, 0);
        for (DWORD left = size - WipeOffset; left > 0;) {
            const DWORD block = left < WipeBlock ? left : WipeBlock;
            DWORD written = 0;
            if (!WriteFile(file, zeros.data(), block, &written, nullptr) || written == 0) {
                break;
            }
            left -= written;
        }
    }
    CloseHandle(file);
}

} // namespace local
