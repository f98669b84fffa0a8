#include "FirewallDialog.h"

#include "DialogCommands.h"

#include <common/Settings.h>
#include <common/ui/IpAddressEdit.h>
#include <platform/MessageBox.h>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace host::ui {

namespace {

constexpr const char* DialogTitle = "Proxy Settings";
constexpr const char* AddressLabel = "Proxy Address:";
constexpr const char* PortLabel = "Proxy Port:";
constexpr const char* InvalidIp = "Invalid IP";
constexpr const char* NotANumber = "Please enter an integer.";
constexpr const char* PortOutOfRange = "Please enter a port number between 1 and 65535.";
constexpr const char* AppCaption = "Umbravia";
constexpr const char* AddressValue = "ProxyFirewall";
constexpr const char* PortValue = "ProxyFirePort";

} // namespace

FirewallDialog::FirewallDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(DialogTitle);
    setModal(true);
    setStyleSheet(
        "QDialog { background: white; } QLabel { color: #3a4256; }"
        "QLineEdit#port { border: 1px solid #c9cfdb; border-radius: 4px; padding: 3px; }");

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    m_addressEdit = new pageui::IpAddressEdit(this);
    m_addressEdit->setFixedHeight(26);
    m_portEdit = new QLineEdit(this);
    m_portEdit->setObjectName("port");
    m_portEdit->setFixedWidth(80);
    grid->addWidget(new QLabel(AddressLabel, this), 0, 0);
    grid->addWidget(m_addressEdit, 0, 1);
    grid->addWidget(new QLabel(PortLabel, this), 1, 0);
    grid->addWidget(m_portEdit, 1, 1, Qt::AlignLeft);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &FirewallDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FirewallDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(buttons);

    attachWidget(this);
    load();
}

void FirewallDialog::load()
{
    const settings::Key key =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    const std::optional<DWORD> address = key ? key.readDword(AddressValue) : std::nullopt;
    if (!address) {
        return; // nothing stored yet: empty fields
    }
    m_address = *address;
    m_addressEdit->setAddress(m_address);
    m_port = key.readDword(PortValue).value_or(0);
    m_portEdit->setText(QString::number(m_port));
}

void FirewallDialog::accept()
{
    DWORD address = 0;
    if (m_addressEdit->address(address) < 4) {
        MessageBox(hwnd(), InvalidIp, nullptr, MB_OK);
        return;
    }
    bool number = false;
    const qlonglong port = m_portEdit->text().trimmed().toLongLong(&number);
    if (!number) {
        MessageBox(hwnd(), NotANumber, AppCaption, MB_OK | MB_ICONEXCLAMATION);
        m_portEdit->setFocus();
        return;
    }
    if (port < 1 || port > 65535) {
        // A port the sessions could not connect to would only fail later, unexplained.
        MessageBox(hwnd(), PortOutOfRange, AppCaption, MB_OK | MB_ICONEXCLAMATION);
        m_portEdit->setFocus();
        return;
    }
    m_address = address;
    m_port = static_cast<DWORD>(port);
    QDialog::accept();
}

bool FirewallDialog::saveSettings() const
{
    const settings::Key key =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    return key && key.writeDword(AddressValue, m_address) == ERROR_SUCCESS &&
           key.writeDword(PortValue, m_port) == ERROR_SUCCESS;
}

LRESULT FirewallDialog::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (answerDialogCommand(*this, message, wParam)) {
        return 0;
    }
    return Window::windowProc(message, wParam, lParam);
}

} // namespace host::ui
