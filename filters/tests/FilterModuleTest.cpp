// Filters.dll through its exports, in a registered prefix: registration, the settings
// read on every call, presets, the stop list, binary bodies and the registry failures.

#include "FiltersModule.h"

#include <platform/Registry.h>

#include <string>
#include <vector>

namespace filters::testing {
namespace {

using namespace std::string_literals;

const std::string Request = "GET http://www.example.com/a.gif HTTP/1.1\r\n"
                            "Host: www.example.com\r\n"
                            "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0)\r\n"
                            "Referer: http://www.example.com/\r\n"
                            "Cookie: id=42\r\n"
                            "\r\n";
const std::string Page = "<html><head><title>Secret</title><script>track()</script></head>"
                         "<body onunload=\"bye()\"><a href=# onclick=\"window.open('p.htm');\">"
                         "x</a></body>";

std::vector<std::string> valueNames(const char* path)
{
    std::vector<std::string> names;
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, path);
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumValue(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return names;
        }
        names.emplace_back(name, length);
    }
}

using Registration = FiltersModule;

TEST_F(Registration, WritesPathNameAndEverySwitchAsZero)
{
    settings::Key module = settings::Key::open(HKEY_LOCAL_MACHINE, settings::FiltersKey);
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueEx(module.get(), "PathName", nullptr, nullptr, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, std::string("C:\\Program Files\\Umbravia\\Filters.dll").size() + 1);
    EXPECT_EQ(module.readString("PATHNAME"), "C:\\Program Files\\Umbravia\\Filters.dll");
    EXPECT_EQ(valueNames(settings::RequestKey),
              (std::vector<std::string>{"BROWSERSHIELD", "DISABLEALLCOOKIES",
                                        "DISABLEUNSAFECOOKIES", "IPMASKING", "OSSHIELD",
                                        "REFERRERBLOCK", "FAKEIP", "DISABLEINTERNETCACHE"}));
    EXPECT_EQ(
        valueNames(settings::ResponseKey),
        (std::vector<std::string>{"BLOCKBANNERS", "BLOCKIMAGES", "BLOCKSCRIPTS", "DISABLEONUNLOAD",
                                  "HIDEPAGETITLE", "BLOCKPOPUPS", "REMOVECTXMENUDIS", "REMOVEFLASH",
                                  "REMOVESTATUSMODS", "DISABLETIMERPROC"}));
    for (const char* path : {settings::RequestKey, settings::ResponseKey}) {
        for (const std::string& name : valueNames(path)) {
            EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, path, name.c_str()), 0u) << name;
        }
    }
    const std::string req = settings::RequestKey;
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, (req + "\\CUSTOMFILTERS").c_str(), nullptr),
              0u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, (req + "\\STOPSERVERS").c_str(), nullptr),
              0u);
    EXPECT_TRUE(settings::Key::open(HKEY_LOCAL_MACHINE, (req + "\\COOKIETRUSTEDSITES").c_str()));
    EXPECT_TRUE(valueNames((req + "\\COOKIETRUSTEDSITES").c_str()).empty());
    // The filter switches themselves are the host's to set.
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::RequestKey, nullptr), std::nullopt);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ResponseKey, nullptr),
              std::nullopt);
}

TEST_F(Registration, RegisteringAgainResetsSwitchesAndKeepsListEntries)
{
    const std::string stop = std::string(settings::RequestKey) + "\\STOPSERVERS";
    ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, stop.c_str(), {1, {"ads.example"}}),
              ERROR_SUCCESS);
    setRequest("BROWSERSHIELD", 1);
    setResponse("BLOCKPOPUPS", 1);
    ASSERT_EQ(m_registerDll("C:\\Other\\Filters.dll"), 1);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::RequestKey, "BROWSERSHIELD"), 0u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, settings::ResponseKey, "BLOCKPOPUPS"), 0u);
    const auto list = settings::readList(HKEY_LOCAL_MACHINE, stop.c_str());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->enabled, 0u);
    EXPECT_EQ(list->entries, std::vector<std::string>{"ads.example"});
    EXPECT_EQ(settings::Key::open(HKEY_LOCAL_MACHINE, settings::FiltersKey).readString("PathName"),
              "C:\\Other\\Filters.dll");
    EXPECT_EQ(m_registerDll(nullptr), 0);
}

TEST_F(Registration, UnregisteringDeletesTheWholeModuleKey)
{
    EXPECT_EQ(m_unregisterDll(), 1);
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::FiltersKey));
    EXPECT_TRUE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::DllsKey));
    EXPECT_EQ(m_unregisterDll(), 0); // nothing left to delete
    SHDeleteKey(HKEY_LOCAL_MACHINE, settings::DllsKey);
    EXPECT_EQ(m_unregisterDll(), 0);
}

using Requests = FiltersModule;

TEST_F(Requests, BothSidesOffGiveAByteForByteCopy)
{
    setRequest("BROWSERSHIELD", 1); // switches are ignored while filtering is off
    EXPECT_EQ(request(Request), Request);
    EXPECT_EQ(m_outLength, Request.size());
    EXPECT_EQ(m_input, Request);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(Requests, SettingsAreReadAfreshOnEveryCall)
{
    setRequest(nullptr, 1);
    EXPECT_EQ(request(Request), Request);
    setRequest("REFERRERBLOCK", 1);
    EXPECT_EQ(request(Request)->find("Referer"), std::string::npos);
    setRequest(nullptr, 0);
    EXPECT_EQ(request(Request), Request);
}

TEST_F(Requests, BytesFromAZeroByteOnFollowTheFilteredText)
{
    setRequest(nullptr, 1);
    setRequest("BROWSERSHIELD", 1);
    const std::string body = "\0\x01\x02 User-Agent: kept\r\n\0tail"s;
    const std::string head = "POST http://h/up HTTP/1.1\r\nUser-Agent: x\r\n\r\n";
    EXPECT_EQ(request(head + body), "POST http://h/up HTTP/1.1\r\n\r\n" + body);
    EXPECT_EQ(m_outLength, head.size() - 15 + body.size());
    EXPECT_EQ(m_input, head + body); // the input is never touched on success
}

TEST_F(Requests, StopListBlanksTheWholeInputAndReturnsNull)
{
    setRequest(nullptr, 1);
    const std::string stop = std::string(settings::RequestKey) + "\\STOPSERVERS";
    ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, stop.c_str(), {1, {"WWW.EXAMPLE.COM"}}),
              ERROR_SUCCESS);
    const std::string withBody = Request + "\0body"s;
    EXPECT_EQ(request(withBody), std::nullopt);
    EXPECT_EQ(m_outLength, 0u);
    EXPECT_EQ(m_input, std::string(withBody.size(), ' '));
    EXPECT_TRUE(m_boxes->calls().empty());
    // A list switched off blocks nothing.
    ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, stop.c_str(), {0, {"www.example.com"}}),
              ERROR_SUCCESS);
    EXPECT_EQ(request(Request), Request);
}

TEST_F(Requests, LevelTwoRemovesTheUserAgentWithEveryValueOff)
{
    setLevel(2);
    const std::optional<std::string> out = request(Request, "");
    ASSERT_TRUE(out);
    EXPECT_EQ(out->find("User-Agent"), std::string::npos);
    EXPECT_EQ(out->find("Referer"), std::string::npos);
    EXPECT_NE(out->find("a.gif"), std::string::npos); // images are level 4's
}

TEST_F(Requests, LevelOneChangesNothingWithEveryValueOn)
{
    setLevel(1);
    setRequest(nullptr, 1);
    setResponse(nullptr, 1);
    for (const std::string& name : valueNames(settings::RequestKey)) {
        setRequest(name.c_str(), 1);
    }
    for (const std::string& name : valueNames(settings::ResponseKey)) {
        setResponse(name.c_str(), 1);
    }
    EXPECT_EQ(request(Request), Request);
}

TEST_F(Requests, LevelFourTakesFakeIpAndListsFromTheRegistry)
{
    setLevel(4);
    setRequest("FAKEIP", 0x0A0B0C0D);
    const std::string req = std::string(settings::RequestKey);
    ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, (req + "\\CUSTOMFILTERS").c_str(),
                                 {0, {"Accept: */*"}}),
              ERROR_SUCCESS);
    const std::optional<std::string> out =
        request("GET http://h/p.jpg HTTP/1.1\r\nAccept: image/jpeg\r\nX-Via: 10.0.0.1\r\n\r\n");
    EXPECT_EQ(out, "GET http://h/p.unk HTTP/1.1\r\nAccept: */*\nX-Via: 10.11.12.13\r\n\r\n");
}

TEST_F(Requests, BannerServersComeFromTheBannersKey)
{
    setResponse(nullptr, 1);
    setResponse("BLOCKBANNERS", 1);
    settings::Key banners = key(settings::BannersKey);
    banners.writeString("ads.example.net", "localhost");
    banners.writeString("empty.example", "");
    EXPECT_EQ(request("GET http://ads.example.net/b.js HTTP/1.0\r\nX: empty.example\r\n"),
              "GET http://localhost/b.js HTTP/1.0\r\nX: empty.example\r\n");
}

TEST_F(Requests, OverLongStopListEntryEndsTheListSilently)
{
    setRequest(nullptr, 1);
    const std::string stop = std::string(settings::RequestKey) + "\\STOPSERVERS";
    ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, stop.c_str(),
                                 {1, {"first.example", std::string(300, 'x'), "www.example.com"}}),
              ERROR_SUCCESS);
    EXPECT_EQ(request(Request), Request); // the entry behind the long one is never read
    EXPECT_EQ(request("GET http://first.example/ HTTP/1.0\r\n"), std::nullopt);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(Requests, RefusedArgumentsTouchNothing)
{
    char text[] = "GET / HTTP/1.0\r\n";
    unsigned int out = 7;
    EXPECT_EQ(m_filterRequest(nullptr, 5, &out, ""), nullptr);
    EXPECT_EQ(m_filterRequest(text, 0, &out, ""), nullptr);
    EXPECT_EQ(m_filterRequest(text, -3, &out, ""), nullptr);
    EXPECT_EQ(out, 7u);
    EXPECT_EQ(m_filterRequest(text, 16, nullptr, ""), nullptr);
    EXPECT_STREQ(text, "GET / HTTP/1.0\r\n");
    setRequest(nullptr, 1);
    setRequest("IPMASKING", 1);
    char* copy = m_filterRequest(text, 16, &out, nullptr); // no local address: nothing to mask
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, text);
    m_free(copy);
    m_free(nullptr);
}

using Responses = FiltersModule;

TEST_F(Responses, LevelsOneAndTwoPassAPageFullOfScriptsUnchanged)
{
    setResponse(nullptr, 1);
    for (const std::string& name : valueNames(settings::ResponseKey)) {
        setResponse(name.c_str(), 1);
    }
    for (DWORD level : {1u, 2u}) {
        setLevel(level);
        EXPECT_EQ(response(Page), Page) << level;
    }
}

TEST_F(Responses, CustomLevelNeedsTheResponseSwitch)
{
    setResponse("HIDEPAGETITLE", 1);
    const std::string page = "<HTML><TITLE>Secret</TITLE></HTML>";
    EXPECT_EQ(response(page), page);
    setResponse(nullptr, 1);
    EXPECT_EQ(response(page), "<HTML><TITLE>      </TITLE></HTML>");
}

TEST_F(Responses, LevelThreeKeepsScriptsAndLevelFourBlanksThem)
{
    setLevel(3);
    std::string out = response(Page);
    EXPECT_EQ(out.size(), Page.size());
    EXPECT_NE(out.find("<script>track()</script>"), std::string::npos);
    EXPECT_NE(out.find("<title>      </title>"), std::string::npos);
    EXPECT_EQ(out.find("window.open"), std::string::npos);
    EXPECT_EQ(out.find("onunload"), std::string::npos);
    setLevel(4);
    out = response(Page);
    EXPECT_EQ(out.find("<script>"), std::string::npos);
    EXPECT_NE(out.find("</title>" + std::string(24, ' ') + "</head>"), std::string::npos);
}

TEST_F(Responses, TextAfterAZeroByteIsLeftAlone)
{
    setLevel(4);
    const std::string chunk = "<title>t</title>\0<title>u</title>"s;
    const std::string out = response(chunk);
    EXPECT_EQ(out, "<title> </title>\0<title>u</title>"s);
}

TEST_F(Responses, RefusedArgumentsReturnAtOnce)
{
    m_filterResponse(nullptr, 10);
    char text[] = "<title>t</title>";
    setLevel(4);
    m_filterResponse(text, 0);
    m_filterResponse(text, -1);
    EXPECT_STREQ(text, "<title>t</title>");
}

// Every listed cause of a registry failure: the box, then a zeroed chunk and null.
struct Breakage {
    const char* name;
    void (*apply)();
    bool response; // also breaks FilterResponse
};

void deleteSubkey(const char* parent, const char* name)
{
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, parent, KEY_ALL_ACCESS);
    ASSERT_EQ(SHDeleteKey(key.get(), name), DWORD(ERROR_SUCCESS)) << name;
}

const Breakage Breakages[] = {
    {"ReqKeyMissing", [] { deleteSubkey(settings::FiltersKey, "Req"); }, false},
    {"CustomFiltersMissing", [] { deleteSubkey(settings::RequestKey, "CUSTOMFILTERS"); }, false},
    {"TrustedSitesMissing", [] { deleteSubkey(settings::RequestKey, "COOKIETRUSTEDSITES"); },
     false},
    {"CustomFilterTooLong",
     [] {
         const std::string path = std::string(settings::RequestKey) + "\\CUSTOMFILTERS";
         settings::saveList(HKEY_LOCAL_MACHINE, path.c_str(),
                            {1, {"X-A: " + std::string(260, 'a')}});
     },
     false},
    {"TrustedSiteTooLong",
     [] {
         const std::string path = std::string(settings::RequestKey) + "\\COOKIETRUSTEDSITES";
         settings::saveList(HKEY_LOCAL_MACHINE, path.c_str(), {0, {std::string(300, 't')}});
     },
     false},
    {"ResKeyMissing", [] { deleteSubkey(settings::FiltersKey, "Res"); }, true},
    {"TimerSwitchMissing",
     [] {
         settings::Key res =
             settings::Key::open(HKEY_LOCAL_MACHINE, settings::ResponseKey, KEY_ALL_ACCESS);
         ASSERT_EQ(RegDeleteValue(res.get(), "DISABLETIMERPROC"), ERROR_SUCCESS);
     },
     true},
    {"PrivacyLevelMissing",
     [] {
         settings::Key main =
             settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
         ASSERT_EQ(RegDeleteValue(main.get(), "PRIVACYLEVEL"), ERROR_SUCCESS);
     },
     true},
};

class RegistryFailure : public FiltersModule, public ::testing::WithParamInterface<Breakage> {
protected:
    void expectBoxes(std::size_t count)
    {
        const auto calls = m_boxes->calls();
        ASSERT_EQ(calls.size(), count);
        for (const platform::MessageBoxCall& call : calls) {
            EXPECT_EQ(call.text, "Invalide registry data");
            EXPECT_EQ(call.caption, "Filters");
            EXPECT_EQ(call.icon(), MB_ICONERROR);
            EXPECT_EQ(call.owner, HWND(0));
        }
    }
};

TEST_P(RegistryFailure, RequestIsZeroedAfterTheBoxOnEveryCall)
{
    setRequest(nullptr, 1);
    GetParam().apply();
    for (int call = 1; call <= 2; ++call) {
        EXPECT_EQ(request(Request), std::nullopt);
        EXPECT_EQ(m_outLength, 0u);
        EXPECT_EQ(m_input, std::string(Request.size(), '\0'));
    }
    expectBoxes(2);
}

// The settings kept from a good call must not hide a breakage: the next call reads again.
TEST_P(RegistryFailure, BreakingSettingsAfterAGoodCallFailsTheNextCall)
{
    setRequest(nullptr, 1);
    setLevel(4);
    ASSERT_NE(request(Request), std::nullopt);
    const std::string filtered = response(Page);
    ASSERT_NE(filtered, Page);
    GetParam().apply();
    EXPECT_EQ(request(Request), std::nullopt);
    EXPECT_EQ(m_input, std::string(Request.size(), '\0'));
    const std::string out = response(Page);
    if (GetParam().response) {
        EXPECT_EQ(out, std::string(Page.size(), '\0'));
        expectBoxes(2);
    } else {
        EXPECT_EQ(out.size(), Page.size());
        EXPECT_NE(out, Page);
        expectBoxes(1);
    }
}

TEST_P(RegistryFailure, ResponseIsZeroedOnlyForItsOwnSettings)
{
    setLevel(4);
    GetParam().apply();
    const std::string out = response(Page);
    if (GetParam().response) {
        EXPECT_EQ(out, std::string(Page.size(), '\0'));
        expectBoxes(1);
    } else {
        EXPECT_EQ(out.size(), Page.size());
        EXPECT_NE(out, Page);
        expectBoxes(0);
    }
}

INSTANTIATE_TEST_SUITE_P(Causes, RegistryFailure, ::testing::ValuesIn(Breakages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace filters::testing
