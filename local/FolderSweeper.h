#pragma once
// The folder sweep: removes the contents of a folder (never the folder itself), folders
// below it included, with the options its caller chooses.

#include <platform/Files.h>

#include <string>

namespace local {

class HostNotifier;

struct SweepOptions {
    bool includeDesktopIni = false; // "desktop.ini" is kept unless this is set
    bool wipeIndexDat = false;      // "index.dat" is overwritten before it is deleted
};

class FolderSweeper {
public:
    explicit FolderSweeper(HostNotifier& notifier) : m_notifier(notifier) {}

    // False when the folder cannot be listed (or is itself a symbolic link, which is
    // never followed). Single entries that cannot be removed are passed over.
    bool sweep(const std::string& folder, SweepOptions options);

    // Overwrites every byte of the file from offset 64 to its end with zero bytes, in
    // blocks of 10,000 bytes; a file of 64 bytes or less is left as it is.
    static void wipeIndexDat(const std::string& path);

private:
    void removeEntry(const std::string& path, const WIN32_FIND_DATA& entry, SweepOptions options);

    HostNotifier& m_notifier;
};

// folder + "\" + name, without doubling a separator the folder already ends with.
std::string joinPath(const std::string& folder, const std::string& name);

} // namespace local
