#pragma once
// "Proxy Settings" (dialog 227): address and port of the firewall proxy through which a
// machine behind a firewall leaves. Opens with ProxyFirewall and ProxyFirePort; OK checks
// the input and closes; saveSettings() then stores it (the general page's step).

#include <platform/Window.h>

#include <QDialog>

class QLineEdit;

namespace pageui {
class IpAddressEdit;
}

namespace host::ui {

class FirewallDialog : public QDialog, public platform::Window {
    Q_OBJECT
public:
    static constexpr int ResourceId = 227;
    static constexpr UINT AddressId = 1030;
    static constexpr UINT PortId = 1034;

    explicit FirewallDialog(QWidget* parent = nullptr);

    // The values taken at OK (the ones loaded before that).
    DWORD address() const { return m_address; }
    DWORD port() const { return m_port; }
    pageui::IpAddressEdit* addressEdit() const { return m_addressEdit; }
    QLineEdit* portEdit() const { return m_portEdit; }

    // Writes ProxyFirewall and ProxyFirePort; false when the main key cannot be written.
    bool saveSettings() const;

    void accept() override;
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void load();

    pageui::IpAddressEdit* m_addressEdit = nullptr;
    QLineEdit* m_portEdit = nullptr;
    DWORD m_address = 0;
    DWORD m_port = 0;
};

} // namespace host::ui
