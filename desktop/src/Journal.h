#pragma once
// What the desktop targets looked like before they were pointed at the proxy, and what was
// written then: kept in a journal file in the prefix until each target is back, so that a
// host that ended without its exit step can be undone by the next start. The same record
// of one target is the target's backup file.
//
// The file is text with every variable field counted ("12:/home/a/x.js"), so paths and
// file contents of any bytes survive unchanged:
//   umbravia-desktop-journal 1
//   target firefox
//   file user.js <path> <mode, octal> <original or -> <written or ->
//   setting <schema> <key> <original or -> <written or ->
//   folder <path>   (made by set, removed again when empty)
// A damaged file is never overwritten: it holds the only copy of what was there.

#include <platform/Result.h>

#include <desktop/DesktopIntegration.h>

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace desktop {

struct FileRecord {
    std::string
        editor; // the edit that made the change: kioslaverc, user.js, prefs.js, environment.d
    std::filesystem::path path;
    unsigned mode = 0644;
    std::optional<std::string> original; // nothing: there was no such file
    std::optional<std::string> written;  // nothing: the file is only watched, never written
};

struct SettingRecord {
    std::string schema;
    std::string key;
    std::optional<std::string> original; // the user's value (GVariant text); nothing: default
    std::optional<std::string> written;  // nothing (a backup): restored whatever is there now
};

struct TargetRecord {
    Target target = Target::Gnome;
    std::vector<FileRecord> files;
    std::vector<SettingRecord> settings;
    // Folders set made for a file, outermost first: they go again when empty.
    std::vector<std::filesystem::path> madeFolders = {};

    FileRecord* file(const std::filesystem::path& path);
};

struct JournalData {
    std::vector<TargetRecord> targets;

    TargetRecord* find(Target target);
    void drop(Target target);
};

std::string formatJournal(const JournalData& data);
// The error names the byte where the text stops making sense.
platform::Result<JournalData> parseJournal(std::string_view text);

// The journal file of the prefix, held for one switch at a time: the constructor waits
// for the lock (a lock file beside the journal, so other processes of the prefix wait
// too) and reads the journal; the destructor lets go.
class JournalFile {
public:
    explicit JournalFile(std::filesystem::path file);
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Empty when the journal was absent or read well; otherwise why it cannot be used.
    const std::string& problem() const { return m_problem; }
    JournalData& data() { return m_data; }

    // Writes the journal in one step (flushed, renamed, folder flushed); removes the file
    // when no target is left in it. Refused while problem() is not empty.
    platform::Result<void> save();

private:
    std::filesystem::path m_file;
    std::unique_lock<std::mutex> m_threadLock;
    int m_lockFd = -1;
    std::string m_problem;
    JournalData m_data;
};

// The short name of a target in journal and backup files.
const char* targetKey(Target target);

} // namespace desktop
