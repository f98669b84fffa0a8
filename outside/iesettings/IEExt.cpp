// The Internet Explorer settings module as far as the suite needs it: the common
// exports, with RegisterDLL writing the pop-up killer and window-chrome values that the
// browser helper object reads, every switch off, and its "Browser settings" page.

#include "BrowserSettingsPage.h"

#include <common/BrowserHelper.h>
#include <common/PluginContract.h>
#include <common/Settings.h>
#include <common/ui/ModulePages.h>

#include <string>

namespace {

using browserhelper::SizeRuleKey;
using browserhelper::TitleRuleKey;
using browserhelper::UrlRuleKey;
constexpr DWORD DefaultSizeThreshold = iesettings::BrowserSettingsPage::DefaultThreshold;

constexpr const char* Switches[] = {browserhelper::KillAllPopups,  browserhelper::WindowResizable,
                                    browserhelper::ShowAddressBar, browserhelper::ShowMenuBar,
                                    browserhelper::ShowStatusBar,  browserhelper::ShowToolBar};

pageui::ModulePages& pages()
{
    static pageui::ModulePages instance;
    return instance;
}

bool writeRuleKey(const char* name, bool withThreshold)
{
    const std::string path = std::string(settings::IEExtKey) + "\\" + name;
    settings::Key rule = settings::Key::create(HKEY_LOCAL_MACHINE, path.c_str());
    if (!rule || rule.writeDword(nullptr, 0) != ERROR_SUCCESS) {
        return false;
    }
    return !withThreshold ||
           rule.writeDword(browserhelper::SizeThreshold, DefaultSizeThreshold) == ERROR_SUCCESS;
}

} // namespace

UMBRAVIA_EXPORT int RegisterDLL(const char* modulePath) noexcept
{
    if (modulePath == nullptr) {
        return 0;
    }
    settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, settings::IEExtKey);
    if (!key || key.writeString(settings::PathNameValue, modulePath) != ERROR_SUCCESS) {
        return 0;
    }
    for (const char* name : Switches) {
        if (key.writeDword(name, 0) != ERROR_SUCCESS) {
            return 0;
        }
    }
    // Rule lists that already hold entries keep them; only their switches are reset.
    const bool ok = writeRuleKey(SizeRuleKey, true) && writeRuleKey(UrlRuleKey, false) &&
                    writeRuleKey(TitleRuleKey, false);
    return ok ? 1 : 0;
}

UMBRAVIA_EXPORT int UnRegisterDLL() noexcept
{
    return SHDeleteKey(HKEY_LOCAL_MACHINE, settings::IEExtKey) == ERROR_SUCCESS ? 1 : 0;
}

UMBRAVIA_EXPORT void SetMainWindow(HWND) noexcept {}

UMBRAVIA_EXPORT int CreateTabDlg(PageWindow* parent, PageWindow** array) noexcept
{
    return pages().createTabs(
        array, 1, [parent](int) { return new iesettings::BrowserSettingsPage(parent); });
}

UMBRAVIA_EXPORT void OnProgramExit() noexcept
{
    pages().exitPages();
}
