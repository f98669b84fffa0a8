#pragma once
// "Umbravia Rigwright": the modal dialog in which the user chooses which programs use the
// local proxy, whether the browser toolbar is installed, and backs up or restores the
// programs' proxy settings. It detects the installed programs, shows the stored
// IntegrateWith* choices, and on Apply or OK has the configuration component (Rigwright)
// reconfigure every program whose box changed since the last store. Its group
// "Integration With This Desktop" does the same for the desktop the suite runs on
// (GNOME, KDE, Firefox, the login environment), through the integration switch.

#include <platform/Window.h>

#include <QDialog>

#include <desktop/DesktopIntegration.h>

#include <array>

class QCheckBox;
class QPushButton;

namespace rigwright {
struct IConfiguration;
} // namespace rigwright

namespace host::ui {

class ProgramIntegrationDlg : public QDialog, public platform::Window {
    Q_OBJECT
public:
    static constexpr UINT InternetExplorerId = 1000;
    static constexpr UINT NetscapeId = 1001;
    static constexpr UINT OperaId = 1002;
    static constexpr UINT MsnMessengerId = 1004;
    static constexpr UINT YahooMessengerId = 1005;
    static constexpr UINT CuteFtpId = 1006;
    static constexpr UINT WsFtpId = 1007;
    static constexpr UINT BackupId = 1013;
    static constexpr UINT ToolbarId = 1014;
    static constexpr UINT RestoreId = 1015;
    static constexpr UINT MircId = 1019;
    static constexpr UINT ApplyId = 5;
    static constexpr UINT DesktopGnomeId = 1030;
    static constexpr UINT DesktopKdeId = 1031;
    static constexpr UINT DesktopFirefoxId = 1032;
    static constexpr UINT DesktopEnvironmentId = 1033;
    static constexpr std::size_t ProgramCount = 8;
    static constexpr std::size_t DesktopCount = desktop::AllTargets.size();

    // Runs the initialisation: Apply disabled, detection, the stored choices.
    explicit ProgramIntegrationDlg(QWidget* parent = nullptr);

    // The program box with that id (null for any other id).
    QCheckBox* programBox(UINT id) const;
    // The box of a target of this desktop.
    QCheckBox* desktopBox(desktop::Target target) const;
    QCheckBox* toolbarBox() const { return m_toolbarBox; }
    QPushButton* backupButton() const { return m_backup; }
    QPushButton* restoreButton() const { return m_restore; }
    QPushButton* applyButton() const { return m_apply; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    void apply();
    void backup();
    void restore();
    // OK: Apply, store once more, close.
    void accept() override;

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void buildControls();
    void detectPrograms();
    void loadChoices();
    void loadDesktopChoices();
    // Stores the boxes of the targets found here and, when one changed since the last
    // store, has the integration switch apply them.
    void applyDesktopChoices();
    void configureChangedPrograms(rigwright::IConfiguration& configuration);
    void storeChoices();
    void toolbarStep() const;
    void backupOrRestore(bool restoring);
    void toolbarClicked();

    std::array<QCheckBox*, ProgramCount> m_boxes{};
    std::array<QCheckBox*, DesktopCount> m_desktopBoxes{};
    // The desktop choices as last stored (or as they count while nothing is), in target
    // order.
    std::array<bool, DesktopCount> m_desktopStored{};
    // What was last stored for each program (0 when nothing was), in table order.
    std::array<DWORD, ProgramCount> m_stored{};
    DWORD m_toolbar = 0;
    QCheckBox* m_toolbarBox = nullptr;
    QPushButton* m_backup = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace host::ui
