#pragma once
// The wizard's start: OLE, where the main program lies, the first-run registration that
// the host would otherwise do, the main key's unnamed value and the settings model.

#include <string>

namespace wizard {

struct SettingsModel;

inline constexpr const char* WizardProgramName = "Umbravia Settings Wizard.exe";
inline constexpr const char* MainProgramName = "Umbravia.exe";
inline constexpr const char* OleFailedText = "Failed To Initalize OLE Library";
// The host passes this as the first argument when it started the wizard itself.
inline constexpr const char* StartedByHostArgument = "10";

struct StartContext {
    std::string folder;          // DOS path of the wizard's folder, with its trailing '\'
    std::string mainProgramPath; // folder + "Umbravia.exe"
    bool startedByHost = false;  // first argument "10"
};

// The context alone: the wizard's own path (the running program's module path; argv[0]
// when that is unknown) and the first argument.
StartContext startContext(int argc, char** argv);

// Steps 1 to 5 of the start: OLE initialisation (its message on failure, then on), the
// context, the first-run registration when ISREGISTERED is 0 or missing, the main
// program's path as the main key's unnamed value, and the model filled from the registry.
StartContext startUp(int argc, char** argv, SettingsModel& model);

} // namespace wizard
