// The settings dialog: the two passes over the modules' CreateTabDlg, one tab per page in
// slot order, the page shown per tab, and OK and Cancel reaching every page.

#include "ui/SettingsDialog.h"

#include "UiTestSupport.h"
#include "core/ModuleTable.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Window.h>

#include <QPushButton>
#include <QTabBar>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

using host::ui::SettingsDialog;

namespace {

// The fake modules' log, which the pages below write to as well.
std::filesystem::path logFile()
{
    return std::filesystem::path(std::getenv("UMBRAVIA_PREFIX")) / "fake-modules.log";
}

void logLine(const std::string& line)
{
    std::ofstream(logFile(), std::ios::app) << line << '\n';
}

// A page titled by its window text that notes each WM_COMMAND ("<title> <id>") and its
// end ("<title> destroyed").
class RecordingPage : public QWidget, public platform::Window {
public:
    RecordingPage(QWidget* parent, const char* title) : QWidget(parent), m_title(title)
    {
        setWindowTitle(title);
        resize(240, 120);
        attachWidget(this);
    }
    ~RecordingPage() override { logLine(m_title + " destroyed"); }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND) {
            logLine(m_title + " " + std::to_string(LOWORD(wParam)));
            return 0;
        }
        return Window::windowProc(message, wParam, lParam);
    }

private:
    std::string m_title;
};

PageWindow* makePage(PageWindow* parent, const char* title)
{
    return new RecordingPage(parent, title);
}

using SetFactoryFn = void (*)(PageWindow* (*)(PageWindow*, const char*));

class SettingsDialogTest : public testsupport::PrefixTest {
protected:
    // The modules of the four slots, by test module name ("" leaves the slot empty).
    void loadModules(const char* chain, const char* local, const char* filters, const char* ieext)
    {
        registerModule(settings::ChainKey, chain);
        registerModule(settings::LocalKey, local);
        registerModule(settings::FiltersKey, filters);
        registerModule(settings::IEExtKey, ieext);
        m_modules = std::make_unique<host::ModuleTable>();
        ASSERT_EQ(m_modules->load(), host::ModuleTable::LoadOutcome::Loaded);
        for (host::Slot slot : host::SlotOrder) {
            if (auto set = m_modules->lookup<SetFactoryFn>(slot, "FakeSetPageFactory")) {
                set(&makePage);
            }
        }
    }
    void loadAllTabModules() { loadModules("TabsChain", "TabsLocal", "TabsFilters", "TabsIEExt"); }

    static void registerModule(const char* key, const std::string& name)
    {
        if (name.empty()) {
            return;
        }
        const auto file =
            testsupport::testModulesDir() / ("host_testmodule_" + name) / (name + ".dll");
        settings::Key::create(HKEY_LOCAL_MACHINE, key)
            .writeString("PathName", platform::toDosPath(file).str());
    }

    // What a module or a page (by title) logged, as "count;create;" or "1;destroyed;".
    static std::string recorded(const std::string& name)
    {
        std::string entries;
        std::ifstream in(logFile());
        for (std::string line; std::getline(in, line);) {
            if (line.rfind(name + " ", 0) != 0) {
                continue;
            }
            const std::string call = line.substr(name.size() + 1);
            entries += (call == "CreateTabDlg count" ? "count"
                        : call == "CreateTabDlg"     ? "create"
                                                     : call) +
                       ";";
        }
        return entries;
    }

    static void click(SettingsDialog& dialog, int id)
    {
        auto* button = dialog.findChild<QPushButton*>(QString::number(id));
        ASSERT_NE(button, nullptr);
        button->click();
    }

    static std::vector<QString> tabTexts(const SettingsDialog& dialog)
    {
        std::vector<QString> texts;
        for (int i = 0; i < dialog.tabBar()->count(); ++i) {
            texts.push_back(dialog.tabBar()->tabText(i));
        }
        return texts;
    }

    platform::ScopedScriptedPresenter m_boxes;
    // Declared first so that it outlives the dialogs that hold its modules' pages.
    std::unique_ptr<host::ModuleTable> m_modules;
};

TEST_F(SettingsDialogTest, WithoutPagesTheTabControlIsEmptyAndOkAndCancelStillClose)
{
    loadModules("TableChain", "TabsLocal", "TableFilters", "");
    {
        SettingsDialog dialog(*m_modules);
        EXPECT_EQ(dialog.windowTitle(), "General Settings");
        EXPECT_EQ(dialog.tabControl()->objectName(), "1000");
        EXPECT_EQ(dialog.pageCount(), 0);
        EXPECT_EQ(dialog.tabBar()->count(), 0);
        EXPECT_EQ(dialog.findChild<QPushButton*>("1")->text(), "OK");
        EXPECT_EQ(dialog.findChild<QPushButton*>("2")->text(), "Cancel");
        dialog.show();
        click(dialog, IDOK);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_FALSE(dialog.isVisible());
    }
    {
        SettingsDialog dialog(*m_modules);
        dialog.show();
        click(dialog, IDCANCEL);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());
    }
    // A module that answers 0 is asked for its count only, never for pages.
    EXPECT_EQ(recorded("Local"), "count;count;");
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(SettingsDialogTest, PagesBecomeConsecutiveTabsInSlotOrderTitledByTheirWindowText)
{
    loadAllTabModules();
    SettingsDialog dialog(*m_modules);
    ASSERT_EQ(dialog.pageCount(), 4);
    EXPECT_EQ(tabTexts(dialog),
              (std::vector<QString>{"Proxy Chain", "Request Filteration", "Response Filteration",
                                    "Internet Explorer"}));
    for (int i = 0; i < dialog.pageCount(); ++i) {
        QWidget* page = dialog.page(i);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->windowTitle(), dialog.tabBar()->tabText(i));
        EXPECT_EQ(page->parentWidget(), dialog.tabControl());
        EXPECT_EQ(page->geometry(), dialog.pageRect());
    }
    // The page area starts 20 pixels below the display area's top, under the tab row.
    EXPECT_GE(dialog.pageRect().top(), dialog.tabBar()->geometry().bottom());
    EXPECT_TRUE(dialog.tabControl()->rect().contains(dialog.pageRect()));
    EXPECT_EQ(recorded("Chain"), "count;create;");
    EXPECT_EQ(recorded("Filters"), "count;create;");
    EXPECT_EQ(recorded("Local"), "count;");
    EXPECT_EQ(recorded("IEExt"), "count;create;");
}

TEST_F(SettingsDialogTest, TabZeroIsShownFirstAndEachTabChangeShowsOnlyItsPage)
{
    loadAllTabModules();
    SettingsDialog dialog(*m_modules);
    dialog.show();
    const auto shown = [&dialog] {
        std::vector<int> indexes;
        for (int i = 0; i < dialog.pageCount(); ++i) {
            if (dialog.page(i)->isVisible()) {
                indexes.push_back(i);
            }
        }
        return indexes;
    };
    EXPECT_EQ(dialog.tabBar()->currentIndex(), 0);
    EXPECT_EQ(shown(), std::vector<int>{0});
    dialog.tabBar()->setCurrentIndex(2);
    EXPECT_EQ(shown(), std::vector<int>{2});
    dialog.tabBar()->setCurrentIndex(3);
    EXPECT_EQ(shown(), std::vector<int>{3});
    dialog.tabBar()->setCurrentIndex(0);
    EXPECT_EQ(shown(), std::vector<int>{0});
}

TEST_F(SettingsDialogTest, OkAndCancelReachEveryPageOnce)
{
    loadAllTabModules();
    {
        SettingsDialog dialog(*m_modules);
        dialog.show();
        click(dialog, IDOK);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    for (const char* page :
         {"Proxy Chain", "Request Filteration", "Response Filteration", "Internet Explorer"}) {
        EXPECT_EQ(recorded(page), "1;destroyed;") << page;
    }
    {
        SettingsDialog dialog(*m_modules);
        dialog.show();
        click(dialog, IDCANCEL);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    for (const char* page :
         {"Proxy Chain", "Request Filteration", "Response Filteration", "Internet Explorer"}) {
        EXPECT_EQ(recorded(page), "1;destroyed;2;destroyed;") << page;
    }
}

TEST_F(SettingsDialogTest, ClosingWithoutTheButtonsCountsAsCancel)
{
    loadModules("TabsChain", "", "TableFilters", "");
    {
        SettingsDialog dialog(*m_modules);
        dialog.show();
        SendMessage(dialog.hwnd(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(uitest::pumpUntil([&dialog] { return !dialog.isVisible(); }));
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(recorded("Proxy Chain"), "2;destroyed;");
}

TEST_F(SettingsDialogTest, APageItsModuleDestroyedIsLeftOut)
{
    loadModules("TabsChain", "", "TabsFilters", "");
    {
        SettingsDialog dialog(*m_modules);
        ASSERT_EQ(dialog.pageCount(), 3);
        delete dialog.page(1); // the module took its page back while the dialog was open
        EXPECT_EQ(dialog.page(1), nullptr);
        dialog.show();
        dialog.tabBar()->setCurrentIndex(2);
        EXPECT_TRUE(dialog.page(2)->isVisible());
        click(dialog, IDOK);
    }
    EXPECT_EQ(recorded("Proxy Chain"), "1;destroyed;");
    EXPECT_EQ(recorded("Request Filteration"), "destroyed;");
    EXPECT_EQ(recorded("Response Filteration"), "1;destroyed;");
}

// A module that stores more pages than it counted writes into the helper's guard, not
// into the next module's part: only its counted page becomes a tab.
TEST_F(SettingsDialogTest, PagesBeyondAModulesCountAreLeftOut)
{
    loadModules("", "", "TabsUndercount", "TabsIEExt");
    SettingsDialog dialog(*m_modules);
    dialog.show();
    EXPECT_EQ(tabTexts(dialog), (std::vector<QString>{"Counted", "Internet Explorer"}));
    EXPECT_EQ(recorded("IEExt"), "count;create;");
    const auto pages =
        dialog.tabControl()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    const auto uncounted = std::find_if(pages.begin(), pages.end(), [](QWidget* page) {
        return page->windowTitle() == "Uncounted";
    });
    ASSERT_NE(uncounted, pages.end());
    EXPECT_FALSE((*uncounted)->isVisible());
}

} // namespace

int main(int argc, char** argv)
{
    return uitest::runTests(argc, argv);
}
