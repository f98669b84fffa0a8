#include <desktop/DesktopIntegration.h>

namespace desktop {

namespace {

Result notBuilt()
{
    return {Outcome::Failed, "The desktop integration is not built yet."};
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

bool detected(Target) noexcept
{
    return false;
}

Result set(Target, unsigned) noexcept
{
    return notBuilt();
}

Result unset(Target) noexcept
{
    return notBuilt();
}

Result backup(Target) noexcept
{
    return notBuilt();
}

Result restore(Target) noexcept
{
    return notBuilt();
}

Choices storedChoices() noexcept
{
    return {};
}

std::vector<Report> DesktopIntegration::switchOn(unsigned, const Choices&) noexcept
{
    return {};
}

std::vector<Report> DesktopIntegration::switchOff() noexcept
{
    return {};
}

std::vector<Report> DesktopIntegration::recoverFromJournal() noexcept
{
    return {};
}

bool DesktopIntegration::journalPending() noexcept
{
    return false;
}

std::filesystem::path DesktopIntegration::journalPath()
{
    return {};
}

} // namespace desktop
