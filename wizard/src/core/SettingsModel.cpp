#include "SettingsModel.h"

namespace wizard {

void loadSettings(SettingsModel&) {}

void applyDefaults(SettingsModel&) {}

bool saveSettings(const SettingsModel&)
{
    return false;
}

} // namespace wizard
