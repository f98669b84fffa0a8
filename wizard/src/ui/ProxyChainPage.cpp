#include "ProxyChainPage.h"

#include "AdvancedProxyDialog.h"
#include "HowDialog.h"
#include "WindowsCleanupPage.h"

#include <platform/MessageBox.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include <iterator>
#include <string>
#include <tuple>

namespace wizard::ui {

namespace {

constexpr const char* Periods[] = {"15 minutes", "30 minutes", "Hour"};
constexpr DWORD NoPeriod = 0xFFFFFFFF; // no list entry chosen
constexpr DWORD MaxPort = 65535;

} // namespace

ProxyChainPage::ProxyChainPage(WizardPage* previous, Session& session)
    : WizardPage(previous, session, ResourceId, "Proxy chain")
{
    const int top = ContentTop + 6;
    controls().addLabel("Proxy Server Port :", QRect(24, top + 2, 80, 10));
    m_port = new QLineEdit(this);
    m_port->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,5}"), m_port));
    controls().place(PortEdit, m_port, QRect(104, top, 50, 13));
    controls().addLabel("(Requires server restart)", QRect(160, top + 2, 150, 10));

    controls().addGroup("Proxy Chain", QRect(14, top + 20, 406, 150));
    controls().addCheckBox(ConnectBox, "Connect through proxy chain", QRect(24, top + 34, 200, 10));
    for (const auto& [id, text, y] :
         {std::tuple{OneProxyButton, "Use one proxy", top + 52},
          std::tuple{MultipleProxiesButton, "Use muliple proxies", top + 68}}) {
        auto* button = new QRadioButton(text, this);
        controls().place(id, button, QRect(36, y, 150, 10));
        bindCommand(button, id);
    }
    controls().addButton(AdvancedButton, "Advanced", QRect(200, top + 66, 60, 14));
    controls().addCheckBox(UpdateEveryBox,
                           "Update proxy list every :", QRect(36, top + 94, 120, 10));
    m_periods = new QComboBox(this);
    for (const char* period : Periods) {
        m_periods->addItem(period);
    }
    controls().place(PeriodList, m_periods, QRect(160, top + 92, 80, 13));
    controls().addCheckBox(UpdateAtStartupBox, "Update proxy list at application startup.",
                           QRect(36, top + 112, 240, 10));
    controls().addButton(HowButton, "How", QRect(36, top + 138, 60, 14));
    load();
}

QRadioButton* ProxyChainPage::radio(UINT id) const
{
    return qobject_cast<QRadioButton*>(control(id));
}

void ProxyChainPage::load()
{
    const ProxyChain& chain = model().chain;
    m_port->setText(QString::number(chain.proxyPort));
    radio(chain.useOneProxy != 0 ? OneProxyButton : MultipleProxiesButton)->setChecked(true);
    checkBox(UpdateAtStartupBox)->setChecked(chain.updateAtStartup != 0);
    checkBox(UpdateEveryBox)->setChecked(chain.updateAtStartup == 0);
    m_periods->setCurrentIndex(
        chain.updateEvery < std::size(Periods) ? static_cast<int>(chain.updateEvery) : -1);
    checkBox(ConnectBox)->setChecked(chain.connectChain != 0);
    updateEnabled();
}

void ProxyChainPage::updateEnabled()
{
    // Everything on the page follows the chain switch; the list follows its box too, and
    // the advanced settings belong to a chain of several proxies.
    const bool on = checkBox(ConnectBox)->isChecked();
    controls().enable({PortEdit, OneProxyButton, MultipleProxiesButton, UpdateEveryBox,
                       UpdateAtStartupBox, HowButton},
                      on);
    m_periods->setEnabled(on && checkBox(UpdateEveryBox)->isChecked());
    button(AdvancedButton)->setEnabled(on && radio(MultipleProxiesButton)->isChecked());
}

void ProxyChainPage::onCommand(UINT id, WORD)
{
    ProxyChain& chain = model().chain;
    switch (id) {
    case OneProxyButton:
    case MultipleProxiesButton: {
        const bool one = id == OneProxyButton;
        radio(id)->setChecked(true);
        chain.pathLength = one ? 1 : 2;
        chain.connectChain = 1;
        chain.useOneProxy = one ? 1 : 0;
        break;
    }
    case UpdateEveryBox:
    case UpdateAtStartupBox: {
        // The two ways of refreshing the list exclude each other.
        if (checkBox(id)->isChecked()) {
            checkBox(id == UpdateEveryBox ? UpdateAtStartupBox : UpdateEveryBox)->setChecked(false);
        }
        chain.updateAtStartup = checkBox(UpdateAtStartupBox)->isChecked() ? 1 : 0;
        break;
    }
    case ConnectBox:
        chain.connectChain = checkBox(ConnectBox)->isChecked() ? 1 : 0;
        break;
    case AdvancedButton:
        openAdvanced();
        break;
    case HowButton:
        HowDialog(this).exec();
        break;
    default:
        return;
    }
    updateEnabled();
}

void ProxyChainPage::openAdvanced()
{
    AdvancedProxyDialog dialog(this, model().chain);
    dialog.exec();
    // Taken whether the dialog was left with OK or with Cancel.
    dialog.takeValues(model().chain);
    checkBox(ConnectBox)->setChecked(model().chain.connectChain != 0);
}

void ProxyChainPage::onNext()
{
    bool ok = false;
    const uint port = m_port->text().toUInt(&ok);
    if (!ok || port == 0 || port > MaxPort) {
        MessageBox(hwnd(), BadPort, WizardTitle, MB_OK | MB_ICONERROR);
        m_port->setFocus();
        return;
    }
    ProxyChain& chain = model().chain;
    chain.proxyPort = port;
    chain.connectChain = checkBox(ConnectBox)->isChecked() ? 1 : 0;
    chain.useOneProxy = radio(OneProxyButton)->isChecked() ? 1 : 0;
    chain.updateAtStartup = checkBox(UpdateAtStartupBox)->isChecked() ? 1 : 0;
    chain.updateEvery =
        m_periods->currentIndex() >= 0 ? static_cast<DWORD>(m_periods->currentIndex()) : NoPeriod;
    openNext(std::make_unique<WindowsCleanupPage>(this, session()));
}

} // namespace wizard::ui
