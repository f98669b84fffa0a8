#pragma once
// Programs and general settings (page 144): one box per program to point at the proxy
// (a program that is not installed has its box cleared and disabled), and the start-up,
// alert and toolbar boxes. Next applies them at once (the core's applyProgramsPage).

#include "WizardPage.h"
#include "core/Programs.h"

namespace wizard::ui {

class ProgramsPage : public WizardPage {
public:
    static constexpr int ResourceId = 144;

    enum ControlId : UINT {
        InternetExplorerBox = 1024,
        NetscapeBox = 1025,
        OperaBox = 1026,
        MsnMessengerBox = 1027,
        YahooMessengerBox = 1028,
        MircBox = 1029,
        WsFtpBox = 1030,
        CuteFtpBox = 1035,
        RunAtStartupBox = 1040,
        AlertsBox = 1068,
        ToolbarBox = 1069,
    };

    ProgramsPage(WizardPage* previous, Session& session);

    // The box of a program, in the order of the core's Program.
    static UINT boxId(Program program);
    // The page's boxes as the core takes them.
    ProgramsPageState state() const;

protected:
    void onNext() override;

private:
    void showState(const ProgramsPageState& state);

    ProgramsPageState m_state;
};

} // namespace wizard::ui
