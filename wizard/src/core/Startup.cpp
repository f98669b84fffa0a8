#include "Startup.h"

#include "SettingsModel.h"

namespace wizard {

StartContext startContext(int, char**)
{
    return {};
}

StartContext startUp(int argc, char** argv, SettingsModel&)
{
    return startContext(argc, argv);
}

} // namespace wizard
