#include "Journal.h"
#include "TargetSettings.h"
#include "UserFiles.h"

#include <common/Settings.h>
#include <platform/Environment.h>

#include <desktop/DesktopIntegration.h>

#include <exception>

namespace desktop {
namespace fs = std::filesystem;

namespace {

constexpr const char* kJournalName = "desktop-journal";

Result unexpected(Target target, const std::exception& error)
{
    return failed(std::string(targetName(target)) + ": " + error.what());
}

Result setLocked(JournalFile& journal, TargetSettings& settings, Target target, unsigned port)
{
    if (!journal.problem().empty()) {
        return failed(journal.problem());
    }
    JournalData& data = journal.data();
    if (data.find(target) == nullptr) {
        data.targets.push_back(TargetRecord{target, {}, {}, {}});
    }
    // Recorded before anything changes: the journal is on disk first.
    Result prepared = settings.prepare(*data.find(target), port);
    if (!prepared) {
        // A record that holds nothing written yet is of no use.
        TargetRecord* record = data.find(target);
        if (record->files.empty() && record->settings.empty()) {
            data.drop(target);
        }
        return prepared;
    }
    if (platform::Result<void> saved = journal.save(); !saved) {
        return failed(saved.error().message);
    }
    Result applied = settings.apply(*data.find(target));
    if (!applied) {
        // Nothing left half done: what was written goes back.
        if (settings.restore(*data.find(target))) {
            data.drop(target);
            (void)journal.save();
        }
    }
    return applied;
}

Result unsetLocked(JournalFile& journal, Target target)
{
    if (!journal.problem().empty()) {
        return failed(journal.problem());
    }
    TargetRecord* record = journal.data().find(target);
    if (record == nullptr) {
        return {};
    }
    Result restored = targetSettings(target)->restore(*record);
    if (!restored) {
        return restored; // the record stays for the next try
    }
    journal.data().drop(target);
    if (platform::Result<void> saved = journal.save(); !saved) {
        return failed(saved.error().message);
    }
    return {};
}

fs::path backupFile(Target target, std::string& problem)
{
    std::optional<std::string> folder = settings::backupFolder();
    if (!folder) {
        problem = "No backup folder: the path of Umbravia.exe is not recorded in the registry.";
        return {};
    }
    platform::Result<platform::HostPath> host = platform::toHostPath(*folder);
    if (!host) {
        problem = "The backup folder " + *folder + " cannot be used: " + host.error().message;
        return {};
    }
    return *host / (std::string(targetName(target)) + ".settings");
}

} // namespace

const char* choiceValueName(Target target)
{
    switch (target) {
    case Target::Gnome:
        return IntegrateWithDesktopValue;
    case Target::Kde:
        return IntegrateWithKDEValue;
    case Target::Firefox:
        return IntegrateWithFirefoxValue;
    case Target::Environment:
        return IntegrateWithEnvironmentValue;
    }
    return "";
}

const char* targetName(Target target)
{
    switch (target) {
    case Target::Gnome:
        return "GNOME desktop";
    case Target::Kde:
        return "KDE";
    case Target::Firefox:
        return "Firefox";
    case Target::Environment:
        return "Login environment";
    }
    return "";
}

bool detected(Target target) noexcept
{
    try {
        return targetSettings(target)->detected();
    } catch (const std::exception&) {
        return false;
    }
}

Result set(Target target, unsigned port) noexcept
{
    try {
        if (port == 0 || port > 65535) {
            return failed("The proxy port " + std::to_string(port) + " is not valid (1 to 65535).");
        }
        std::unique_ptr<TargetSettings> settings = targetSettings(target);
        if (!settings->detected()) {
            return {Outcome::Skipped, {}};
        }
        JournalFile journal(DesktopIntegration::journalPath());
        return setLocked(journal, *settings, target, port);
    } catch (const std::exception& error) {
        return unexpected(target, error);
    }
}

Result unset(Target target) noexcept
{
    try {
        JournalFile journal(DesktopIntegration::journalPath());
        return unsetLocked(journal, target);
    } catch (const std::exception& error) {
        return unexpected(target, error);
    }
}

Result backup(Target target) noexcept
{
    try {
        std::unique_ptr<TargetSettings> settings = targetSettings(target);
        if (!settings->detected()) {
            return {Outcome::Skipped, {}};
        }
        std::string problem;
        const fs::path file = backupFile(target, problem);
        if (file.empty()) {
            return failed(problem);
        }
        JournalData data;
        data.targets.push_back(TargetRecord{target, {}, {}, {}});
        if (Result captured = settings->capture(data.targets.back()); !captured) {
            return captured;
        }
        platform::Result<void> written = writeUserFile(file, formatJournal(data), 0600);
        return written ? Result{} : failed(written.error().message);
    } catch (const std::exception& error) {
        return unexpected(target, error);
    }
}

Result restore(Target target) noexcept
{
    try {
        std::string problem;
        const fs::path file = backupFile(target, problem);
        if (file.empty()) {
            return failed(problem);
        }
        platform::Result<FileState> state = readUserFile(file);
        if (!state) {
            return failed(state.error().message);
        }
        if (!state->bytes) {
            return failed("There is no backup of the " + std::string(targetName(target)) +
                          " settings: " + file.string() + " does not exist.");
        }
        platform::Result<JournalData> data = parseJournal(*state->bytes);
        TargetRecord* record = data ? data->find(target) : nullptr;
        if (record == nullptr) {
            return failed("The backup " + file.string() + " cannot be used: it is " +
                          (data ? std::string("of another target") : data.error().message) + ".");
        }
        // A journal entry stays as it is: the switch still puts back what it recorded.
        JournalFile journal(DesktopIntegration::journalPath());
        return targetSettings(target)->restore(*record);
    } catch (const std::exception& error) {
        return unexpected(target, error);
    }
}

Choices storedChoices() noexcept
{
    Choices choices;
    try {
        const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
        for (Target target : AllTargets) {
            std::optional<DWORD> value =
                main ? main.readDword(choiceValueName(target)) : std::nullopt;
            choices[target] = value ? *value == 1 : detected(target);
        }
    } catch (const std::exception&) {
    }
    return choices;
}

std::vector<Report> DesktopIntegration::switchOn(unsigned port, const Choices& choices) noexcept
{
    std::vector<Report> reports;
    try {
        for (Target target : AllTargets) {
            if (choices[target]) {
                reports.push_back({target, set(target, port)});
                continue;
            }
            // A choice turned off while the target was set: it goes back now.
            bool recorded = false;
            {
                JournalFile journal(journalPath());
                recorded = journal.data().find(target) != nullptr;
            }
            if (recorded) {
                reports.push_back({target, unset(target)});
            }
        }
    } catch (const std::exception& error) {
        reports.push_back({AllTargets.front(), failed(error.what())});
    }
    return reports;
}

std::vector<Report> DesktopIntegration::switchOff() noexcept
{
    std::vector<Report> reports;
    try {
        std::vector<Target> recorded;
        {
            JournalFile journal(journalPath());
            if (!journal.problem().empty()) {
                // Reported once, under the first target: the journal names none that can be read.
                return {{AllTargets.front(), failed(journal.problem())}};
            }
            for (const TargetRecord& record : journal.data().targets) {
                recorded.push_back(record.target);
            }
        }
        for (Target target : recorded) {
            reports.push_back({target, unset(target)});
        }
    } catch (const std::exception& error) {
        reports.push_back({AllTargets.front(), failed(error.what())});
    }
    return reports;
}

std::vector<Report> DesktopIntegration::recoverFromJournal() noexcept
{
    if (!journalPending()) {
        return {};
    }
    return switchOff();
}

bool DesktopIntegration::journalPending() noexcept
{
    std::error_code ec;
    return fs::exists(journalPath(), ec);
}

fs::path DesktopIntegration::journalPath()
{
    return platform::prefix() / kJournalName;
}

} // namespace desktop
