// The targets kept in files: KDE's kioslaverc, Firefox's user.js (and the prefs.js it is
// copied into), the login environment's file of our own.

#include "ProxyEdits.h"
#include "TargetSettings.h"
#include "UserFiles.h"

#include <platform/Text.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace desktop {
namespace fs = std::filesystem;

namespace {

struct PlannedFile {
    const ProxyEdit* edit;
    fs::path path;
    unsigned newMode; // for a file that is made
    bool watched;     // read and put back, never written by set
};
using Plan = std::vector<PlannedFile>;

Result restoreFile(const FileRecord& record)
{
    const ProxyEdit* edit = proxyEdit(record.editor);
    if (edit == nullptr) {
        return failed("Cannot restore " + record.path.string() + ": the record names an edit (" +
                      record.editor + ") this version does not know.");
    }
    platform::Result<FileState> state = readUserFile(record.path);
    if (!state) {
        return failed(state.error().message);
    }
    const std::optional<std::string>& now = state->bytes;
    std::optional<std::string> wanted;
    unsigned mode = now ? state->mode : record.mode;
    if (!now) {
        if (!record.written) {
            return {}; // a watched file that is gone stays gone
        }
        wanted = record.original;
    } else if (record.written && *now == *record.written) {
        wanted = record.original; // untouched since: exactly what was there
        mode = record.mode;
    } else if (!record.written && now == record.original) {
        return {};
    } else {
        wanted = edit->revert(*now, record.original);
    }
    if (!wanted) {
        platform::Result<void> removed =
            now ? removeUserFile(record.path) : platform::Result<void>();
        return removed ? Result{} : failed(removed.error().message);
    }
    if (now == wanted && mode == state->mode) {
        return {};
    }
    platform::Result<void> written = writeUserFile(record.path, *wanted, mode);
    return written ? Result{} : failed(written.error().message);
}

// The folders above a file that do not exist yet, outermost first, unless the record has
// them already.
void recordMissingFolders(TargetRecord& record, const fs::path& folder)
{
    std::vector<fs::path> missing;
    std::error_code ec;
    for (fs::path at = folder; !at.empty() && at != at.root_path() && !fs::exists(at, ec);
         at = at.parent_path()) {
        missing.insert(missing.begin(), at);
    }
    for (const fs::path& made : missing) {
        if (std::find(record.madeFolders.begin(), record.madeFolders.end(), made) ==
            record.madeFolders.end()) {
            record.madeFolders.push_back(made);
        }
    }
}

class FileTarget : public TargetSettings {
public:
    using Detect = bool (*)();
    using Planner = Plan (*)();
    // A message when a program that would write the files back still runs.
    using Busy = std::string (*)(const TargetRecord&);

    FileTarget(Detect detect, Planner plan, Busy busy = nullptr)
        : m_detect(detect), m_plan(plan), m_busy(busy)
    {}

    bool detected() override { return m_detect(); }

    Result prepare(TargetRecord& record, unsigned port) override
    {
        m_planned.clear();
        for (const PlannedFile& file : m_plan()) {
            platform::Result<FileState> state = readUserFile(file.path);
            if (!state) {
                return failed(state.error().message);
            }
            FileRecord* entry = record.file(file.path);
            if (entry == nullptr) {
                record.files.push_back(FileRecord{file.edit->name, file.path,
                                                  state->bytes ? state->mode : file.newMode,
                                                  state->bytes, std::nullopt});
                entry = &record.files.back();
            }
            if (!file.watched) {
                entry->written = file.edit->apply(state->bytes.value_or(""), port);
                m_planned.push_back(file.path);
                recordMissingFolders(record, file.path.parent_path());
            }
        }
        return {};
    }

    Result apply(const TargetRecord& record) override
    {
        for (const FileRecord& file : record.files) {
            if (!file.written ||
                std::find(m_planned.begin(), m_planned.end(), file.path) == m_planned.end()) {
                continue;
            }
            platform::Result<FileState> state = readUserFile(file.path);
            if (!state) {
                return failed(state.error().message);
            }
            if (state->bytes == file.written) {
                continue;
            }
            platform::Result<void> written =
                writeUserFile(file.path, *file.written, state->bytes ? state->mode : file.mode);
            if (!written) {
                return failed(written.error().message);
            }
        }
        return {};
    }

    Result restore(const TargetRecord& record) override
    {
        // Asked first: restoring changes the files the answer may depend on.
        const std::string busy = m_busy != nullptr ? m_busy(record) : std::string();
        std::string problems;
        for (const FileRecord& file : record.files) {
            Result done = restoreFile(file);
            if (!done) {
                problems += (problems.empty() ? "" : "\n") + done.message;
            }
        }
        // Innermost first; a folder someone put a file into stays.
        for (auto folder = record.madeFolders.rbegin(); folder != record.madeFolders.rend();
             ++folder) {
            ::rmdir(folder->c_str());
        }
        if (!busy.empty()) {
            problems += (problems.empty() ? "" : "\n") + busy;
        }
        return problems.empty() ? Result{} : failed(problems);
    }

    Result capture(TargetRecord& record) override
    {
        for (const PlannedFile& file : m_plan()) {
            platform::Result<FileState> state = readUserFile(file.path);
            if (!state) {
                return failed(state.error().message);
            }
            record.files.push_back(FileRecord{file.edit->name, file.path,
                                              state->bytes ? state->mode : file.newMode,
                                              state->bytes, std::nullopt});
        }
        return {};
    }

private:
    Detect m_detect;
    Planner m_plan;
    Busy m_busy;
    std::vector<fs::path> m_planned;
};

// --- KDE ------------------------------------------------------------------------------------

fs::path kioslaverc()
{
    return configFolder() / "kioslaverc";
}

bool kdeDetected()
{
    std::error_code ec;
    if (fs::exists(kioslaverc(), ec) || std::getenv("KDE_FULL_SESSION") != nullptr) {
        return true;
    }
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    return desktops != nullptr && text::findNoCase(desktops, "KDE") != std::string_view::npos;
}

Plan kdePlan()
{
    return {{&KioslavercEdit, kioslaverc(), 0600, false}};
}

// --- Firefox ----------------------------------------------------------------------------------

bool firefoxDetected()
{
    return !firefoxProfiles().empty();
}

Plan firefoxPlan()
{
    Plan plan;
    for (const fs::path& profile : firefoxProfiles()) {
        plan.push_back({&UserJsEdit, profile / "user.js", 0600, false});
        // Firefox copies user.js into prefs.js while it runs: what it copied goes again.
        plan.push_back({&PrefsJsEdit, profile / "prefs.js", 0600, true});
    }
    return plan;
}

// Whether the lock was made before user.js was last written: a Firefox started before
// our block was added never read it, and writes back the user's own settings. Equal
// times count as after (file times are coarse).
bool startedBefore(const fs::path& lock, const fs::path& userJs)
{
    struct stat lockStat {};
    struct stat userJsStat {};
    if (::lstat(lock.c_str(), &lockStat) != 0 || ::stat(userJs.c_str(), &userJsStat) != 0) {
        return false;
    }
    const timespec& locked = lockStat.st_mtim;
    const timespec& written = userJsStat.st_mtim;
    return locked.tv_sec < written.tv_sec ||
           (locked.tv_sec == written.tv_sec && locked.tv_nsec < written.tv_nsec);
}

// A Firefox that read our block writes the proxy preferences back into prefs.js when it
// ends, after we put them back.
std::string firefoxBusy(const TargetRecord& record)
{
    std::string message;
    for (const FileRecord& file : record.files) {
        if (file.editor != PrefsJsEdit.name) {
            continue;
        }
        const fs::path profile = file.path.parent_path();
        if (firefoxHolding(profile) != 0 && !startedBefore(profile / "lock", profile / "user.js")) {
            message += (message.empty() ? "" : "\n") +
                       std::string("Firefox is still running with the profile ") +
                       profile.string() +
                       ": when it ends it writes the proxy settings back. Close Firefox; its "
                       "settings are put back at the next switch or start of Umbravia.";
        }
    }
    return message;
}

// --- the login environment -------------------------------------------------------------------

bool environmentDetected()
{
    std::error_code ec;
    for (const char* generator :
         {"/usr/lib/systemd/user-environment-generators/30-systemd-environment-d-generator",
          "/lib/systemd/user-environment-generators/30-systemd-environment-d-generator"}) {
        if (fs::exists(generator, ec)) {
            return true;
        }
    }
    return fs::is_directory(configFolder() / "environment.d", ec);
}

Plan environmentPlan()
{
    return {{&EnvironmentEdit, configFolder() / "environment.d" / "90-umbravia-proxy.conf", 0644,
             false}};
}

// --- profiles.ini -------------------------------------------------------------------------------

void addProfile(std::vector<fs::path>& profiles, const fs::path& root, const std::string& path,
                const std::string& isRelative)
{
    if (path.empty()) {
        return;
    }
    const fs::path folder = isRelative != "0" && path[0] != '/' ? root / path : fs::path(path);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        return;
    }
    const fs::path canonical = fs::weakly_canonical(folder, ec);
    for (const fs::path& known : profiles) {
        if (fs::weakly_canonical(known, ec) == canonical) {
            return;
        }
    }
    profiles.push_back(folder.lexically_normal());
}

void readProfilesIni(std::vector<fs::path>& profiles, const fs::path& root)
{
    platform::Result<FileState> ini = readUserFile(root / "profiles.ini");
    if (!ini || !ini->bytes) {
        return;
    }
    std::string_view rest = *ini->bytes;
    bool inProfile = false;
    std::string path;
    std::string isRelative = "1";
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = text::trim(rest.substr(0, end), " \t\r");
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.starts_with('[')) {
            if (inProfile) {
                addProfile(profiles, root, path, isRelative);
            }
            // [Profile0], [Profile1], ...; [Install…] and [General] name no profile of their own.
            inProfile = line.starts_with("[Profile");
            path.clear();
            isRelative = "1";
        } else if (inProfile && line.starts_with("Path=")) {
            path = line.substr(5);
        } else if (inProfile && line.starts_with("IsRelative=")) {
            isRelative = line.substr(11);
        }
    }
    if (inProfile) {
        addProfile(profiles, root, path, isRelative);
    }
}

} // namespace

std::vector<fs::path> firefoxProfiles()
{
    const fs::path home = homeFolder();
    std::vector<fs::path> profiles;
    for (const fs::path& root :
         {home / ".mozilla" / "firefox",
          home / "snap" / "firefox" / "common" / ".mozilla" / "firefox",
          home / ".var" / "app" / "org.mozilla.firefox" / ".mozilla" / "firefox"}) {
        readProfilesIni(profiles, root);
    }
    return profiles;
}

int firefoxHolding(const fs::path& profile)
{
    // The lock is a symbolic link to "<address>:+<process id>" while Firefox runs.
    std::error_code ec;
    const fs::path target = fs::read_symlink(profile / "lock", ec);
    if (ec) {
        return 0;
    }
    const std::string text = target.string();
    const std::size_t plus = text.rfind('+');
    if (plus == std::string::npos) {
        return 0;
    }
    char* end = nullptr;
    const long pid = std::strtol(text.c_str() + plus + 1, &end, 10);
    if (end == text.c_str() + plus + 1 || *end != '\0' || pid <= 0 || pid > 0x3fffffff) {
        return 0;
    }
    const bool alive = ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
    return alive ? static_cast<int>(pid) : 0;
}

std::unique_ptr<TargetSettings> kdeSettings()
{
    return std::make_unique<FileTarget>(kdeDetected, kdePlan);
}

std::unique_ptr<TargetSettings> firefoxSettings()
{
    return std::make_unique<FileTarget>(firefoxDetected, firefoxPlan, firefoxBusy);
}

std::unique_ptr<TargetSettings> environmentSettings()
{
    return std::make_unique<FileTarget>(environmentDetected, environmentPlan);
}

std::unique_ptr<TargetSettings> targetSettings(Target target)
{
    switch (target) {
    case Target::Gnome:
        return gnomeSettings();
    case Target::Kde:
        return kdeSettings();
    case Target::Firefox:
        return firefoxSettings();
    case Target::Environment:
        return environmentSettings();
    }
    return kdeSettings();
}

} // namespace desktop
