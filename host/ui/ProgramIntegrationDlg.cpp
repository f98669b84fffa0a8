#include "ProgramIntegrationDlg.h"

#include "DialogCommands.h"
#include "core/ProgramIntegration.h"

#include <common/Rigwright.h>
#include <common/Settings.h>
#include <platform/Com.h>
#include <platform/Environment.h>
#include <platform/Files.h>
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

constexpr const char* UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* UninstallString = "UninstallString";
constexpr const char* MsnKey = "Software\\Microsoft\\MSNMessenger";
constexpr const char* MsnProgram = "Program Files\\MSN Messenger\\msnmsgr.exe";
constexpr const char* YahooKey = "Software\\Yahoo\\Pager";
constexpr const char* YahooUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Yahoo! Messenger";
constexpr const char* CuteFtpKey = "Software\\GlobalSCAPE\\CuteFTP 5.0\\CuteFTP";

// The browser toolbar: its registration and the browser's entries for it.
constexpr const char* MainProgramName = "Umbravia.exe";
constexpr const char* PluginName = "UmbraIEPlugin.dll";
constexpr const char* SystemFolder = "C:\\Windows\\System32";
constexpr const char* ExtensionsKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
constexpr const char* ExtensionId = "{A26ABCF0-1C8F-46e7-A67C-0489DC21B9CC}";
constexpr const char* ToolbarKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr const char* BandClsid = "{26CA4BD4-E63A-423D-AE08-933C2F8F0977}";

enum class Presence { Found, Missing, Unknown };

Presence uninstallEntry(HKEY root, const std::string& name)
{
    const settings::Key key = settings::Key::open(root, (UninstallKey + name).c_str());
    return key && key.readString(UninstallString, MAX_PATH) ? Presence::Found : Presence::Missing;
}

Presence msnMessenger()
{
    if (!settings::Key::open(HKEY_CURRENT_USER, MsnKey)) {
        return Presence::Missing;
    }
    // The messenger lies on the drive of the user's profile.
    char appData[MAX_PATH] = {};
    if (!SHGetSpecialFolderPath(0, appData, CSIDL_APPDATA, FALSE)) {
        return Presence::Missing;
    }
    const std::string program = std::string(appData).substr(0, 3) + MsnProgram;
    const HANDLE file = CreateFile(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Presence::Missing;
    }
    CloseHandle(file);
    return Presence::Found;
}

Presence yahooMessenger()
{
    if (!settings::Key::open(HKEY_CURRENT_USER, YahooKey)) {
        return Presence::Missing;
    }
    const settings::Key uninstall = settings::Key::open(HKEY_CURRENT_USER, YahooUninstallKey);
    if (!uninstall) {
        return Presence::Unknown;
    }
    return uninstall.readString(UninstallString, MAX_PATH) ? Presence::Found : Presence::Missing;
}

// The methods take writable 8-bit strings.
struct Text {
    explicit Text(const char* text) : value(text) {}
    char* get() { return value.data(); }
    std::string value;
};

using Configure = HRESULT (*)(rigwright::IConfiguration&, LONG check, UINT port);

struct ProgramRow {
    UINT id;
    const char* text;
    const char* value;
    bool visible;
    Presence (*detect)();
    Configure configure;
};

// The programs in the order they are detected, configured, stored and backed up. The
// dialog passes the box's own state; Yahoo's SOCKS entry stays off and CuteFTP is given
// the local proxy either way (its method has no switch).
const ProgramRow Programs[ProgramIntegrationDlg::ProgramCount] = {
    {ProgramIntegrationDlg::InternetExplorerId, "Internet Explorer", "IntegrateWithIE", true,
     [] { return Presence::Found; },
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetIEProxySettings(check, Text(LocalProxyHost).get(), port);
     }},
    {ProgramIntegrationDlg::NetscapeId, "Netscape", "IntegrateWithNetscape", true,
     [] { return uninstallEntry(HKEY_LOCAL_MACHINE, "Netscape (7.0)"); },
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetNetscapeProxySettings(Text(LocalProxyHost).get(), port, check);
     }},
    {ProgramIntegrationDlg::OperaId, "Opera", "IntegrateWithOpera", true,
     [] { return uninstallEntry(HKEY_LOCAL_MACHINE, "Opera"); },
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetOperaProxySettings(check, Text(LocalProxyHost).get(), port);
     }},
    {ProgramIntegrationDlg::MsnMessengerId, "MSN Messenger", "IntegrateWithMSNMessenger", true,
     msnMessenger,
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetMSNProxySettings(check, 4, Text(LocalProxyHost).get(), port);
     }},
    {ProgramIntegrationDlg::YahooMessengerId, "Yahoo Messenger", "IntegrateWithYahooMessenger",
     true, yahooMessenger,
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetYahooMessangerProxySettings(check, Text(LocalProxyHost).get(), port, 0,
                                                 Text(LocalProxyHost).get(), 80, 4);
     }},
    {ProgramIntegrationDlg::MircId, "Mirc", "IntegrateWithMIRC", false,
     [] { return uninstallEntry(HKEY_LOCAL_MACHINE, "Mirc"); },
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetMircProxySettings(check, Text(LocalProxyHost).get(), port,
                                       Text("proxy").get());
     }},
    {ProgramIntegrationDlg::WsFtpId, "WS FTP", "IntegrateWithWS_FTP", false,
     [] { return uninstallEntry(HKEY_LOCAL_MACHINE, "WS_FTP Pro"); },
     [](rigwright::IConfiguration& o, LONG check, UINT port) {
         return o.SetWS_FTPProxySettings(check, Text(LocalProxyHost).get(), port, 4);
     }},
    {ProgramIntegrationDlg::CuteFtpId, "Cute FTP", "IntegrateWithCute_FTP", false,
     [] {
         return settings::Key::open(HKEY_CURRENT_USER, CuteFtpKey) ? Presence::Found
                                                                   : Presence::Missing;
     },
     [](rigwright::IConfiguration& o, LONG, UINT port) {
         return o.SetCute_FTPProxySettings(Text(LocalProxyHost).get(), port, 1);
     }},
};

// The Rigwright object for one Apply, Backup or Restore; released when it goes.
class ConfigurationObject {
public:
    ConfigurationObject()
    {
        m_entered = SUCCEEDED(CoInitialize(nullptr));
        if (FAILED(CoCreateInstance(rigwright::CLSID_Configuration, nullptr, CLSCTX_INPROC_SERVER,
                                    rigwright::IID_IConfiguration,
                                    reinterpret_cast<void**>(&m_object)))) {
            m_object = nullptr;
        }
    }
    ~ConfigurationObject()
    {
        if (m_object != nullptr) {
            m_object->Release();
        }
        if (m_entered) {
            CoUninitialize();
        }
    }
    ConfigurationObject(const ConfigurationObject&) = delete;
    ConfigurationObject& operator=(const ConfigurationObject&) = delete;
    rigwright::IConfiguration* get() const { return m_object; }

private:
    rigwright::IConfiguration* m_object = nullptr;
    bool m_entered = false;
};

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
        m_boxes[i] = checkBox(Programs[i].text, Programs[i].id, ProgramPlaces[i]);
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
        if (Programs[i].id == id) {
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
            std::snprintf(text, sizeof text, MethodFailed, Programs[i].text,
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
    const std::string plugin = folder + PluginName;
    // Quoted: the program folder usually holds a blank ("Program Files").
    const std::string quoted = "\"" + plugin + "\"";

    if (m_toolbarBox->isChecked()) {
        ShellExecute(hwnd(), "open", "regsvr32", ("/s " + quoted).c_str(), SystemFolder,
                     SW_SHOWNORMAL);
        const settings::Key extension = settings::Key::create(
            HKEY_LOCAL_MACHINE, (std::string(ExtensionsKey) + "\\" + ExtensionId).c_str());
        if (extension) {
            extension.writeString(nullptr, "Umbravia Toolbar");
            extension.writeString("BandClsid", BandClsid);
            extension.writeString("ButtonText", "Umbravia");
            extension.writeString("Clsid", "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}");
            extension.writeString("Default Visible", "Yes");
            extension.writeString("HotIcon", plugin + ",214");
            extension.writeString("Icon", plugin + ",213");
            extension.writeString("MenuStatusBar", "Umbravia");
            extension.writeString("MenuText", "Umbravia");
        }
        const settings::Key toolbar = settings::Key::create(HKEY_LOCAL_MACHINE, ToolbarKey);
        if (toolbar) {
            toolbar.writeDword(BandClsid, 0);
        }
        return;
    }
    ShellExecute(hwnd(), "open", "regsvr32", ("/u /s " + quoted).c_str(), SystemFolder,
                 SW_SHOWNORMAL);
    if (const settings::Key toolbar =
            settings::Key::open(HKEY_LOCAL_MACHINE, ToolbarKey, KEY_ALL_ACCESS)) {
        RegDeleteValue(toolbar.get(), BandClsid);
    }
    if (const settings::Key extensions =
            settings::Key::open(HKEY_LOCAL_MACHINE, ExtensionsKey, KEY_ALL_ACCESS)) {
        RegDeleteKey(extensions.get(), ExtensionId);
    }
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
