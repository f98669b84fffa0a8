#include "InstallFolder.h"

#include <common/FolderGuard.h>
#include <common/Settings.h>
#include <platform/Files.h>

#include <cstring>

namespace uninstall {

namespace {

std::string withoutTrailingSeparator(std::string folder)
{
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    return folder;
}

bool isLink(const std::string& path)
{
    const DWORD attributes = GetFileAttributes(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The main program as a file of its own in the folder (not a link, not a folder): the
// sign that the folder is an install folder at all.
bool holdsMainProgram(const std::string& folder)
{
    const DWORD attributes = GetFileAttributes((folder + "\\" + MainProgramFile).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// A listing need not begin with the folder's own and parent entries (a drive's root has
// none), so they are known by name.
bool isSelfOrParent(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

void deleteFiles(const std::string& folder)
{
    WIN32_FIND_DATA entry{};
    HANDLE find = FindFirstFile((folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if (isSelfOrParent(entry.cFileName) || entry.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY) {
            continue;
        }
        // A link is reported as a reparse point and deleted as a link; a read-only file
        // or one the system refuses stays, and with it the folder.
        DeleteFile((folder + "\\" + entry.cFileName).c_str());
    } while (FindNextFile(find, &entry));
    FindClose(find);
}

} // namespace

std::optional<std::string> InstallFolder::fromMainKey()
{
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    std::optional<std::string> path = key.readString(nullptr, MAX_PATH);
    if (!path) {
        return std::nullopt;
    }
    const std::size_t at = path->find(MainProgramFile);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    path->resize(at);
    return path;
}

FolderRemoval InstallFolder::remove(const std::string& installFolder)
{
    const std::string folder = withoutTrailingSeparator(installFolder);
    FolderRemoval removal;
    if (folder.empty()) {
        removal.outcome = FolderRemoval::Outcome::NotInstallFolder;
    } else if (folders::isProtectedFolder(folder)) {
        removal.outcome = FolderRemoval::Outcome::Protected;
    } else if (isLink(folder)) {
        removal.outcome = FolderRemoval::Outcome::SymbolicLink;
    } else if (!holdsMainProgram(folder)) {
        removal.outcome = FolderRemoval::Outcome::NotInstallFolder;
    } else {
        deleteFiles(folder);
        removal.folderRemoved = RemoveDirectory(folder.c_str()) != FALSE;
    }
    return removal;
}

} // namespace uninstall
