// The browser settings page: it loads and saves every value the helper object reads
// (switches, size rule and threshold, both lists re-created as "0", "1", ...), posts
// 1224 on user changes only, saves at once on 1124, keeps entries within what the
// helper object can read, and reports an unusable key.

#include "BrowserSettingsPage.h"

#include <common/HostMessages.h>
#include <common/PluginContract.h>
#include <common/Settings.h>
#include <common/ui/EntryDialog.h>
#include <common/ui/SortedListBox.h>
#include <platform/Application.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <TestHostWindow.h>
#include <TestSupport.h>

#include <map>
#include <string>
#include <vector>

namespace {

using iesettings::BrowserSettingsPage;
using testsupport::whenDialogOpens;

const std::string SizeKey = std::string(settings::IEExtKey) + "\\KILLPOPUPSIZE";
const std::string UrlKey = std::string(settings::IEExtKey) + "\\KILLPOPUPURL";
const std::string TitleKey = std::string(settings::IEExtKey) + "\\KILLPOPUPTITLE";

std::map<std::string, std::string> strings(const std::string& path)
{
    std::map<std::string, std::string> out;
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, path.c_str());
    for (DWORD index = 0; key; ++index) {
        char name[300];
        DWORD nameLength = sizeof name;
        char data[600] = {};
        DWORD size = sizeof data;
        DWORD type = 0;
        if (RegEnumValue(key.get(), index, name, &nameLength, nullptr, &type,
                         reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
            break;
        }
        if (type == REG_SZ) {
            out[name] = data;
        }
    }
    return out;
}

std::optional<DWORD> dword(const std::string& path, const char* name)
{
    return settings::readDword(HKEY_LOCAL_MACHINE, path.c_str(), name);
}

class BrowserSettingsPageTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        m_path = platform::toDosPath(testsupport::binDir() / "IEExt.dll").str();
        m_module = LoadLibrary(m_path.c_str());
        ASSERT_NE(m_module, nullptr) << platform::lastModuleError();
        ASSERT_EQ(platform::proc<RegisterDLLFn>(m_module, contract::RegisterDLL)(m_path.c_str()),
                  1);
    }
    void TearDown() override
    {
        m_host.received();
        m_page.reset();
        FreeLibrary(m_module);
    }
    BrowserSettingsPage& page()
    {
        if (!m_page) {
            m_page = std::make_unique<BrowserSettingsPage>(&m_parent);
        }
        return *m_page;
    }
    static void answer(std::optional<std::string> text, std::string* caption = nullptr,
                       int* maxLength = nullptr)
    {
        whenDialogOpens([text, caption, maxLength](QDialog* open) {
            auto* dialog = dynamic_cast<pageui::EntryDialog*>(open);
            ASSERT_NE(dialog, nullptr);
            if (caption != nullptr) {
                *caption = dialog->windowTitle().toStdString();
            }
            if (maxLength != nullptr) {
                *maxLength = dialog->edit(0)->maxLength();
            }
            if (!text) {
                dialog->reject();
                return;
            }
            dialog->setText(0, *text);
            dialog->accept();
        });
    }

    std::string m_path;
    HMODULE m_module = nullptr;
    testsupport::TestHostWindow m_host;
    QWidget m_parent;
    std::unique_ptr<BrowserSettingsPage> m_page;
};

TEST_F(BrowserSettingsPageTest, OpensWithTheRegisteredDefaults)
{
    EXPECT_EQ(page().windowTitle().toStdString(), "Browser settings");
    for (UINT id : {2001u, 2002u, 2004u, 2009u, 2014u, 2015u, 2016u, 2017u, 2018u}) {
        EXPECT_FALSE(page().checkBox(id)->isChecked()) << id;
    }
    EXPECT_EQ(page().thresholdEdit()->text().toStdString(), "25");
    EXPECT_FALSE(page().thresholdEdit()->isEnabled());
    EXPECT_FALSE(page().list(2005)->isEnabled());
    EXPECT_FALSE(page().button(2011)->isEnabled());
}

TEST_F(BrowserSettingsPageTest, SavesEveryValueAndRecreatesTheLists)
{
    settings::Key::create(HKEY_LOCAL_MACHINE, UrlKey.c_str()).writeString("stale", "old*");
    page().checkBox(2001)->click();
    page().checkBox(2016)->click();
    page().checkBox(2002)->click();
    EXPECT_TRUE(page().thresholdEdit()->isEnabled());
    page().thresholdEdit()->setText("40");
    page().checkBox(2004)->click();
    page().list(2005)->clear();
    std::string caption;
    int maxLength = 0;
    answer(std::string("ads.*/pop"), &caption, &maxLength);
    SendMessage(page().hwnd(), WM_COMMAND, 2006, 0);
    EXPECT_EQ(caption, "Address pattern");
    EXPECT_EQ(maxLength, 259);
    answer(std::string("*banner*"));
    SendMessage(page().hwnd(), WM_COMMAND, 2006, 0);
    page().checkBox(2009)->click();
    answer(std::string("Free prize"), &caption);
    SendMessage(page().hwnd(), WM_COMMAND, 2011, 0);
    EXPECT_EQ(caption, "Window title");
    EXPECT_EQ(m_host.received(), 8);
    EXPECT_EQ(dword(settings::IEExtKey, "KILLALLPOPUPS"), 0u); // nothing before OK

    SendMessage(page().hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dword(settings::IEExtKey, "KILLALLPOPUPS"), 1u);
    EXPECT_EQ(dword(settings::IEExtKey, "SHOWADDRESSBAR"), 1u);
    EXPECT_EQ(dword(settings::IEExtKey, "SHOWMENUBAR"), 0u);
    EXPECT_EQ(dword(SizeKey, nullptr), 1u);
    EXPECT_EQ(dword(SizeKey, "WINDOWSIZETHRESHOLD"), 40u);
    EXPECT_EQ(dword(UrlKey, nullptr), 1u);
    EXPECT_EQ(strings(UrlKey),
              (std::map<std::string, std::string>{{"0", "*banner*"}, {"1", "ads.*/pop"}}));
    EXPECT_EQ(dword(TitleKey, nullptr), 1u);
    EXPECT_EQ(strings(TitleKey), (std::map<std::string, std::string>{{"0", "Free prize"}}));
}

TEST_F(BrowserSettingsPageTest, LoadsListsAndEditsInPlace)
{
    settings::Key url = settings::Key::create(HKEY_LOCAL_MACHINE, UrlKey.c_str());
    url.writeDword(nullptr, 1);
    url.writeString("a", "x*");
    url.writeString("b", "");
    url.writeString("c", "ads");
    EXPECT_EQ(page().list(2005)->entries(), (std::vector<std::string>{"ads", "x*"}));
    EXPECT_TRUE(page().list(2005)->isEnabled());
    page().list(2005)->setCurrentRow(0);
    answer(std::string("zzz"));
    SendMessage(page().hwnd(), WM_COMMAND, MAKEWPARAM(2005, pageui::SortedListBox::DoubleClick), 0);
    EXPECT_EQ(page().list(2005)->entries(), (std::vector<std::string>{"zzz", "x*"}));
    page().list(2005)->setCurrentRow(1);
    SendMessage(page().hwnd(), WM_COMMAND, 2008, 0);
    answer(std::nullopt);
    SendMessage(page().hwnd(), WM_COMMAND, 2006, 0);
    answer(std::string("zzz")); // already listed
    SendMessage(page().hwnd(), WM_COMMAND, 2006, 0);
    EXPECT_EQ(page().list(2005)->entries(), (std::vector<std::string>{"zzz"}));
    EXPECT_EQ(m_host.received(), 2);
    SendMessage(page().hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(strings(UrlKey).size(), 3u); // unchanged: Cancel writes nothing
}

TEST_F(BrowserSettingsPageTest, PageActionSavesWithoutNotifying)
{
    page().checkBox(2018)->setChecked(true);
    SendMessage(page().hwnd(), msg::PageAction, 0, 0);
    EXPECT_EQ(dword(settings::IEExtKey, "IEWINDOWRESIZABLE"), 1u);
    EXPECT_EQ(m_host.received(), 0);
}

TEST_F(BrowserSettingsPageTest, MissingKeyIsReportedOnOpenAndSave)
{
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, settings::IEExtKey), ERROR_SUCCESS);
    platform::ScopedScriptedPresenter boxes;
    page();
    SendMessage(page().hwnd(), WM_COMMAND, IDOK, 0);
    ASSERT_EQ(boxes->calls().size(), 2u);
    EXPECT_EQ(boxes->calls()[0].text, "Invalide registry data");
    EXPECT_EQ(boxes->calls()[0].caption, "Browser Settings");
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::IEExtKey));
}

TEST_F(BrowserSettingsPageTest, ModuleCreatesTheOnePageAndDestroysItAtExit)
{
    testsupport::expectModulePages(testsupport::binDir() / "IEExt.dll", m_parent,
                                   {"Browser settings"});
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
