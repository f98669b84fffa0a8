#include "AdvancedProxyDialog.h"

#include <platform/MessageBox.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <optional>

namespace wizard::ui {

namespace {

constexpr const char* ConnectText = "Connect throw proxy chain :";
constexpr const char* PathLengthText = "Chain path length :";
constexpr const char* TimeoutText = "Connection time-out (ms) :";
constexpr QSize Units{200, 92};

std::optional<std::uint32_t> number(const QLineEdit* edit, std::uint32_t low, std::uint32_t high)
{
    bool ok = false;
    const qulonglong value = edit->text().toULongLong(&ok);
    if (!ok || value < low || value > high) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace

AdvancedProxyDialog::AdvancedProxyDialog(QWidget* parent, const ProxyChain& chain)
    : QDialog(parent), m_controls(*this, *this)
{
    setWindowTitle(Caption);
    setModal(true);
    setFont(parent != nullptr ? parent->font() : font());
    setFixedSize(pageui::dialogUnits(0, 0, Units.width(), Units.height()).size());
    platform::paintPageWhite(*this);
    m_controls.addCheckBox(ConnectBox, ConnectText, QRect(10, 10, 180, 10))
        ->setLayoutDirection(Qt::RightToLeft);
    connectBox()->setChecked(chain.connectChain != 0);
    const auto addEdit = [this](UINT id, const char* label, int y, std::uint32_t value) {
        m_controls.addLabel(label, QRect(10, y + 2, 110, 10));
        auto* edit = new QLineEdit(QString::number(value), this);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,10}"), edit));
        m_controls.place(id, edit, QRect(124, y, 66, 13));
    };
    addEdit(PathLengthEdit, PathLengthText, 28, chain.pathLength);
    addEdit(TimeoutEdit, TimeoutText, 46, chain.connectionTimeout);
    QPushButton* ok = m_controls.addButton(IDOK, "OK", QRect(84, 70, 50, 14));
    ok->setDefault(true);
    m_controls.addButton(IDCANCEL, "Cancel", QRect(140, 70, 50, 14));
    updateEnabled();
    attachWidget(this);
}

QLineEdit* AdvancedProxyDialog::edit(UINT id) const
{
    return qobject_cast<QLineEdit*>(m_controls.control(id));
}

void AdvancedProxyDialog::updateEnabled()
{
    m_controls.enable({PathLengthEdit, TimeoutEdit}, connectBox()->isChecked());
}

LRESULT AdvancedProxyDialog::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COMMAND) {
        return Window::windowProc(message, wParam, lParam);
    }
    switch (LOWORD(wParam)) {
    case ConnectBox:
        updateEnabled();
        break;
    case IDOK:
        accept();
        break;
    case IDCANCEL:
        reject();
        break;
    default:
        break;
    }
    return 0;
}

void AdvancedProxyDialog::accept()
{
    const char* problem = !number(edit(PathLengthEdit), 1, MaxPathLength) ? BadPathLength
                          : !number(edit(TimeoutEdit), 0, 0xFFFFFFFF)     ? BadTimeout
                                                                          : nullptr;
    if (problem != nullptr) {
        MessageBox(hwnd(), problem, Caption, MB_OK | MB_ICONERROR);
        return;
    }
    QDialog::accept();
}

void AdvancedProxyDialog::takeValues(ProxyChain& chain) const
{
    chain.connectChain = connectBox()->isChecked() ? 1 : 0;
    if (const auto length = number(edit(PathLengthEdit), 1, MaxPathLength)) {
        chain.pathLength = *length;
    }
    if (const auto timeout = number(edit(TimeoutEdit), 0, 0xFFFFFFFF)) {
        chain.connectionTimeout = *timeout;
    }
}

} // namespace wizard::ui
