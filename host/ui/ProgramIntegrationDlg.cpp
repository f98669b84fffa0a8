#include "ProgramIntegrationDlg.h"

#include "DialogCommands.h"
#include "core/ProgramIntegration.h"

#include <common/BrowserKeys.h>
#include <common/IntegratedPrograms.h>
#include <common/Rigwright.h>
#include <common/Settings.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>
#include <platform/Processes.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QPalette>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace host::ui {

namespace {

constexpr const char* DialogTitle = "Umbravia Rigwright";
constexpr const char* AppCaption = "Umbravia";
constexpr const char* UnableToLoad = "Unable To Load Rigwright Module";
// A method that fails outright (a COM failure, not "could not configure") is reported
// by name; the program's box is cleared like one that could not be configured.
constexpr const char* MethodFailed = "Umbravia could not configure %s (error 0x%08X).";
constexpr const char* ToolbarText =
    "Add Umbravia toolbar to Internet Explorer. (Requires browser restart)";
constexpr const char* BackupText = "Backup my proxy configuration.";
constexpr const char* RestoreText = "Restore my proxy configuration.";
constexpr const char* ToolbarValue = "ShowIEToolbar";

// The browser toolbar's module lies beside the main program.
constexpr const char* MainProgramName = "Umbravia.exe";

using integration::ConfigurationObject;
using integration::Presence;
using integration::Programs;

// The dialog's own side of each program of the shared table, in the same order.
struct ProgramBox {
    UINT id;
    const char* text;
};
constexpr ProgramBox Boxes[ProgramIntegrationDlg::ProgramCount] = {
    {ProgramIntegrationDlg::InternetExplorerId, "Internet Explorer"},
    {ProgramIntegrationDlg::NetscapeId, "Netscape"},
    {ProgramIntegrationDlg::OperaId, "Opera"},
    {ProgramIntegrationDlg::MsnMessengerId, "MSN Messenger"},
    {ProgramIntegrationDlg::YahooMessengerId, "Yahoo Messenger"},
    {ProgramIntegrationDlg::MircId, "Mirc"},
    {ProgramIntegrationDlg::WsFtpId, "WS FTP"},
    {ProgramIntegrationDlg::CuteFtpId, "Cute FTP"},
};
static_assert(ProgramIntegrationDlg::ProgramCount == integration::ProgramCount);

struct GroupRow {
    const char* text;
    QRect area;
};

const GroupRow Groups[] = {
    {"Program Integration", {10, 8, 500, 124}},
    {"Integration With Browsers", {22, 30, 232, 92}},
    {"Integration With Chat Programs", {266, 30, 232, 92}},
    {"Integration With This Desktop", {10, 140, 500, 72}},
    {"Integration With Internet Explorer", {10, 220, 500, 52}},
    {"Backup", {10, 280, 500, 84}},
};

struct DesktopRow {
    UINT id;
    desktop::Target target;
    QRect area;
};

// The desktop's targets, two to a row under the program columns.
const DesktopRow DesktopTargets[ProgramIntegrationDlg::DesktopCount] = {
    {ProgramIntegrationDlg::DesktopGnomeId, desktop::Target::Gnome, {34, 160, 210, 22}},
    {ProgramIntegrationDlg::DesktopKdeId, desktop::Target::Kde, {278, 160, 210, 22}},
    {ProgramIntegrationDlg::DesktopFirefoxId, desktop::Target::Firefox, {34, 182, 210, 22}},
    {ProgramIntegrationDlg::DesktopEnvironmentId,
     desktop::Target::Environment,
     {278, 182, 210, 22}},
};

// Where each program box sits, in table order; the hidden ones share the chat column.
const QRect ProgramPlaces[ProgramIntegrationDlg::ProgramCount] = {
    {34, 50, 210, 22},  {34, 72, 210, 22},  {34, 94, 210, 22},  {278, 50, 210, 22},
    {278, 72, 210, 22}, {278, 94, 210, 22}, {278, 94, 210, 22}, {278, 94, 210, 22},
};

} // namespace

ProgramIntegrationDlg::ProgramIntegrationDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(DialogTitle);
    setModal(true);
    buildControls();
    attachWidget(this);

    m_apply->setEnabled(false);
    detectPrograms();
    loadChoices();
    loadDesktopChoices();
}

void ProgramIntegrationDlg::buildControls()
{
    QFont font = this->font();
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(520, 410);
    // The system's button face behind everything, texts and buttons included.
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);

    for (const GroupRow& row : Groups) {
        auto* group = new QGroupBox(row.text, this);
        group->setGeometry(row.area);
        group->lower();
    }
    const auto checkBox = [this](const char* text, UINT id, const QRect& area) {
        auto* control = new QCheckBox(text, this);
        control->setObjectName(QString::number(id));
        control->setGeometry(area);
        bindCommand(control, id);
        return control;
    };
    const auto button = [this](const char* text, UINT id, const QRect& area) {
        auto* control = new QPushButton(text, this);
        control->setObjectName(QString::number(id));
        control->setGeometry(area);
        control->setAutoDefault(false);
        bindCommand(control, id);
        return control;
    };
    for (std::size_t i = 0; i < ProgramCount; ++i) {
        m_boxes[i] = checkBox(Boxes[i].text, Boxes[i].id, ProgramPlaces[i]);
        m_boxes[i]->setVisible(Programs[i].visible);
    }
    for (std::size_t i = 0; i < DesktopCount; ++i) {
        const DesktopRow& row = DesktopTargets[i];
        m_desktopBoxes[i] = checkBox(desktop::targetName(row.target), row.id, row.area);
    }
    m_toolbarBox = checkBox(ToolbarText, ToolbarId, {22, 242, 476, 22});
    m_backup = button(BackupText, BackupId, {22, 300, 300, 26});
    m_restore = button(RestoreText, RestoreId, {22, 332, 300, 26});
    m_backup->setCheckable(true);
    m_restore->setCheckable(true);
    m_ok = button("OK", IDOK, {250, 374, 80, 28});
    m_apply = button("Apply", ApplyId, {340, 374, 80, 28});
    m_cancel = button("Cancel", IDCANCEL, {430, 374, 80, 28});
    m_ok->setDefault(true);
}

QCheckBox* ProgramIntegrationDlg::programBox(UINT id) const
{
    for (std::size_t i = 0; i < ProgramCount; ++i) {
        if (Boxes[i].id == id) {
            return m_boxes[i];
        }
    }
    return nullptr;
}

QCheckBox* ProgramIntegrationDlg::desktopBox(desktop::Target target) const
{
    return m_desktopBoxes[static_cast<std::size_t>(target)];
}

void ProgramIntegrationDlg::detectPrograms()
{
    for (std::size_t i = 0; i < ProgramCount; ++i) {
        const Presence presence = Programs[i].detect();
        if (presence == Presence::Unknown) {
            continue;
        }
        m_boxes[i]->setChecked(presence == Presence::Found);
        m_boxes[i]->setEnabled(presence == Presence::Found);
    }
}

void ProgramIntegrationDlg::loadChoices()
{
    const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    if (!main) {
        return;
    }
    for (std::size_t i = 0; i < ProgramCount; ++i) {
        if (const std::optional<DWORD> stored = main.readDword(Programs[i].value)) {
            m_boxes[i]->setChecked(*stored != 0);
            m_stored[i] = *stored;
        }
    }
    if (const std::optional<DWORD> stored = main.readDword(ToolbarValue)) {
        m_toolbarBox->setChecked(*stored != 0);
        m_toolbar = *stored;
    }
}

// A target that is not on this machine is cleared and disabled, as a missing program is;
// a target that is there shows its stored choice (on while nothing is stored).
void ProgramIntegrationDlg::loadDesktopChoices()
{
    const desktop::Choices choices = desktop::storedChoices();
    for (std::size_t i = 0; i < DesktopCount; ++i) {
        const desktop::Target target = DesktopTargets[i].target;
        const bool found = desktop::detected(target);
        m_desktopBoxes[i]->setEnabled(found);
        m_desktopBoxes[i]->setChecked(found && choices[target]);
        m_desktopStored[i] = m_desktopBoxes[i]->isChecked();
    }
}

void ProgramIntegrationDlg::applyDesktopChoices()
{
    const settings::Key main =
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    bool changed = false;
    for (std::size_t i = 0; i < DesktopCount; ++i) {
        // The choice of a target that is not here stays as it was stored: it applies
        // again once the target is installed.
        if (!m_desktopBoxes[i]->isEnabled()) {
            continue;
        }
        const bool checked = m_desktopBoxes[i]->isChecked();
        if (main) {
            main.writeDword(desktop::choiceValueName(DesktopTargets[i].target), checked ? 1 : 0);
        }
        changed = changed || checked != m_desktopStored[i];
        m_desktopStored[i] = checked;
    }
    if (changed) {
        host::applyDesktopChoices();
    }
}

void ProgramIntegrationDlg::apply()
{
    {
        const ConfigurationObject configuration;
        if (configuration.get() == nullptr) {
            MessageBox(hwnd(), UnableToLoad, AppCaption, MB_OK | MB_ICONERROR);
        } else {
            configureChangedPrograms(*configuration.get());
            storeChoices();
        }
        toolbarStep();
    }
    // The desktop needs no configuration component.
    applyDesktopChoices();
    m_apply->setEnabled(false);
}

void ProgramIntegrationDlg::configureChangedPrograms(rigwright::IConfiguration& configuration)
{
    for (std::size_t i = 0; i < ProgramCount; ++i) {
        const LONG check = m_boxes[i]->isChecked() ? 1 : 0;
        if (static_cast<DWORD>(check) == m_stored[i]) {
            continue;
        }
        const HRESULT hr = Programs[i].configure(configuration, check, localProxyPort());
        if (hr == S_FALSE) {
            m_boxes[i]->setChecked(false); // the component has said why
        } else if (FAILED(hr)) {
            m_boxes[i]->setChecked(false);
            char text[160];
            std::snprintf(text, sizeof text, MethodFailed, Boxes[i].text,
                          static_cast<unsigned>(hr));
            MessageBox(hwnd(), text, AppCaption, MB_OK | MB_ICONERROR);
        }
    }
}

void ProgramIntegrationDlg::storeChoices()
{
    const settings::Key main =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    if (!main) {
        return;
    }
    for (std::size_t i = 0; i < ProgramCount; ++i) {
        m_stored[i] = m_boxes[i]->isChecked() ? 1 : 0;
        main.writeDword(Programs[i].value, m_stored[i]);
    }
    m_toolbar = m_toolbarBox->isChecked() ? 1 : 0;
    main.writeDword(ToolbarValue, m_toolbar);
}

void ProgramIntegrationDlg::toolbarStep() const
{
    // The toolbar module lies beside the main program.
    const settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey);
    std::string folder = main ? main.readString(nullptr, MAX_PATH).value_or("") : "";
    const std::size_t program = folder.find(MainProgramName);
    if (program != std::string::npos) {
        folder.resize(program);
    } else {
        // No path recorded (or another name): the running program's own folder.
        char self[MAX_PATH] = {};
        const DWORD length = GetModuleFileName(nullptr, self, sizeof self);
        folder.assign(self, length < sizeof self ? length : 0);
        folder.resize(folder.find_last_of('\\') + 1);
    }
    browserkeys::switchToolbar(hwnd(), m_toolbarBox->isChecked(),
                               folder + browserkeys::ToolbarPlugin);
}

void ProgramIntegrationDlg::backupOrRestore(bool restoring)
{
    m_backup->setChecked(false);
    m_restore->setChecked(false);
    // The desktop's checked targets go into (and come from) the same backup folder.
    std::vector<desktop::Report> reports;
    for (std::size_t i = 0; i < DesktopCount; ++i) {
        if (m_desktopBoxes[i]->isEnabled() && m_desktopBoxes[i]->isChecked()) {
            const desktop::Target target = DesktopTargets[i].target;
            reports.push_back(
                {target, restoring ? desktop::restore(target) : desktop::backup(target)});
        }
    }
    host::reportDesktopFailures(reports);
    const ConfigurationObject configuration;
    if (configuration.get() == nullptr) {
        return;
    }
    LONG c[ProgramCount];
    for (std::size_t i = 0; i < ProgramCount; ++i) {
        c[i] = m_boxes[i]->isChecked() ? 1 : 0;
    }
    rigwright::IConfiguration& o = *configuration.get();
    if (restoring) {
        o.RestoreConfiguration(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    } else {
        o.BackupConfiguration(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    }
}

void ProgramIntegrationDlg::backup()
{
    backupOrRestore(false);
}

void ProgramIntegrationDlg::restore()
{
    backupOrRestore(true);
}

void ProgramIntegrationDlg::accept()
{
    apply();
    storeChoices();
    QDialog::accept();
}

void ProgramIntegrationDlg::toolbarClicked()
{
    m_toolbar = m_toolbar != 0 ? 0 : 1;
    m_apply->setEnabled(true);
}

LRESULT ProgramIntegrationDlg::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (answerDialogCommand(*this, message, wParam)) {
        return 0;
    }
    if (message != WM_COMMAND) {
        return Window::windowProc(message, wParam, lParam);
    }
    const UINT id = LOWORD(wParam);
    const bool desktopId = std::any_of(std::begin(DesktopTargets), std::end(DesktopTargets),
                                       [id](const DesktopRow& row) { return row.id == id; });
    if (programBox(id) != nullptr || desktopId) {
        m_apply->setEnabled(true);
        return 0;
    }
    switch (id) {
    case ToolbarId:
        toolbarClicked();
        return 0;
    case ApplyId:
        apply();
        return 0;
    case BackupId:
        backup();
        return 0;
    case RestoreId:
        restore();
        return 0;
    default:
        return Window::windowProc(message, wParam, lParam);
    }
}

} // namespace host::ui
