// The settings model against a real registry in the test's prefix: every value lands in
// its field and goes back to its own key, the default settings overwrite only their
// groups, lists are written anew, and a key that cannot be opened shows its own message
// and stops nothing else (loading) or everything after it (saving).

#include "core/SettingsModel.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>
#include <platform/Registry.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Values = std::map<std::string, DWORD>;
using Entries = std::vector<std::string>;

constexpr const char* Local = settings::LocalKey;
constexpr const char* Response = settings::ResponseKey;
constexpr const char* Request = settings::RequestKey;
constexpr const char* Chain = settings::ChainKey;

// Distinct values per key, so that a value read into the wrong field shows.
const Values LocalValues = {
    {"CLEARATEXIT", 1},         {"RECYCLEBIN", 2},       {"RUNHISTORY", 3},
    {"DOCHISTORY", 4},          {"LASTLOGONUSER", 5},    {"FINDFILES", 6},
    {"FINDCOMPUTER", 7},        {"NETCON", 8},           {"TELENT", 9},
    {"INTERNETURLHISTORY", 10}, {"TEMPSYSTEMFILES", 11}, {"TEMPINTERNETFILES", 12},
    {"AUTOFORMS", 13},          {"AUTOPASS", 14},        {"FAVORITES", 15},
    {"INTERNETCOOKIES", 16},    {"TYPEDURLHISTORY", 17},
};
const Values ResponseValues = {
    {"BLOCKPOPUPS", 21},      {"REMOVEFLASH", 22},      {"HIDEPAGETITLE", 23},
    {"BLOCKIMAGES", 24},      {"BLOCKSCRIPTS", 25},     {"DISABLEONUNLOAD", 26},
    {"DISABLETIMERPROC", 27}, {"REMOVESTATUSMODS", 28}, {"REMOVECTXMENUDIS", 29},
};
const Values RequestValues = {
    {"", 1},
    {"BROWSERSHIELD", 31},
    {"OSSHIELD", 32},
    {"REFERRERBLOCK", 33},
    {"IPMASKING", 34},
    {"FAKEIP", 0xC0A80001},
    {"DISABLEALLCOOKIES", 36},
    {"DISABLEUNSAFECOOKIES", 37},
};
const Values ChainValues = {
    {"CONNECTCHAIN", 41}, {"CONNTIMEOUT", 42},     {"PATHLENGTH", 43},
    {"USEONEPROXY", 44},  {"UPDATEATSTARTUP", 45}, {"UPDATEEVERY", 46},
};

void writeValues(const char* path, const Values& values)
{
    const settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, path);
    for (const auto& [name, value] : values) {
        key.writeDword(name.empty() ? nullptr : name.c_str(), value);
    }
}

// Every DWORD of a key, by name ("" for the unnamed one).
Values readValues(const char* path)
{
    Values values;
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, path);
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof data;
        if (RegEnumValue(key.get(), index, name, &nameLength, nullptr, &type,
                         reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS) {
            return values;
        }
        if (type == REG_DWORD) {
            values[name] = data;
        }
    }
}

void writeList(const std::string& path, DWORD enabled, const Entries& entries)
{
    ASSERT_EQ(settings::saveEntries(HKEY_LOCAL_MACHINE, path.c_str(), entries, enabled),
              ERROR_SUCCESS);
}

// A list key as stored: its switch, and its values in order as (name, data with length).
struct StoredList {
    std::optional<DWORD> enabled;
    std::vector<std::pair<std::string, std::string>> values;
};

StoredList storedList(const std::string& path)
{
    StoredList list;
    const settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, path.c_str());
    list.enabled = key.readDword(nullptr);
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        BYTE data[512];
        DWORD size = sizeof data;
        if (RegEnumValue(key.get(), index, name, &nameLength, nullptr, &type, data, &size) !=
            ERROR_SUCCESS) {
            return list;
        }
        if (type == REG_SZ) {
            list.values.emplace_back(name, std::string(reinterpret_cast<char*>(data), size));
        }
    }
}

std::vector<std::pair<std::string, std::string>> numbered(const Entries& entries)
{
    std::vector<std::pair<std::string, std::string>> values;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        values.emplace_back(std::to_string(i), entries[i] + std::string(1, '\0'));
    }
    return values;
}

class SettingsModelTest : public testsupport::PrefixTest {
protected:
    // Every key of the model, filled with the distinct values and lists.
    void writeEverything()
    {
        writeValues(Local, LocalValues);
        writeList(std::string(Local) + "\\CUSTOMDIRS", 1, {"C:\\Temp\\a", "C:\\Temp\\b"});
        writeValues(Response, ResponseValues);
        writeValues(Request, RequestValues);
        writeList(std::string(Request) + "\\CUSTOMFILTERS", 1, {"User-Agent: x", "From: y"});
        writeList(std::string(Request) + "\\STOPSERVERS", 0, {"ads.example"});
        writeValues(Chain, ChainValues);
        writeValues(settings::MainKey, {{"PROXYPORT", 3128}});
    }

    platform::ScopedScriptedPresenter m_boxes;
};

TEST_F(SettingsModelTest, LoadPutsEveryValueAndListInItsOwnField)
{
    writeEverything();
    wizard::SettingsModel model;
    wizard::loadSettings(model);
    EXPECT_TRUE(m_boxes->calls().empty());

    EXPECT_EQ(model.exitCleanup.clearAtExit, 1u);
    const wizard::WindowsCleanup& w = model.windowsCleanup;
    EXPECT_EQ(
        (std::vector<std::uint32_t>{w.recycleBin, w.runHistory, w.documentHistory, w.lastLogonUser,
                                    w.findFiles, w.findComputer, w.networkConnections, w.telnet}),
        (std::vector<std::uint32_t>{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(w.customDirectories, 1u);
    EXPECT_EQ(w.directories, (Entries{"C:\\Temp\\a", "C:\\Temp\\b"}));
    const wizard::BrowserCleanup& b = model.browserCleanup;
    EXPECT_EQ((std::vector<std::uint32_t>{b.urlHistory, b.tempSystemFiles, b.tempInternetFiles,
                                          b.autoCompleteForms, b.autoCompletePasswords, b.favorites,
                                          b.cookies, b.typedUrls}),
              (std::vector<std::uint32_t>{10, 11, 12, 13, 14, 15, 16, 17}));
    const wizard::ResponseFilter& r = model.response;
    EXPECT_EQ(
        (std::vector<std::uint32_t>{r.blockPopups, r.removeFlash, r.hidePageTitle, r.blockImages,
                                    r.blockScripts, r.disableOnUnload, r.disableTimers,
                                    r.removeStatusModifiers, r.removeMenuDisablers}),
        (std::vector<std::uint32_t>{21, 22, 23, 24, 25, 26, 27, 28, 29}));
    const wizard::RequestFilter& q = model.request;
    EXPECT_EQ((std::vector<std::uint32_t>{q.customLists, q.browserShield, q.osShield,
                                          q.referrerBlock, q.ipMasking, q.fakeIp,
                                          q.disableAllCookies, q.disableUnsafeCookies}),
              (std::vector<std::uint32_t>{1, 31, 32, 33, 34, 0xC0A80001, 36, 37}));
    EXPECT_EQ(model.lists.customFilters, 1u);
    EXPECT_EQ(model.lists.filters, (Entries{"User-Agent: x", "From: y"}));
    EXPECT_EQ(model.lists.stopServers, 0u);
    EXPECT_EQ(model.lists.servers, Entries{"ads.example"});
    const wizard::ProxyChain& c = model.chain;
    EXPECT_EQ(
        (std::vector<std::uint32_t>{c.connectChain, c.connectionTimeout, c.pathLength,
                                    c.useOneProxy, c.updateAtStartup, c.updateEvery, c.proxyPort}),
        (std::vector<std::uint32_t>{41, 42, 43, 44, 45, 46, 3128}));
}

TEST_F(SettingsModelTest, LoadWithoutAPortTakes8080AndMissingValuesKeepTheirFields)
{
    writeValues(Local, {{"RECYCLEBIN", 1}});
    writeValues(Response, {});
    writeValues(Request, {});
    writeValues(Chain, {{"PATHLENGTH", 3}});
    writeValues(settings::MainKey, {});
    wizard::SettingsModel model;
    model.chain.proxyPort = 9999;
    model.chain.connectionTimeout = 500;
    model.response.blockImages = 1;
    wizard::loadSettings(model);
    EXPECT_TRUE(m_boxes->calls().empty());
    EXPECT_EQ(model.chain.proxyPort, 8080u);
    EXPECT_EQ(model.chain.pathLength, 3u);
    EXPECT_EQ(model.chain.connectionTimeout, 500u);
    EXPECT_EQ(model.response.blockImages, 1u);
    EXPECT_EQ(model.windowsCleanup.recycleBin, 1u);
}

TEST_F(SettingsModelTest, AKeyThatCannotBeOpenedShowsItsMessageAndKeepsItsGroup)
{
    // Nothing at all: every key is missing.
    wizard::SettingsModel model;
    model.chain.proxyPort = 1234;
    model.chain.pathLength = 7;
    model.windowsCleanup.directories = {"kept"};
    model.lists.filters = {"kept: too"};
    wizard::loadSettings(model);
    std::vector<std::string> texts;
    for (const platform::MessageBoxCall& box : m_boxes->calls()) {
        EXPECT_EQ(box.caption, "Umbravia Settings Wizard");
        EXPECT_EQ(box.icon(), MB_ICONERROR);
        texts.push_back(box.text);
    }
    // Local, the two Filters keys, Chain, the main key.
    EXPECT_EQ(texts, (std::vector<std::string>{"Invalide Registry data", "Invalide Registry Data",
                                               "Invalide Registry Data", "Invalide registry data",
                                               "Invalide registry data"}));
    EXPECT_EQ(model.chain.proxyPort, 1234u);
    EXPECT_EQ(model.chain.pathLength, 7u);
    EXPECT_EQ(model.windowsCleanup.directories, Entries{"kept"});
    EXPECT_EQ(model.lists.filters, Entries{"kept: too"});

    // One key gone: the others load.
    writeEverything();
    SHDeleteKey(HKEY_LOCAL_MACHINE, Chain);
    m_boxes->clear();
    wizard::SettingsModel partly;
    wizard::loadSettings(partly);
    EXPECT_EQ(m_boxes->texts(), std::vector<std::string>{"Invalide registry data"});
    EXPECT_EQ(partly.chain.pathLength, 0u);
    EXPECT_EQ(partly.chain.proxyPort, 3128u);
    EXPECT_EQ(partly.response.blockPopups, 21u);
}

TEST_F(SettingsModelTest, DefaultsOverwriteTheirGroupsValueByValueAndKeepTheRest)
{
    writeEverything();
    wizard::SettingsModel model;
    wizard::loadSettings(model);
    wizard::applyDefaults(model);
    ASSERT_TRUE(wizard::saveSettings(model));
    EXPECT_TRUE(m_boxes->calls().empty());

    EXPECT_EQ(readValues(Chain), (Values{{"CONNECTCHAIN", 1},
                                         {"CONNTIMEOUT", 0},
                                         {"PATHLENGTH", 1},
                                         {"USEONEPROXY", 1},
                                         {"UPDATEEVERY", 2},
                                         {"UPDATEATSTARTUP", 0}}));
    EXPECT_EQ(readValues(settings::MainKey), (Values{{"PROXYPORT", 8080}}));
    EXPECT_EQ(readValues(Response), (Values{{"BLOCKPOPUPS", 1},
                                            {"REMOVEFLASH", 1},
                                            {"HIDEPAGETITLE", 0},
                                            {"BLOCKIMAGES", 0},
                                            {"BLOCKSCRIPTS", 0},
                                            {"DISABLEONUNLOAD", 1},
                                            {"DISABLETIMERPROC", 1},
                                            {"REMOVESTATUSMODS", 0},
                                            {"REMOVECTXMENUDIS", 0}}));
    EXPECT_EQ(readValues(Request), (Values{{"", 1},
                                           {"BROWSERSHIELD", 1},
                                           {"OSSHIELD", 1},
                                           {"REFERRERBLOCK", 1},
                                           {"IPMASKING", 1},
                                           {"FAKEIP", 0xFFFFFFFF},
                                           {"DISABLEALLCOOKIES", 0},
                                           {"DISABLEUNSAFECOOKIES", 1}}));
    // Internet Explorer clean-up all on; Windows clean-up and exit clean-up as they were.
    Values local = LocalValues;
    for (const char* name :
         {"INTERNETURLHISTORY", "TEMPSYSTEMFILES", "TEMPINTERNETFILES", "AUTOFORMS", "AUTOPASS",
          "FAVORITES", "INTERNETCOOKIES", "TYPEDURLHISTORY"}) {
        local[name] = 1;
    }
    EXPECT_EQ(readValues(Local), local);
    const std::string localKey = Local;
    const std::string requestKey = Request;
    EXPECT_EQ(storedList(localKey + "\\CUSTOMDIRS").values,
              numbered({"C:\\Temp\\a", "C:\\Temp\\b"}));
    EXPECT_EQ(storedList(localKey + "\\CUSTOMDIRS").enabled, 1u);
    EXPECT_EQ(storedList(requestKey + "\\CUSTOMFILTERS").values,
              numbered({"User-Agent: x", "From: y"}));
    EXPECT_EQ(storedList(requestKey + "\\STOPSERVERS").values, numbered({"ads.example"}));
    EXPECT_EQ(storedList(requestKey + "\\STOPSERVERS").enabled, 0u);
}

TEST_F(SettingsModelTest, SaveWritesListsAnewNumberedFromZeroWithTheirZeroCounted)
{
    writeEverything();
    // Leftovers under odd names must go with the old list.
    settings::Key::open(HKEY_LOCAL_MACHINE, (std::string(Request) + "\\CUSTOMFILTERS").c_str(),
                        KEY_ALL_ACCESS)
        .writeString("stale", "Old: entry");
    wizard::SettingsModel model;
    wizard::loadSettings(model);
    model.lists.filters = {"Accept-Language: en", "Cookie: none", "Via: x"};
    model.lists.servers = {};
    model.windowsCleanup.directories = {"C:\\one"};
    model.windowsCleanup.customDirectories = 0;
    ASSERT_TRUE(wizard::saveSettings(model));

    const std::string requestKey = Request;
    const StoredList filters = storedList(requestKey + "\\CUSTOMFILTERS");
    EXPECT_EQ(filters.values, numbered({"Accept-Language: en", "Cookie: none", "Via: x"}));
    EXPECT_EQ(filters.enabled, 1u);
    const StoredList servers = storedList(requestKey + "\\STOPSERVERS");
    EXPECT_TRUE(servers.values.empty());
    EXPECT_EQ(servers.enabled, 0u);
    const StoredList dirs = storedList(std::string(Local) + "\\CUSTOMDIRS");
    EXPECT_EQ(dirs.values, numbered({"C:\\one"}));
    EXPECT_EQ(dirs.enabled, 0u);

    // The model read back is the model written.
    wizard::SettingsModel again;
    wizard::loadSettings(again);
    EXPECT_EQ(again.lists.filters, model.lists.filters);
    EXPECT_EQ(again.windowsCleanup.directories, model.windowsCleanup.directories);
}

TEST_F(SettingsModelTest, TheRequestSwitchGoesOnWithAListAndIsNeverTurnedOffByTheLists)
{
    writeEverything();
    writeValues(Request, {{"", 0}});
    wizard::SettingsModel model;
    wizard::loadSettings(model);
    model.lists.customFilters = 0;
    model.lists.stopServers = 1;
    ASSERT_TRUE(wizard::saveSettings(model));
    EXPECT_EQ(readValues(Request)[""], 1u);

    // Both lists off: request filtering stays as the user had it.
    model.lists.stopServers = 0;
    model.request.customLists = 1;
    ASSERT_TRUE(wizard::saveSettings(model));
    EXPECT_EQ(readValues(Request)[""], 1u);
}

TEST_F(SettingsModelTest, SavingStopsAtTheFirstKeyThatCannotBeOpenedWithItsMessage)
{
    writeEverything();
    wizard::SettingsModel model;
    wizard::loadSettings(model);
    wizard::applyDefaults(model);
    model.exitCleanup.clearAtExit = 0;
    SHDeleteKey(HKEY_LOCAL_MACHINE, Response);
    EXPECT_FALSE(wizard::saveSettings(model));
    ASSERT_EQ(m_boxes->calls().size(), 1u);
    EXPECT_EQ(m_boxes->calls()[0].text, "Invalide Registry Data");
    EXPECT_EQ(m_boxes->calls()[0].caption, "Umbravia Settings Wizard");
    EXPECT_EQ(m_boxes->calls()[0].icon(), MB_ICONERROR);
    // Local came before and was written; the request filter, Chain and the port were not.
    EXPECT_EQ(readValues(Local)["CLEARATEXIT"], 0u);
    EXPECT_EQ(readValues(Request)["BROWSERSHIELD"], 31u);
    EXPECT_EQ(readValues(Chain)["PATHLENGTH"], 43u);
    EXPECT_EQ(readValues(settings::MainKey)["PROXYPORT"], 3128u);

    // The chain step has its own spelling, and the port after it stays.
    writeValues(Response, {});
    SHDeleteKey(HKEY_LOCAL_MACHINE, Chain);
    m_boxes->clear();
    EXPECT_FALSE(wizard::saveSettings(model));
    EXPECT_EQ(m_boxes->texts(), std::vector<std::string>{"Invalide registry data"});
    EXPECT_EQ(readValues(Request)["BROWSERSHIELD"], 1u);
    EXPECT_EQ(readValues(settings::MainKey)["PROXYPORT"], 3128u);
}

} // namespace
