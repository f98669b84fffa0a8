#pragma once
// The guard of every bulk deletion the suite runs on a folder named by the registry (the
// trace cleaner's custom folders, the uninstall helper's install folder): one wrong or
// hostile entry must not empty the machine.

#include <string>

namespace folders {

// Whether files must not be deleted in bulk from the DOS folder: it is, or holds, the root
// of the file system, the environment folder, drive C:, the user's profile or the user's
// home folder (symbolic links on the way resolved first). A folder that cannot be
// resolved at all is not protected: it cannot be listed either.
bool isProtectedFolder(const std::string& folder);

} // namespace folders
