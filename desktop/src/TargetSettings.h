#pragma once
// One desktop target's settings, as the switch and the backup see them: found or not,
// their earlier state recorded, pointed at the proxy, put back from a record.

#include "Journal.h"

#include <desktop/DesktopIntegration.h>

#include <memory>

namespace desktop {

class TargetSettings {
public:
    virtual ~TargetSettings() = default;

    virtual bool detected() = 0;
    // Adds to record the state of everything the target changes that it does not hold yet
    // (a second set keeps the first original) and what will be written now. Changes nothing.
    virtual Result prepare(TargetRecord& record, unsigned port) = 0;
    // Writes what prepare recorded.
    virtual Result apply(const TargetRecord& record) = 0;
    // Puts back what record holds: a journal entry (a setting that is no longer what was
    // written is left alone) or a backup (written is empty: put back whatever is there).
    virtual Result restore(const TargetRecord& record) = 0;
    // The current state, as a backup record.
    virtual Result capture(TargetRecord& record) = 0;
};

std::unique_ptr<TargetSettings> targetSettings(Target target);

// The GNOME desktop (GSettings) and the file targets.
std::unique_ptr<TargetSettings> gnomeSettings();
std::unique_ptr<TargetSettings> kdeSettings();
std::unique_ptr<TargetSettings> firefoxSettings();
std::unique_ptr<TargetSettings> environmentSettings();

// The profile folders every profiles.ini of the user lists (Firefox from the Debian
// package, the snap and the flatpak), each once, only those that exist.
std::vector<std::filesystem::path> firefoxProfiles();
// The process that holds the profile's lock, when it still runs; 0 otherwise.
int firefoxHolding(const std::filesystem::path& profile);

inline Result failed(std::string message)
{
    return {Outcome::Failed, std::move(message)};
}

} // namespace desktop
