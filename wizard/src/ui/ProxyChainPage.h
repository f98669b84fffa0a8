#pragma once
// Proxy chain (page 181): the local proxy's port, chaining on or off, one proxy or
// several, the proxy-list refresh, and the advanced (183) and how-to (203) dialogs. The
// controls change the model's chain group as they are clicked; Next stores the page.

#include "WizardPage.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace wizard::ui {

class ProxyChainPage : public WizardPage {
public:
    static constexpr int ResourceId = 181;
    static constexpr const char* BadPort = "The port must be a number from 1 to 65535.";

    enum ControlId : UINT {
        UpdateEveryBox = 1024,
        UpdateAtStartupBox = 1025,
        ConnectBox = 1026,
        PortEdit = 1058,
        OneProxyButton = 1072,
        MultipleProxiesButton = 1073,
        PeriodList = 1074,
        AdvancedButton = 1075,
        HowButton = 1080,
    };

    ProxyChainPage(WizardPage* previous, Session& session);

    QRadioButton* radio(UINT id) const;
    QComboBox* periodList() const { return m_periods; }
    QLineEdit* portEdit() const { return m_port; }

protected:
    void onNext() override;
    void onCommand(UINT id, WORD code) override;

private:
    void load();
    void updateEnabled();
    void openAdvanced();

    QComboBox* m_periods = nullptr;
    QLineEdit* m_port = nullptr;
};

} // namespace wizard::ui
