// The request and response pages: their controls and texts, loading with the enable
// rules, the entry dialogs and their duplicate tests, saving (lists deleted and written
// anew as "0", "1", ...), the host's OK, Cancel and page action (1124), every failure box,
// and CreateTabDlg/OnProgramExit of the real Filters.dll.

#include "Registration.h"
#include "RequestFilterPage.h"
#include "ResponseFilterPage.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <common/ui/EntryDialog.h>
#include <common/ui/IpAddressEdit.h>
#include <common/ui/SortedListBox.h>
#include <platform/Application.h>
#include <platform/MessageBox.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>

#include <TestHostWindow.h>
#include <TestSupport.h>
#include <dlfcn.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using filters::RequestFilterPage;
using filters::ResponseFilterPage;
using testsupport::whenDialogOpens;

const std::string CustomFiltersKey = std::string(settings::RequestKey) + "\\CUSTOMFILTERS";
const std::string StopServersKey = std::string(settings::RequestKey) + "\\STOPSERVERS";
const std::string TrustedKey = std::string(settings::RequestKey) + "\\COOKIETRUSTEDSITES";

// Every value of a key: name -> data (REG_SZ as text, DWORD as its number).
std::map<std::string, std::string> values(const std::string& path)
{
    std::map<std::string, std::string> out;
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, path.c_str());
    for (DWORD index = 0; key; ++index) {
        char name[300];
        DWORD nameLength = sizeof name;
        BYTE data[600] = {};
        DWORD size = sizeof data;
        DWORD type = 0;
        if (RegEnumValue(key.get(), index, name, &nameLength, nullptr, &type, data, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        if (type == REG_DWORD) {
            DWORD number = 0;
            std::memcpy(&number, data, sizeof number);
            out[name] = std::to_string(number);
        } else {
            out[name] = std::string(reinterpret_cast<const char*>(data));
        }
    }
    return out;
}

std::optional<DWORD> dword(const std::string& path, const char* name)
{
    return settings::readDword(HKEY_LOCAL_MACHINE, path.c_str(), name);
}

void setDword(const std::string& path, const char* name, DWORD value)
{
    ASSERT_EQ(settings::Key::create(HKEY_LOCAL_MACHINE, path.c_str()).writeDword(name, value),
              ERROR_SUCCESS);
}

void setString(const std::string& path, const char* name, const std::string& value)
{
    ASSERT_EQ(settings::Key::create(HKEY_LOCAL_MACHINE, path.c_str()).writeString(name, value),
              ERROR_SUCCESS);
}

// Answers the next entry dialog with these texts (OK), or cancels it; records what it
// showed first.
void answerEntry(std::optional<std::vector<std::string>> texts, std::string* caption = nullptr,
                 std::vector<std::string>* shown = nullptr)
{
    whenDialogOpens([texts, caption, shown](QDialog* open) {
        auto* dialog = dynamic_cast<pageui::EntryDialog*>(open);
        ASSERT_NE(dialog, nullptr);
        if (caption != nullptr) {
            *caption = dialog->windowTitle().toStdString();
        }
        for (std::size_t i = 0; shown != nullptr && i < 2; ++i) {
            try {
                shown->push_back(dialog->text(i));
            } catch (const std::out_of_range&) {
            }
        }
        if (!texts) {
            dialog->reject();
            return;
        }
        for (std::size_t i = 0; i < texts->size(); ++i) {
            dialog->setText(i, (*texts)[i]);
        }
        dialog->accept();
    });
}

class PageTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            filters::Registration::registerModule("C:\\Program Files\\Umbravia\\Filters.dll"));
        settings::Key::create(HKEY_LOCAL_MACHINE, settings::BannersKey);
    }
    void TearDown() override { m_host.received(); }
    static void command(pageui::SettingsPage& page, UINT id, WORD code = 0)
    {
        SendMessage(page.hwnd(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), code), 0);
    }

    testsupport::TestHostWindow m_host;
    QWidget m_parent;
};

// --- request page -----------------------------------------------------------------------

class RequestPageTest : public PageTest {
protected:
    RequestFilterPage& page()
    {
        if (!m_page) {
            m_page = std::make_unique<RequestFilterPage>(&m_parent);
        }
        return *m_page;
    }
    std::unique_ptr<RequestFilterPage> m_page;
};

TEST_F(RequestPageTest, ControlsCarryTheirIdsAndTexts)
{
    const std::vector<std::pair<UINT, std::string>> boxes = {
        {1009, "Enable request filtration."},
        {1001, "Browser shielding."},
        {1002, "OS Shielding."},
        {1003, "Referrer blocking."},
        {1004, "IP masking    Fake IP address:"},
        {1010, "Disable internet files cache."},
        {1005, "Disable all cookies."},
        {1006, "Disable unsafe cookies.              (Trusted servers list)"},
        {1007, "Custom filters"},
        {1008, "Server stop list."}};
    for (const auto& [id, text] : boxes) {
        ASSERT_NE(page().checkBox(id), nullptr) << id;
        EXPECT_EQ(page().checkBox(id)->text().toStdString(), text);
    }
    for (const auto& [id, text] : std::vector<std::pair<UINT, std::string>>{{1035, "Add"},
                                                                            {1036, "Edit"},
                                                                            {1037, "Remove"},
                                                                            {1031, "Add"},
                                                                            {1033, "Edit"},
                                                                            {1032, "Remove"},
                                                                            {1027, "Add"},
                                                                            {1029, "Edit"},
                                                                            {1028, "Remove"}}) {
        ASSERT_NE(page().button(id), nullptr) << id;
        EXPECT_EQ(page().button(id)->text().toStdString(), text);
    }
    for (UINT id : {1034u, 1030u, 1025u}) {
        EXPECT_NE(page().list(id), nullptr) << id;
    }
    EXPECT_NE(page().addressControl(), nullptr);
    std::vector<std::string> groups;
    for (const QGroupBox* group : page().findChildren<QGroupBox*>()) {
        groups.push_back(group->title().toStdString());
    }
    std::sort(groups.begin(), groups.end());
    EXPECT_EQ(groups, (std::vector<std::string>{"Diabling", "Request Filteration", "Shielding"}));
    EXPECT_EQ(page().windowTitle().toStdString(), "Filter request");
    EXPECT_EQ(page().palette().color(QPalette::Window), QColor(Qt::white));
}

TEST_F(RequestPageTest, LoadsValuesAndListsSortedWithoutPrefixDuplicates)
{
    setDword(settings::RequestKey, nullptr, 1);
    setDword(settings::RequestKey, "OSSHIELD", 1);
    setDword(settings::RequestKey, "IPMASKING", 1);
    setDword(settings::RequestKey, "FAKEIP", 0x0A000102);
    setDword(CustomFiltersKey, nullptr, 1);
    setString(CustomFiltersKey, "0", "User-Agent: x");
    setString(CustomFiltersKey, "1", "accept-language: de");
    setString(StopServersKey, "0", "ads.example.com");
    setString(StopServersKey, "1", "ads.example"); // an entry already begins with it
    setString(StopServersKey, "2", "");
    setDword(StopServersKey, "3", 5);
    EXPECT_TRUE(page().checkBox(1009)->isChecked());
    EXPECT_TRUE(page().checkBox(1002)->isChecked());
    EXPECT_FALSE(page().checkBox(1001)->isChecked());
    DWORD address = 0;
    EXPECT_EQ(page().addressControl()->address(address), 4);
    EXPECT_EQ(address, 0x0A000102u);
    EXPECT_EQ(page().list(1030)->entries(),
              (std::vector<std::string>{"accept-language: de", "User-Agent: x"}));
    EXPECT_EQ(page().list(1025)->entries(), (std::vector<std::string>{"ads.example.com"}));
    // Lists follow their boxes; the address control follows IP masking.
    EXPECT_TRUE(page().list(1030)->isEnabled());
    EXPECT_TRUE(page().button(1031)->isEnabled());
    EXPECT_FALSE(page().list(1025)->isEnabled());
    EXPECT_FALSE(page().list(1034)->isEnabled());
    EXPECT_TRUE(page().addressControl()->isEnabled());
}

TEST_F(RequestPageTest, EnableBoxSwitchesTheOptionsAndPostsTheChange)
{
    EXPECT_FALSE(page().checkBox(1001)->isEnabled());
    EXPECT_FALSE(page().checkBox(1010)->isEnabled());
    EXPECT_FALSE(page().addressControl()->isEnabled());
    page().checkBox(1009)->click();
    for (UINT id : {1001u, 1002u, 1003u, 1004u, 1005u, 1006u, 1007u, 1008u, 1010u}) {
        EXPECT_TRUE(page().checkBox(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(page().addressControl()->isEnabled());
    page().checkBox(1004)->click();
    EXPECT_TRUE(page().addressControl()->isEnabled());
    page().checkBox(1006)->click();
    EXPECT_TRUE(page().list(1034)->isEnabled());
    EXPECT_TRUE(page().button(1037)->isEnabled());
    EXPECT_EQ(m_host.received(), 3);
    // Nothing is written while the user edits.
    EXPECT_EQ(dword(settings::RequestKey, nullptr).value_or(0), 0u);
}

TEST_F(RequestPageTest, AcceptIsRefusedWhileAcceptLanguageIsListed)
{
    setString(CustomFiltersKey, "0", "Accept-Language: en");
    platform::ScopedScriptedPresenter boxes;
    std::string caption;
    answerEntry(std::vector<std::string>{"Accept", "text/html"}, &caption);
    command(page(), 1031);
    EXPECT_EQ(caption, "Custom variable filter");
    ASSERT_EQ(boxes->calls().size(), 1u);
    EXPECT_EQ(boxes->calls()[0].text, "This variable is already filtered");
    EXPECT_EQ(boxes->calls()[0].caption, "Request Filteration");
    EXPECT_EQ(boxes->calls()[0].icon(), MB_ICONERROR);
    EXPECT_EQ(page().list(1030)->entries(), (std::vector<std::string>{"Accept-Language: en"}));
    EXPECT_EQ(m_host.received(), 0);
}

TEST_F(RequestPageTest, AddedFilterIsShownAsNameColonBlankValue)
{
    answerEntry(std::vector<std::string>{"Via", "none"});
    command(page(), 1031);
    answerEntry(std::vector<std::string>{"", "ignored"});
    command(page(), 1031);
    EXPECT_EQ(page().list(1030)->entries(), (std::vector<std::string>{"Via: none"}));
    EXPECT_EQ(m_host.received(), 1);
}

TEST_F(RequestPageTest, EditToANameAlreadyUsedIsAcceptedInPlace)
{
    setString(CustomFiltersKey, "0", "Cookie: a");
    setString(CustomFiltersKey, "1", "Via: b");
    page().list(1030)->setCurrentRow(1);
    std::vector<std::string> shown;
    answerEntry(std::vector<std::string>{"Cookie", "c"}, nullptr, &shown);
    command(page(), 1033);
    EXPECT_EQ(shown, (std::vector<std::string>{"Via", "b"}));
    EXPECT_EQ(page().list(1030)->entries(), (std::vector<std::string>{"Cookie: a", "Cookie: c"}));
    EXPECT_EQ(m_host.received(), 1);
}

TEST_F(RequestPageTest, ServerListsAddEditAndRemove)
{
    setDword(settings::RequestKey, nullptr, 1);
    setDword(settings::RequestKey, "DISABLEUNSAFECOOKIES", 1);
    setDword(StopServersKey, nullptr, 1);
    std::string caption;
    answerEntry(std::vector<std::string>{"b.example"}, &caption);
    command(page(), 1027);
    EXPECT_EQ(caption, "Server");
    answerEntry(std::vector<std::string>{"a.example"});
    command(page(), 1027);
    EXPECT_EQ(page().list(1025)->entries(), (std::vector<std::string>{"a.example", "b.example"}));
    page().list(1025)->setCurrentRow(0);
    std::vector<std::string> shown;
    answerEntry(std::vector<std::string>{"z.example"}, nullptr, &shown);
    command(page(), 1025, pageui::SortedListBox::DoubleClick);
    EXPECT_EQ(shown.at(0), "a.example");
    EXPECT_EQ(page().list(1025)->entries(), (std::vector<std::string>{"z.example", "b.example"}));
    // The Delete key in the trusted list, then the Remove button of the stop list.
    answerEntry(std::vector<std::string>{"trusted.example"});
    command(page(), 1035);
    page().list(1034)->setCurrentRow(0);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(page().list(1034), &del);
    EXPECT_EQ(page().list(1034)->count(), 0);
    page().list(1025)->setCurrentRow(1);
    command(page(), 1028);
    EXPECT_EQ(page().list(1025)->entries(), (std::vector<std::string>{"z.example"}));
    // Cancel changes nothing and posts nothing.
    answerEntry(std::nullopt);
    command(page(), 1027);
    EXPECT_EQ(m_host.received(), 6);
}

TEST_F(RequestPageTest, SaveWritesValuesAndRecreatesListsInListOrder)
{
    setString(CustomFiltersKey, "7", "Stale: old");
    setString(TrustedKey, "x", "gone.example");
    page().checkBox(1009)->setChecked(true);
    page().checkBox(1003)->setChecked(true);
    page().checkBox(1007)->setChecked(true);
    page().addressControl()->setAddress(0xC0A80001);
    page().list(1030)->clear();
    page().list(1030)->addSorted(QString("Via: x"));
    page().list(1030)->addSorted(QString("Accept: y"));
    page().list(1034)->clear();
    page().list(1034)->addSorted(QString("bank.example"));
    SendMessage(page().hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dword(settings::RequestKey, nullptr), 1u);
    EXPECT_EQ(dword(settings::RequestKey, "REFERRERBLOCK"), 1u);
    EXPECT_EQ(dword(settings::RequestKey, "BROWSERSHIELD"), 0u);
    EXPECT_EQ(dword(settings::RequestKey, "FAKEIP"), 0xC0A80001u);
    EXPECT_EQ(values(CustomFiltersKey),
              (std::map<std::string, std::string>{{"", "1"}, {"0", "Accept: y"}, {"1", "Via: x"}}));
    EXPECT_EQ(values(StopServersKey), (std::map<std::string, std::string>{{"", "0"}}));
    EXPECT_EQ(values(TrustedKey), (std::map<std::string, std::string>{{"0", "bank.example"}}));
    // The terminating zero is part of the data.
    settings::Key list = settings::Key::open(HKEY_LOCAL_MACHINE, CustomFiltersKey.c_str());
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueEx(list.get(), "0", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(m_host.received(), 0);
}

TEST_F(RequestPageTest, CancelWritesNothing)
{
    page().checkBox(1009)->setChecked(true);
    page().list(1025)->addSorted(QString("kept.example"));
    SendMessage(page().hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(dword(settings::RequestKey, nullptr).value_or(0), 0u);
    EXPECT_TRUE(values(StopServersKey).count("0") == 0);
}

TEST_F(RequestPageTest, PageActionSwitchesFilteringOnAndSavesWithoutNotifying)
{
    setDword(settings::RequestKey, "OSSHIELD", 1);
    SendMessage(page().hwnd(), msg::PageAction, 0, 0);
    EXPECT_TRUE(page().checkBox(1009)->isChecked());
    EXPECT_TRUE(page().checkBox(1001)->isEnabled());
    EXPECT_EQ(dword(settings::RequestKey, nullptr), 1u);
    EXPECT_EQ(dword(settings::RequestKey, "OSSHIELD"), 1u);
    EXPECT_EQ(m_host.received(), 0);
}

TEST_F(RequestPageTest, MissingKeyShowsBothBoxesAndSavingComplains)
{
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, settings::RequestKey), ERROR_SUCCESS);
    platform::ScopedScriptedPresenter boxes;
    page();
    ASSERT_EQ(boxes->calls().size(), 2u);
    EXPECT_EQ(boxes->calls()[0].text, "Invalide registry data");
    EXPECT_EQ(boxes->calls()[0].caption, "Request Filteration");
    EXPECT_EQ(boxes->calls()[0].icon(), MB_ICONERROR);
    EXPECT_EQ(boxes->calls()[1].text, "Request1");
    EXPECT_EQ(boxes->calls()[1].icon(), 0u);
    SendMessage(page().hwnd(), WM_COMMAND, IDOK, 0);
    ASSERT_EQ(boxes->calls().size(), 3u);
    EXPECT_EQ(boxes->calls()[2].text, "Invalide registry data");
}

TEST_F(RequestPageTest, UnreadableTrustedListShowsTheSecondBoxAndKeepsWhatWasRead)
{
    setString(TrustedKey, "0", "ok.example");
    setString(TrustedKey, "1", std::string(400, 'x')); // longer than an entry may be
    platform::ScopedScriptedPresenter boxes;
    EXPECT_EQ(page().list(1034)->entries(), (std::vector<std::string>{"ok.example"}));
    ASSERT_EQ(boxes->texts(), (std::vector<std::string>{"Invalide registry data", "Request"}));
}

// --- response page ----------------------------------------------------------------------

class ResponsePageTest : public PageTest {
protected:
    ResponseFilterPage& page()
    {
        if (!m_page) {
            m_page = std::make_unique<ResponseFilterPage>(&m_parent);
        }
        return *m_page;
    }
    std::unique_ptr<ResponseFilterPage> m_page;
};

TEST_F(ResponsePageTest, ControlsCarryTheirIdsAndTexts)
{
    const std::vector<std::pair<UINT, std::string>> boxes = {
        {1002, "Enable response filtration."},
        {1035, "Banner ads filtering."},
        {1037, "Block scripts."},
        {1034, " block Pop-up"},
        {1038, "Block images."},
        {1043, "Disable timer based processing"},
        {1041, "Disable window close-up event processing"},
        {1039, "Remove status bar modifiers."},
        {1040, "Remove context menu disablers."},
        {1036, "Remove page title."},
        {1042, "Remove flash banners."}};
    for (const auto& [id, text] : boxes) {
        ASSERT_NE(page().checkBox(id), nullptr) << id;
        EXPECT_EQ(page().checkBox(id)->text().toStdString(), text);
    }
    EXPECT_EQ(page().button(1029)->text().toStdString(), "Add");
    EXPECT_EQ(page().button(1030)->text().toStdString(), "Edit");
    EXPECT_EQ(page().button(1031)->text().toStdString(), "Remove");
    std::vector<std::string> groups;
    for (const QGroupBox* group : page().findChildren<QGroupBox*>()) {
        groups.push_back(group->title().toStdString());
    }
    std::sort(groups.begin(), groups.end());
    EXPECT_EQ(groups, (std::vector<std::string>{"Banners Server Stop List", "Blocking", "Disabling",
                                                "Removing", "Response Filteration"}));
    EXPECT_EQ(page().windowTitle().toStdString(), "Filter response");
}

TEST_F(ResponsePageTest, PageActionTicksTheBoxEnablesAllAndSavesWithoutNotifying)
{
    setDword(settings::ResponseKey, "BLOCKIMAGES", 1);
    EXPECT_FALSE(page().checkBox(1037)->isEnabled());
    EXPECT_FALSE(page().bannerList()->isEnabled());
    SendMessage(page().hwnd(), msg::PageAction, 0, 0);
    EXPECT_TRUE(page().checkBox(1002)->isChecked());
    for (UINT id : {1035u, 1037u, 1034u, 1038u, 1043u, 1041u, 1039u, 1040u, 1036u, 1042u}) {
        EXPECT_TRUE(page().checkBox(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(page().bannerList()->isEnabled());
    EXPECT_TRUE(page().button(1029)->isEnabled());
    EXPECT_EQ(dword(settings::ResponseKey, nullptr), 1u);
    EXPECT_EQ(dword(settings::ResponseKey, "BLOCKIMAGES"), 1u);
    EXPECT_EQ(dword(settings::ResponseKey, "BLOCKSCRIPTS"), 0u);
    EXPECT_EQ(m_host.received(), 0);
}

TEST_F(ResponsePageTest, BoxesPostTheChangeAndSaveOnOk)
{
    page().checkBox(1002)->click();
    page().checkBox(1037)->click();
    EXPECT_EQ(m_host.received(), 2);
    EXPECT_EQ(dword(settings::ResponseKey, "BLOCKSCRIPTS"), 0u);
    SendMessage(page().hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dword(settings::ResponseKey, "BLOCKSCRIPTS"), 1u);
    EXPECT_EQ(dword(settings::ResponseKey, nullptr), 1u);
}

TEST_F(ResponsePageTest, BannerServerWithAColonIsSplitAtTheFirstColon)
{
    setString(settings::BannersKey, "ads.example", "blank.example");
    std::string caption;
    answerEntry(std::vector<std::string>{"proxy.example:8080", "img.example"}, &caption);
    command(page(), 1029);
    EXPECT_EQ(caption, "Banners Servers");
    EXPECT_EQ(
        page().bannerList()->entries(),
        (std::vector<std::string>{"ads.example:blank.example", "proxy.example:8080:img.example"}));
    SendMessage(page().hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(values(settings::BannersKey),
              (std::map<std::string, std::string>{{"ads.example", "blank.example"},
                                                  {"proxy.example", "8080:img.example"}}));
    EXPECT_EQ(m_host.received(), 1);
}

TEST_F(ResponsePageTest, RemovedBannerLeavesNoValueAndOnlyYesRemoves)
{
    setString(settings::BannersKey, "a.example", "x");
    setString(settings::BannersKey, "b.example", "y");
    platform::ScopedScriptedPresenter boxes;
    page().bannerList()->setCurrentRow(0);
    boxes->queueAnswer(IDNO);
    command(page(), 1031);
    boxes->queueAnswer(IDCANCEL);
    command(page(), 1031);
    EXPECT_EQ(page().bannerList()->count(), 2);
    boxes->queueAnswer(IDYES);
    command(page(), 1031);
    ASSERT_EQ(boxes->calls().size(), 3u);
    EXPECT_EQ(boxes->calls()[0].text, "Are You Sure You Want To Delete This Entry : a.example:x");
    EXPECT_EQ(boxes->calls()[0].caption, "Umbravia");
    EXPECT_EQ(boxes->calls()[0].buttons(), MB_YESNOCANCEL);
    EXPECT_EQ(boxes->calls()[0].icon(), MB_ICONQUESTION);
    SendMessage(page().hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(values(settings::BannersKey),
              (std::map<std::string, std::string>{{"b.example", "y"}}));
}

TEST_F(ResponsePageTest, DuplicateBannersAreRefusedAndAnEditNeverLosesTheOldEntry)
{
    setString(settings::BannersKey, "ads.example", "blank");
    setString(settings::BannersKey, "pop.example", "none");
    answerEntry(std::vector<std::string>{"ads.example", "bl"});
    command(page(), 1029);
    EXPECT_EQ(page().bannerList()->count(), 2); // "ads.example:blank" begins with it
    // Editing pop.example into a text that the other entry begins with keeps pop.example.
    page().bannerList()->setCurrentRow(1);
    std::vector<std::string> shown;
    answerEntry(std::vector<std::string>{"ads.example", "b"}, nullptr, &shown);
    command(page(), 1028, pageui::SortedListBox::DoubleClick);
    EXPECT_EQ(shown, (std::vector<std::string>{"pop.example", "none"}));
    EXPECT_EQ(page().bannerList()->entries(),
              (std::vector<std::string>{"ads.example:blank", "pop.example:none"}));
    // A real edit replaces the entry and sorts it in.
    page().bannerList()->setCurrentRow(1);
    answerEntry(std::vector<std::string>{"0pop.example", "none"});
    command(page(), 1030);
    EXPECT_EQ(page().bannerList()->entries(),
              (std::vector<std::string>{"0pop.example:none", "ads.example:blank"}));
    // A banner without a server is not taken.
    answerEntry(std::vector<std::string>{"", "x"});
    command(page(), 1029);
    EXPECT_EQ(page().bannerList()->count(), 2);
}

TEST_F(ResponsePageTest, MissingKeysAreReported)
{
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, settings::BannersKey), ERROR_SUCCESS);
    platform::ScopedScriptedPresenter boxes;
    page();
    ASSERT_EQ(boxes->calls().size(), 1u);
    EXPECT_EQ(boxes->calls()[0].text, "Invalide registry data");
    EXPECT_EQ(boxes->calls()[0].caption, "Response Filteration");
    SendMessage(page().hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(boxes->calls().size(), 2u);
}

// --- the module's exports ----------------------------------------------------------------

TEST_F(PageTest, CreateTabDlgMakesBothPagesAndOnProgramExitDestroysThem)
{
    testsupport::expectModulePages(testsupport::binDir() / "Filters.dll", m_parent,
                                   {"Filter request", "Filter response"});
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
