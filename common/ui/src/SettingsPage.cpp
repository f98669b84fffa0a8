#include <common/HostLink.h>
#include <common/HostMessages.h>
#include <common/ui/SettingsPage.h>
#include <platform/MessageBox.h>
#include <platform/Windows.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace pageui {

namespace {

// The page font: small enough for a page template to fit the page area.
constexpr int PageFontPixels = 10;

} // namespace

QRect dialogUnits(int x, int y, int width, int height)
{
    return QRect(x * 7 / 5, y * 3 / 2, width * 7 / 5, height * 3 / 2);
}

SettingsPage::SettingsPage(QWidget* parent, const char* caption) : QWidget(parent)
{
    QFont pageFont = font();
    pageFont.setPixelSize(PageFontPixels);
    setFont(pageFont);
    setWindowTitle(caption);
    resize(PageSize);
    platform::paintPageWhite(*this);
    attachWidget(this);
}

SettingsPage::~SettingsPage() = default;

LRESULT SettingsPage::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            save();
            return 0;
        case IDCANCEL:
            discard();
            return 0;
        default:
            onCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        }
    }
    if (message == msg::PageAction) {
        onPageAction();
        return 0;
    }
    return Window::windowProc(message, wParam, lParam);
}

QWidget* SettingsPage::control(UINT id) const
{
    auto it = m_controls.find(id);
    return it != m_controls.end() ? it->second : nullptr;
}

QCheckBox* SettingsPage::checkBox(UINT id) const
{
    return qobject_cast<QCheckBox*>(control(id));
}

QPushButton* SettingsPage::button(UINT id) const
{
    return qobject_cast<QPushButton*>(control(id));
}

void SettingsPage::place(UINT id, QWidget* control, QRect units)
{
    control->setGeometry(dialogUnits(units));
    if (id != 0) {
        control->setObjectName(QString::number(id));
        m_controls[id] = control;
    }
}

QCheckBox* SettingsPage::addCheckBox(UINT id, const char* text, QRect units)
{
    auto* box = new QCheckBox(text, this);
    place(id, box, units);
    bindCommand(box, id);
    return box;
}

QPushButton* SettingsPage::addButton(UINT id, const char* text, QRect units)
{
    auto* pushButton = new QPushButton(text, this);
    place(id, pushButton, units);
    bindCommand(pushButton, id);
    return pushButton;
}

QGroupBox* SettingsPage::addGroup(const char* text, QRect units)
{
    auto* group = new QGroupBox(text, this);
    place(0, group, units);
    // Groups frame the controls drawn over them.
    group->lower();
    return group;
}

QLabel* SettingsPage::addLabel(const char* text, QRect units, UINT id)
{
    auto* label = new QLabel(text, this);
    place(id, label, units);
    return label;
}

void SettingsPage::enableControls(std::initializer_list<UINT> ids, bool enabled)
{
    for (UINT id : ids) {
        if (QWidget* found = control(id)) {
            found->setEnabled(enabled);
        }
    }
}

void SettingsPage::notifyHost()
{
    // Looked up again only when the window we knew has gone.
    if (m_host == 0 || !IsWindow(m_host)) {
        m_host = hostlink::findMainWindow();
    }
    if (m_host != 0) {
        PostMessage(m_host, msg::SettingsModified, 0, 0);
    }
}

} // namespace pageui
