// The process snapshot, read from /proc.

#include "Handles.h"

#include <platform/Environment.h>
#include <platform/Processes.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
namespace {

class SnapshotObject : public detail::KernelObject {
public:
    explicit SnapshotObject(std::vector<PROCESSENTRY32> entries)
        : KernelObject(detail::HandleKind::Snapshot), m_entries(std::move(entries))
    {}
    // The entry at the cursor, then the cursor moves on; false after the last one.
    bool next(PROCESSENTRY32* entry, bool rewind)
    {
        std::lock_guard lock(m_mutex);
        if (rewind) {
            m_cursor = 0;
        }
        if (m_cursor >= m_entries.size()) {
            return false;
        }
        *entry = m_entries[m_cursor++];
        return true;
    }

private:
    std::mutex m_mutex; // guards m_cursor
    std::vector<PROCESSENTRY32> m_entries;
    std::size_t m_cursor = 0;
};

std::string readSmallFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string text(4096, '\0');
    ssize_t n = ::read(fd, text.data(), text.size());
    ::close(fd);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

std::string baseName(std::string path)
{
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The program's file name: from its executable when we may read the link, else from its
// first argument, else the kernel's (shortened) command name.
std::string programName(const std::string& proc, const std::string& comm)
{
    char target[4096];
    ssize_t n = ::readlink((proc + "/exe").c_str(), target, sizeof target - 1);
    if (n > 0) {
        std::string exe(target, static_cast<std::size_t>(n));
        const std::string deleted = " (deleted)";
        if (exe.size() > deleted.size() && exe.ends_with(deleted)) {
            exe.resize(exe.size() - deleted.size());
        }
        return baseName(exe);
    }
    std::string cmdline = readSmallFile(proc + "/cmdline");
    if (!cmdline.empty() && cmdline[0] != '\0') {
        return baseName(cmdline.c_str());
    }
    return comm;
}

bool readEntry(const std::string& pidText, PROCESSENTRY32* entry)
{
    std::string proc = "/proc/" + pidText;
    std::string stat = readSmallFile(proc + "/stat");
    std::size_t open = stat.find('(');
    std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) {
        return false;
    }
    std::string comm = stat.substr(open + 1, close - open - 1);
    // After ")": state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime
    // stime cutime cstime priority nice num_threads ...
    std::vector<std::string> fields;
    std::size_t pos = close + 2;
    while (pos < stat.size() && fields.size() < 18) {
        std::size_t blank = stat.find(' ', pos);
        fields.push_back(stat.substr(pos, blank - pos));
        if (blank == std::string::npos) {
            break;
        }
        pos = blank + 1;
    }
    if (fields.size() < 18 || fields[0] == "Z") {
        return false;
    }
    std::memset(entry, 0, sizeof *entry);
    entry->dwSize = sizeof *entry;
    entry->cntUsage = 1;
    entry->th32ProcessID = static_cast<DWORD>(std::strtoul(pidText.c_str(), nullptr, 10));
    entry->th32ParentProcessID = static_cast<DWORD>(std::strtoul(fields[1].c_str(), nullptr, 10));
    entry->cntThreads = static_cast<DWORD>(std::strtoul(fields[17].c_str(), nullptr, 10));
    entry->pcPriClassBase = 8;
    std::string name = programName(proc, comm);
    std::snprintf(entry->szExeFile, sizeof entry->szExeFile, "%s", name.c_str());
    return true;
}

BOOL step(HANDLE snapshot, LPPROCESSENTRY32 entry, bool rewind) noexcept
{
    auto object = detail::lookupHandleAs<SnapshotObject>(snapshot, detail::HandleKind::Snapshot);
    if (!object) {
        return FALSE;
    }
    if (entry == nullptr || entry->dwSize < sizeof(PROCESSENTRY32)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (!object->next(entry, rewind)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    return TRUE;
}

} // namespace
} // namespace platform

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD) noexcept
{
    if ((flags & TH32CS_SNAPPROCESS) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    try {
        std::vector<PROCESSENTRY32> entries;
        std::error_code ec;
        for (const auto& dir : std::filesystem::directory_iterator("/proc", ec)) {
            std::string name = dir.path().filename().string();
            if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            PROCESSENTRY32 entry;
            if (platform::readEntry(name, &entry)) { // a process may end while we look
                entries.push_back(entry);
            }
        }
        if (ec) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        return platform::detail::registerHandle(
            std::make_shared<platform::SnapshotObject>(std::move(entries)));
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
}

namespace platform {

bool runsInThisPrefix(DWORD processId)
{
    try {
        const std::string proc = "/proc/" + std::to_string(processId);
        std::ifstream in(proc + "/environ", std::ios::binary);
        if (!in) {
            return false;
        }
        std::string prefixText;
        std::string homeText;
        for (std::string entry; std::getline(in, entry, '\0');) {
            if (entry.starts_with("UMBRAVIA_PREFIX=")) {
                prefixText = entry.substr(16);
            } else if (entry.starts_with("HOME=")) {
                homeText = entry.substr(5);
            }
        }
        HostPath theirs;
        if (!prefixText.empty()) {
            theirs = prefixText;
            if (theirs.is_relative()) {
                std::error_code ec;
                theirs = std::filesystem::read_symlink(proc + "/cwd", ec) / theirs;
            }
        } else if (!homeText.empty()) {
            theirs = HostPath(homeText) / ".local/share/umbravia";
        } else {
            return false;
        }
        std::error_code theirError;
        std::error_code ourError;
        const HostPath a = std::filesystem::weakly_canonical(theirs, theirError);
        const HostPath b = std::filesystem::weakly_canonical(prefix(), ourError);
        return !theirError && !ourError && a == b;
    } catch (...) {
        return false;
    }
}

} // namespace platform

BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry) noexcept
{
    return platform::step(snapshot, entry, true);
}

BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry) noexcept
{
    return platform::step(snapshot, entry, false);
}
