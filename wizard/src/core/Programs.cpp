#include "Programs.h"

#include "Startup.h"

namespace wizard {

ProgramsPageState loadProgramsPage()
{
    return {};
}

ProgramsPageState applyProgramsPage(HWND, const ProgramsPageState& state, const StartContext&,
                                    const std::function<void()>&)
{
    return state;
}

} // namespace wizard
