#pragma once
// "Proxy chain" (dialog 130): chaining on or off, one proxy or a chain of several, the
// proxy-list refresh, and through the advanced dialog the path length, the connection
// time-out and the local proxy's port. Saved into DLLs\Chain.dll (and PROXYPORT of the
// main key) on the host's OK or its page action (1124).

#include <common/ui/SettingsPage.h>

#include <functional>
#include <optional>

class QComboBox;
class QListWidget;
class QRadioButton;

namespace chain {

class ChainPage : public pageui::SettingsPage {
public:
    static constexpr int ResourceId = 130;
    static constexpr const char* Caption = "Proxy chain";

    enum ControlId : UINT {
        ConnectBox = 3000,
        OneProxy = 3001,
        MultipleProxies = 3002,
        AdvancedButton = 3004,
        UpdateEveryBox = 3005,
        UpdateAtStartupBox = 3006,
        PeriodCombo = 3008,
        UpdateButton = 3012,
        ProxyList = 3013,
    };
    // Advanced dialog (3001) fields.
    static constexpr UINT PortEdit = 3009;
    static constexpr UINT PathLengthEdit = 3010;
    static constexpr UINT TimeoutEdit = 1008;
    // The longest chain the page accepts, as the chain builder bounds it.
    static constexpr DWORD MaxPathLength = 64;
    // How long "Update Proxy Chain" stays disabled before the refresh request goes.
    static constexpr int UpdateDelayMs = 100;

    // restartTarget: the window given by SetMainWindow, asked at each save.
    ChainPage(QWidget* parent, std::function<HWND()> restartTarget);

    void save() override;

    QRadioButton* radio(UINT id) const;
    QComboBox* periodCombo() const { return m_periods; }
    QListWidget* proxyList() const { return m_proxyList; }
    DWORD pathLength() const { return m_pathLength; }
    DWORD timeout() const { return m_timeout; }
    std::optional<DWORD> port() const { return m_port; }

private:
    void buildControls();
    void load();
    bool loadModuleKey();
    void onPageAction() override;
    void onCommand(UINT id, WORD code) override;
    // The box-3000 rule: false when the machine is offline (the box is then unticked).
    bool connectClicked();
    void updateEnabled();
    void openAdvanced();
    void requestUpdate();

    std::function<HWND()> m_restartTarget;
    QComboBox* m_periods = nullptr;
    QListWidget* m_proxyList = nullptr;
    DWORD m_pathLength = 1;
    DWORD m_timeout = 0;
    // Empty while PROXYPORT could not be read: the page then never writes a port.
    std::optional<DWORD> m_port;
};

} // namespace chain
