#pragma once
// The Linux desktop's own proxy settings: the GNOME/GTK desktop (GSettings), KDE
// (kioslaverc), every Firefox profile (user.js) and the login environment
// (environment.d). Each target is pointed at the local proxy, 127.0.0.1 on PROXYPORT, for
// plain HTTP only: HTTPS keeps going direct, because the proxy tunnels CONNECT only
// through a chain. Local addresses (localhost, 127.0.0.0/8, ::1) always go direct.
//
// Nothing is changed before its earlier state is in the journal (a file in the prefix,
// replaced in one step), so that a host that ended without its exit step leaves nothing
// pointing at a dead proxy: the next start restores from the journal first.

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace desktop {

enum class Target { Gnome, Kde, Firefox, Environment };
inline constexpr std::array<Target, 4> AllTargets{Target::Gnome, Target::Kde, Target::Firefox,
                                                  Target::Environment};

// The stored choices: DWORDs in the main key (settings::MainKey), 1 = on, 0 = off.
inline constexpr const char* IntegrateWithDesktopValue = "IntegrateWithDesktop";
inline constexpr const char* IntegrateWithKDEValue = "IntegrateWithKDE";
inline constexpr const char* IntegrateWithFirefoxValue = "IntegrateWithFirefox";
inline constexpr const char* IntegrateWithEnvironmentValue = "IntegrateWithEnvironment";
const char* choiceValueName(Target target);
// The target's name in messages and reports ("GNOME desktop", "KDE", "Firefox",
// "Login environment").
const char* targetName(Target target);

// The hosts that never go through the proxy, in every target's list.
inline constexpr std::array<const char*, 4> DirectHosts{"localhost", "127.0.0.1", "127.0.0.0/8",
                                                        "::1"};

enum class Outcome {
    Done,    // changed, restored, or nothing to do
    Skipped, // the target is not on this machine: nothing read or written
    Failed,  // message says what and where; what was there is kept
};

struct [[nodiscard]] Result {
    Outcome outcome = Outcome::Done;
    std::string message; // empty when Done or Skipped

    bool ok() const { return outcome != Outcome::Failed; }
    explicit operator bool() const { return ok(); }
};

// Whether the target is on this machine: the GSettings schema org.gnome.system.proxy with a
// back end that keeps what is written (not the memory one), a kioslaverc or a KDE session,
// a Firefox profiles.ini that lists a profile, a systemd environment.d user folder's parent
// (the user's configuration folder).
bool detected(Target target) noexcept;

// Points the target at 127.0.0.1:port. The target's earlier state goes into the journal
// first, unless the journal already holds it (a second set keeps the first original).
// An absent target is Skipped.
Result set(Target target, unsigned port) noexcept;
// Restores what the journal recorded for the target and drops its entry. A setting
// someone else changed since set is left as they made it. Done (nothing to do) when the
// journal has no entry for the target.
Result unset(Target target) noexcept;

// Saves the target's current proxy settings into the backup folder beside Umbravia.exe
// (the folder the configuration component backs up into), and puts them back. Restore
// changes only the proxy settings themselves; the rest of each file stays as it is now.
Result backup(Target target) noexcept;
Result restore(Target target) noexcept;

// Which targets are chosen.
struct Choices {
    std::array<bool, 4> on{};

    bool& operator[](Target target) { return on[static_cast<std::size_t>(target)]; }
    bool operator[](Target target) const { return on[static_cast<std::size_t>(target)]; }
};
// The stored choices: value 1 = on, any other value = off, no value = on when detected.
Choices storedChoices() noexcept;

struct Report {
    Target target;
    Result result;
};

// The switch: every route (start, exit, Start/Stop, umbravia-ctl, the uninstall helper)
// goes through here. Calls are serialised, also across the processes of one prefix.
class DesktopIntegration {
public:
    // Points every chosen target at the proxy; a target not chosen that is still set
    // (its choice was turned off) is restored. One report per target touched.
    static std::vector<Report> switchOn(unsigned port, const Choices& choices) noexcept;
    // Restores every target the journal holds, and removes the journal when all are back.
    static std::vector<Report> switchOff() noexcept;
    // At start-up: a journal found now was left by a host that ended without its exit step
    // (a crash, a power loss). Restores from it; empty when there was none.
    static std::vector<Report> recoverFromJournal() noexcept;

    // Whether a journal holds targets still pointed at the proxy.
    static bool journalPending() noexcept;
    // The journal: desktop-journal in the prefix.
    static std::filesystem::path journalPath();
};

} // namespace desktop
