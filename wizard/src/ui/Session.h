#pragma once
// What every page of the wizard works on: the settings model, filled at start and saved
// at Finish, and the start-up context (the main program's path, who started the wizard).

#include "core/SettingsModel.h"
#include "core/Startup.h"

namespace wizard::ui {

struct Session {
    SettingsModel model;
    StartContext start;
};

} // namespace wizard::ui
