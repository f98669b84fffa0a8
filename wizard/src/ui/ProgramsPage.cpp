#include "ProgramsPage.h"

#include "ChoicePage.h"

#include <common/ui/Resources.h>

#include <QCheckBox>
#include <QLabel>

namespace wizard::ui {

namespace {

constexpr const char* ProgramsGroup = "Umbravia Rigwright";
constexpr const char* GeneralGroup = "Umbravia General Settings";
constexpr const char* NotInstalledNote = "The unchecked programs are not installed.";

struct ProgramRow {
    Program program;
    UINT id;
    const char* text;
    int logo;     // the activity picture of the program
    bool visible; // mIRC, WS_FTP and CuteFTP are chosen only through their stored values
};
constexpr ProgramRow Programs[] = {
    {Program::InternetExplorer, ProgramsPage::InternetExplorerBox, "Internet Explorer", 220, true},
    {Program::Netscape, ProgramsPage::NetscapeBox, "Netscape", 223, true},
    {Program::Opera, ProgramsPage::OperaBox, "Opera", 224, true},
    {Program::MsnMessenger, ProgramsPage::MsnMessengerBox, "MSN Messenger", 222, true},
    {Program::YahooMessenger, ProgramsPage::YahooMessengerBox, "Yahoo Messenger", 221, true},
    {Program::Mirc, ProgramsPage::MircBox, "mIRC", 221, false},
    {Program::WsFtp, ProgramsPage::WsFtpBox, "WS_FTP", 225, false},
    {Program::CuteFtp, ProgramsPage::CuteFtpBox, "CuteFTP", 225, false},
};

constexpr const char* RunAtStartupText = "Run Umbravia when Windows starts.";
constexpr const char* AlertsText =
    "Display alerts when settings are changed from Internet Explorer toolbar.";
constexpr const char* ToolbarText = "Add Umbravia toolbar  to Internet Explorer.";

constexpr QSize LogoPixels{30, 20};

} // namespace

ProgramsPage::ProgramsPage(WizardPage* previous, Session& session)
    : WizardPage(previous, session, ResourceId, "Programs and general settings")
{
    controls().addGroup(ProgramsGroup, QRect(14, ContentTop + 2, 406, 108));
    int y = ContentTop + 16;
    for (const ProgramRow& row : Programs) {
        QCheckBox* box = controls().addCheckBox(row.id, row.text, QRect(48, y + 2, 150, 10));
        if (!row.visible) {
            box->hide();
            continue;
        }
        auto* logo = new QLabel(this);
        logo->setPixmap(pageui::Resources::bitmap(row.logo).scaled(LogoPixels, Qt::KeepAspectRatio,
                                                                   Qt::SmoothTransformation));
        logo->setGeometry(pageui::dialogUnits(24, y, 22, 14));
        y += 16;
    }
    controls().addLabel(NotInstalledNote, QRect(24, y + 2, 300, 10));
    controls().addGroup(GeneralGroup, QRect(14, ContentTop + 116, 406, 64));
    controls().addCheckBox(RunAtStartupBox, RunAtStartupText, QRect(24, ContentTop + 130, 380, 10));
    controls().addCheckBox(AlertsBox, AlertsText, QRect(24, ContentTop + 146, 380, 10));
    controls().addCheckBox(ToolbarBox, ToolbarText, QRect(24, ContentTop + 162, 380, 10));
    m_state = loadProgramsPage();
    showState(m_state);
}

UINT ProgramsPage::boxId(Program program)
{
    for (const ProgramRow& row : Programs) {
        if (row.program == program) {
            return row.id;
        }
    }
    return 0;
}

void ProgramsPage::showState(const ProgramsPageState& state)
{
    for (const ProgramRow& row : Programs) {
        QCheckBox* box = checkBox(row.id);
        const bool installed = state.installed[index(row.program)];
        box->setChecked(installed && state.checked[index(row.program)]);
        box->setEnabled(installed);
    }
    checkBox(RunAtStartupBox)->setChecked(state.runAtStartup);
    checkBox(AlertsBox)->setChecked(state.enableAlerts);
    checkBox(ToolbarBox)->setChecked(state.showToolbar);
}

ProgramsPageState ProgramsPage::state() const
{
    ProgramsPageState out = m_state;
    for (const ProgramRow& row : Programs) {
        out.checked[index(row.program)] = checkBox(row.id)->isChecked();
    }
    out.runAtStartup = checkBox(RunAtStartupBox)->isChecked();
    out.enableAlerts = checkBox(AlertsBox)->isChecked();
    out.showToolbar = checkBox(ToolbarBox)->isChecked();
    return out;
}

void ProgramsPage::onNext()
{
    // The boxes of programs that could not be configured come back cleared, and Back
    // shows them so.
    m_state = applyProgramsPage(hwnd(), state(), session().start, [this] { hide(); });
    showState(m_state);
    openNext(std::make_unique<ChoicePage>(this, session()));
}

} // namespace wizard::ui
