// The exports of Local.dll and the module's own state: the settings pages it created.
//
// Each CreateTabDlg call makes a page window of its own (the host asks once for its
// main window and again for its settings dialog); an earlier page keeps working until
// its parent destroys it or OnProgramExit does.

#include "HostNotifier.h"
#include "LocalSettings.h"
#include "LocalSettingsPage.h"
#include "ProgressWindow.h"
#include "TraceCleaner.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <common/ui/ModulePages.h>
#include <platform/Window.h>

namespace {

// The module's application object.
class LocalModule {
public:
    static LocalModule& instance()
    {
        static LocalModule module;
        return module;
    }

    int createPages(PageWindow* parent, PageWindow** pages)
    {
        return m_pages.createTabs(pages, 1,
                                  [parent](int) { return new local::LocalSettingsPage(parent); });
    }

    void destroyPages() { m_pages.destroyAll(); }

    // A full run from the registry settings.
    static void takeAction()
    {
        std::optional<local::CleanRequest> request = local::readFullRunRequest();
        if (!request) {
            local::showRegistryError(0);
            return;
        }
        local::HostNotifier notifier;
        local::ProgressWindow progress(
            platform::widgetOf(local::HostNotifier::findHostMainWindow()));
        local::TraceCleaner(progress, notifier).run(*request);
    }

    void programExit()
    {
        settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, local::ModuleKey, KEY_READ);
        if (!key) {
            local::showRegistryError(0);
            return;
        }
        const std::optional<DWORD> clearAtExit = key.readDword(local::ClearAtExitValue);
        key.reset();
        if (!clearAtExit) {
            local::showRegistryError(0);
            return;
        }
        destroyPages();
        if (*clearAtExit != 0) {
            takeAction();
        }
    }

private:
    pageui::ModulePages m_pages;
};

} // namespace

UMBRAVIA_EXPORT int RegisterDLL(const char* modulePath) noexcept
{
    try {
        return local::registerModule(modulePath) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

UMBRAVIA_EXPORT int UnRegisterDLL() noexcept
{
    try {
        return local::unregisterModule() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

UMBRAVIA_EXPORT int CreateTabDlg(PageWindow* parent, PageWindow** pages) noexcept
{
    try {
        return LocalModule::instance().createPages(parent, pages);
    } catch (...) {
        return 0;
    }
}

UMBRAVIA_EXPORT void TakeAction() noexcept
{
    try {
        LocalModule::takeAction();
    } catch (...) {
    }
}

UMBRAVIA_EXPORT void OnProgramExit() noexcept
{
    try {
        LocalModule::instance().programExit();
    } catch (...) {
    }
}
