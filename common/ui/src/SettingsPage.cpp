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

SettingsPage::SettingsPage(QWidget* parent, const char* caption)
    : QWidget(parent), m_controls(*this, *this)
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
    return m_controls.control(id);
}

QCheckBox* SettingsPage::checkBox(UINT id) const
{
    return m_controls.checkBox(id);
}

QPushButton* SettingsPage::button(UINT id) const
{
    return m_controls.button(id);
}

QCheckBox* SettingsPage::addCheckBox(UINT id, const char* text, QRect units)
{
    return m_controls.addCheckBox(id, text, units);
}

QPushButton* SettingsPage::addButton(UINT id, const char* text, QRect units)
{
    return m_controls.addButton(id, text, units);
}

QGroupBox* SettingsPage::addGroup(const char* text, QRect units)
{
    return m_controls.addGroup(text, units);
}

QLabel* SettingsPage::addLabel(const char* text, QRect units, UINT id)
{
    return m_controls.addLabel(text, units, id);
}

void SettingsPage::enableControls(std::initializer_list<UINT> ids, bool enabled)
{
    m_controls.enable(ids, enabled);
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
