// The pop-up killer through the test browser: which navigations and titles close a
// window, settings read afresh at every event, and self-removal when the main program is
// gone or its settings cannot be read.

#include "BhoFixture.h"

#include <platform/Windows.h>

#include <string>

namespace {

using ieexttest::BhoTest;
using ieexttest::BrowserLayout;
using ieexttest::TestBrowser;

std::u16string wide(const std::string& text)
{
    return platform::toUtf16(text);
}

TEST_F(BhoTest, UrlPatternsMatchAsTheSettingsPageDescribes)
{
    struct Case {
        const char* pattern;
        const char* url;
        bool closes;
    };
    const Case cases[] = {
        {"*", "http://www.example.org/", true},
        {"*", "x", true},
        {"ads", "http://www.example.org/ads/1.html", true},
        {"ads", "http://www.example.org/a-d-s", false},
        {"ads", "http://www.example.org/ADS", false}, // case matters
        {"ads.*/pop", "ads.example.org/pop", true},
        {"ads.*/pop", "ads.example.org/x/pop/1", true},
        {"ads.*/pop", "http://ads.example.org/pop", false}, // not at the start
        {"ads.*/pop", "ads.example.org/other", false},
        {"x*z*y", "x-y-z", true},
        {"x*z*y", "x-z-y", true},
        {"x*z*y", "ax-z-y", false},
        {"x*z*y", "x-z", false},
        {"*pop*", "http://example.org/popup", true},
        {"*pop*", "http://example.org/", false},
        {"a**b", "ab", true},
    };
    TestBrowser& browser = open();
    int quits = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " on " + c.url);
        setList(browserhelper::UrlRuleKey, 1, {c.pattern});
        EXPECT_EQ(browser.fireBeforeNavigate(wide(c.url)), S_OK);
        quits += c.closes ? 1 : 0;
        EXPECT_EQ(browser.quits(), quits);
    }
}

TEST_F(BhoTest, UrlRuleTriesPatternsInOrderOnlyWhenEnabled)
{
    TestBrowser& browser = open();
    setList(browserhelper::UrlRuleKey, 0, {"ads"});
    browser.fireBeforeNavigate(u"http://ads.example.org/");
    EXPECT_EQ(browser.quits(), 0);

    // Two matching patterns: the window is closed once.
    setList(browserhelper::UrlRuleKey, 1, {"nothing", "ads", "example"});
    browser.fireBeforeNavigate(u"http://ads.example.org/");
    EXPECT_EQ(browser.quits(), 1);

    // Non-ASCII text is compared in the same 8-bit form the settings keep.
    setList(browserhelper::UrlRuleKey, 1, {"werbung-\xC3\xBC"});
    browser.fireBeforeNavigate(u"http://example.org/werbung-\u00FC/");
    EXPECT_EQ(browser.quits(), 2);
}

TEST_F(BhoTest, OverLongUrlEntryOnlyShortensTheList)
{
    const std::string tooLong(260, 'q'); // 260 characters and the zero: over the buffer
    TestBrowser& browser = open();
    setList(browserhelper::UrlRuleKey, 1, {tooLong, "ads"});
    browser.fireBeforeNavigate(u"http://ads.example.org/");
    EXPECT_EQ(browser.quits(), 0);
    EXPECT_TRUE(ieexttest::registrationKeyExists());

    setList(browserhelper::UrlRuleKey, 1, {"ads", tooLong});
    browser.fireBeforeNavigate(u"http://ads.example.org/");
    EXPECT_EQ(browser.quits(), 1);

    // 259 characters still fit.
    const std::string longest(259, 'q');
    setList(browserhelper::UrlRuleKey, 1, {longest, "ads"});
    browser.fireBeforeNavigate(wide("http://ads.example.org/" + longest));
    EXPECT_EQ(browser.quits(), 2);
}

TEST_F(BhoTest, FrameNavigationNeverClosesOrChangesBars)
{
    setSwitch(browserhelper::KillAllPopups, 1);
    setSizeRule(1, 100);
    setList(browserhelper::UrlRuleKey, 1, {"*"});
    for (const char* name :
         {browserhelper::ShowToolBar, browserhelper::ShowMenuBar, browserhelper::ShowAddressBar,
          browserhelper::ShowStatusBar, browserhelper::WindowResizable}) {
        setSwitch(name, 1);
    }
    BrowserLayout layout;
    layout.menuBar = layout.toolBar = layout.addressBar = layout.statusBar = false;
    TestBrowser& browser = open(layout);
    TestBrowser frame(nullptr);
    EXPECT_EQ(browser.fireBeforeNavigate(u"http://ads.example.org/", &frame), S_OK);
    EXPECT_EQ(browser.quits(), 0);
    EXPECT_EQ(frame.quits(), 0);
    EXPECT_TRUE(browser.calls().empty());
    EXPECT_TRUE(frame.calls().empty());
}

TEST_F(BhoTest, KillAllPopupsClosesEveryTopLevelNavigation)
{
    setSwitch(browserhelper::KillAllPopups, 1);
    // A window the user opened is closed at its first navigation too.
    TestBrowser& first = open();
    first.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(first.quits(), 1);
    TestBrowser& second = open();
    second.fireBeforeNavigate(u"about:blank");
    EXPECT_EQ(second.quits(), 1);
    // Titles are not navigations.
    second.fireTitleChange(u"Example");
    EXPECT_EQ(second.quits(), 1);
}

TEST_F(BhoTest, SizeRuleClosesOnlyWindowsBelowTheThreshold)
{
    RECT desktop{};
    ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &desktop));
    const LONG screenWidth = desktop.right - desktop.left;
    const LONG screenHeight = desktop.bottom - desktop.top;
    ASSERT_GT(screenWidth, 0);
    // 25 percent of the screen: a window of half its width and half its height is exactly
    // at the threshold and stays; one pixel less in height closes it.
    ASSERT_EQ(screenWidth % 2, 0);
    ASSERT_EQ(screenHeight % 2, 0);
    setSizeRule(1, 25);
    BrowserLayout atThreshold;
    atThreshold.width = screenWidth / 2;
    atThreshold.height = screenHeight / 2;
    TestBrowser& equal = open(atThreshold);
    equal.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(equal.quits(), 0);

    BrowserLayout below = atThreshold;
    below.height -= 1;
    TestBrowser& smaller = open(below);
    smaller.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(smaller.quits(), 1);

    // Disabled, or threshold 0: nothing is closed by size.
    setSizeRule(0, 25);
    smaller.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(smaller.quits(), 1);
    setSizeRule(1, 0);
    BrowserLayout tiny;
    tiny.width = 10;
    tiny.height = 10;
    TestBrowser& small = open(tiny);
    small.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(small.quits(), 0);

    // A threshold far over 100 percent closes every window instead of wrapping around.
    setSizeRule(1, 5000);
    equal.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(equal.quits(), 1);
}

TEST_F(BhoTest, TitleRuleMatchesListedTextsLiterally)
{
    TestBrowser& browser = open();
    setList(browserhelper::TitleRuleKey, 1, {"Casino", "a*b"});
    browser.fireTitleChange(u"Welcome");
    EXPECT_EQ(browser.quits(), 0);
    browser.fireTitleChange(u"Big Casino Night");
    EXPECT_EQ(browser.quits(), 1);
    browser.fireTitleChange(u"casino"); // case matters
    EXPECT_EQ(browser.quits(), 1);
    // '*' is no wildcard in titles.
    browser.fireTitleChange(u"axxb");
    EXPECT_EQ(browser.quits(), 1);
    browser.fireTitleChange(u"xa*by");
    EXPECT_EQ(browser.quits(), 2);
    // Titles do not go through the URL rule, navigations not through the title rule.
    browser.fireBeforeNavigate(u"http://example.org/Casino");
    EXPECT_EQ(browser.quits(), 2);

    setList(browserhelper::TitleRuleKey, 0, {"Casino"});
    browser.fireTitleChange(u"Big Casino Night");
    EXPECT_EQ(browser.quits(), 2);
}

TEST_F(BhoTest, SettingsChangedBetweenEventsApplyAtTheNext)
{
    TestBrowser& browser = open();
    browser.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(browser.quits(), 0);
    setSwitch(browserhelper::KillAllPopups, 1);
    browser.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(browser.quits(), 1);
    setSwitch(browserhelper::KillAllPopups, 0);
    browser.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(browser.quits(), 1);
}

TEST_F(BhoTest, MissingMainWindowRemovesTheRegistrationAndEndsTheWindow)
{
    TestBrowser& browser = open();
    setSwitch(browserhelper::KillAllPopups, 1);
    m_mainWindow.destroyWindow();
    ASSERT_TRUE(ieexttest::registrationKeyExists());
    EXPECT_EQ(ieexttest::loopExitCode([&] { browser.fireBeforeNavigate(u"http://x.org/"); }), 18);
    EXPECT_FALSE(ieexttest::registrationKeyExists());
    // Nothing else was done for that event; the object stays subscribed.
    EXPECT_EQ(browser.quits(), 0);
    EXPECT_EQ(browser.subscribers(), 1);
    // A browser opened now does not load the object any more.
    const BrowserLayout layout;
    TestBrowser later(&layout);
    EXPECT_EQ(later.loadHelpers(), 0);
}

TEST_F(BhoTest, UnreadableSettingsRemoveTheObject)
{
    TestBrowser& browser = open();
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, settings::IEExtKey), ERROR_SUCCESS);
    EXPECT_EQ(ieexttest::loopExitCode([&] { browser.fireTitleChange(u"Example"); }), 18);
    EXPECT_FALSE(ieexttest::registrationKeyExists());
}

TEST_F(BhoTest, OverLongTitleEntryRemovesTheObject)
{
    TestBrowser& browser = open();
    // Even with the title rule off: the list must be readable to its end.
    setList(browserhelper::TitleRuleKey, 0, {"Casino", std::string(260, 't')});
    EXPECT_EQ(ieexttest::loopExitCode([&] { browser.fireBeforeNavigate(u"http://x.org/"); }), 18);
    EXPECT_FALSE(ieexttest::registrationKeyExists());
}

TEST_F(BhoTest, ListsSkipEmptyAndNonTextEntriesAndMissingSubkeys)
{
    TestBrowser& browser = open();
    // No rule subkeys at all: nothing closes, nothing is removed.
    browser.fireTitleChange(u"Casino");
    browser.fireBeforeNavigate(u"http://ads.example.org/");
    EXPECT_EQ(browser.quits(), 0);
    EXPECT_TRUE(ieexttest::registrationKeyExists());

    setList(browserhelper::TitleRuleKey, 1, {""});
    settings::Key titles = settings::Key::open(
        HKEY_LOCAL_MACHINE, rulePath(browserhelper::TitleRuleKey).c_str(), KEY_ALL_ACCESS);
    titles.writeDword("1", 7);
    titles.writeString("a name of its own", "Casino");
    browser.fireTitleChange(u"Big Casino Night");
    EXPECT_EQ(browser.quits(), 1);
    browser.fireTitleChange(u"7");
    EXPECT_EQ(browser.quits(), 1);
}

TEST_F(BhoTest, EventsWithoutParametersAreRefusedOthersAnswerSuccess)
{
    TestBrowser& browser = open();
    EXPECT_EQ(browser.fireWithoutParameters(DISPID_BEFORENAVIGATE2), E_INVALIDARG);
    EXPECT_EQ(browser.fireWithoutParameters(DISPID_TITLECHANGE), E_INVALIDARG);
    // Unknown events and malformed arguments are no failures.
    EXPECT_EQ(browser.fireTitleChange(u""), S_OK);
    EXPECT_EQ(browser.fireBeforeNavigate(u""), S_OK);
    EXPECT_EQ(browser.quits(), 0);
}

TEST_F(BhoTest, QuitNotificationUnsubscribesAndNothingIsLeaked)
{
    const ULONG before = [] {
        const BrowserLayout layout;
        TestBrowser probe(&layout);
        return probe.references();
    }();
    TestBrowser& browser = open();
    EXPECT_GT(browser.references(), before);
    EXPECT_EQ(browser.fireQuit(), S_OK);
    EXPECT_EQ(browser.subscribers(), 0);
    browser.close();
    // The object let go of the browser when it was released.
    EXPECT_EQ(browser.references(), before);
}

} // namespace

int main(int argc, char** argv)
{
    return ieexttest::runTests(argc, argv);
}
