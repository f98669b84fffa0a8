#pragma once
// Finish without its page: save the model, then start the main program unless the host
// started the wizard or a host already runs.

namespace wizard {

struct SettingsModel;
struct StartContext;

inline constexpr const char* SnapshotFailedText = "Failed to create snapshot";
inline constexpr const char* FinishInformation =
    "The settings will take effect next time you start the configured programs";

struct FinishOutcome {
    bool saved = false;       // every group was written
    bool hostStarted = false; // Umbravia.exe was started
};

// True when a process named Umbravia.exe runs. A snapshot that cannot be taken shows
// "Failed to create snapshot" and counts as none running.
bool mainProgramRunning();

// Saves the model (its messages on failure), then, unless the context says the host
// started the wizard or a host runs, starts "Umbravia.exe" minimised in the folder of the
// main key's unnamed value, with the "open" verb.
FinishOutcome finishWizard(const SettingsModel& model, const StartContext& context);

} // namespace wizard
