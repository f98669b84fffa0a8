// The window chrome through the test browser: hidden bars switched on in their order,
// the window grown by what the page area lost, within the work area, and nothing done
// where nothing had to change.

#include "BhoFixture.h"

#include <platform/Windows.h>

#include <string>
#include <vector>

namespace {

using ieexttest::BhoTest;
using ieexttest::BrowserLayout;
using ieexttest::TestBrowser;
using Calls = std::vector<std::string>;

// What the page-area measure finds with every bar shown, against the client height: the
// bars above it, the status bar below it, and one pixel for each edge the measure steps
// over.
constexpr int BarsTakeAway = ieexttest::MenuBarHeight + ieexttest::ToolBarHeight +
                             ieexttest::AddressBarHeight + ieexttest::StatusBarHeight + 2;

class WindowChromeTest : public BhoTest {
protected:
    void SetUp() override
    {
        BhoTest::SetUp();
        ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &m_workArea, 0));
        ASSERT_GT(m_workArea.bottom - m_workArea.top, 400);
    }

    static void showAll()
    {
        for (const char* name : {browserhelper::ShowToolBar, browserhelper::ShowMenuBar,
                                 browserhelper::ShowAddressBar, browserhelper::ShowStatusBar}) {
            setSwitch(name, 1);
        }
    }

    static BrowserLayout bare()
    {
        BrowserLayout layout;
        layout.menuBar = layout.toolBar = layout.addressBar = layout.statusBar = false;
        return layout;
    }

    LONG workHeight() const { return m_workArea.bottom - m_workArea.top; }

    RECT m_workArea{};
};

TEST_F(WindowChromeTest, HiddenBarsAreSwitchedOnInOrderAndTheWindowGrows)
{
    showAll();
    BrowserLayout layout = bare();
    layout.top = m_workArea.top + 10;
    layout.height = 300;
    TestBrowser& browser = open(layout);
    browser.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(browser.calls(),
              (Calls{"put_ToolBar 1", "put_MenuBar 1", "put_AddressBar 1", "put_StatusBar 1",
                     "put_Visible 1", "put_Height " + std::to_string(300 + BarsTakeAway)}));
    for (ieexttest::Bar bar : {ieexttest::Bar::Menu, ieexttest::Bar::Tool, ieexttest::Bar::Address,
                               ieexttest::Bar::Status}) {
        EXPECT_TRUE(browser.barShown(bar));
    }
    // The page area kept its height (and the measure's two edge pixels).
    RECT page{};
    ASSERT_TRUE(GetClientRect(browser.pageHwnd(), &page));
    EXPECT_EQ(page.bottom - page.top, 302);
    EXPECT_FALSE(browser.resizable());
}

TEST_F(WindowChromeTest, OnlyTheSwitchedBarsCountAndAHiddenWindowIsShown)
{
    setSwitch(browserhelper::ShowStatusBar, 1);
    BrowserLayout layout;
    layout.statusBar = false;
    layout.visible = false;
    layout.top = m_workArea.top;
    TestBrowser& browser = open(layout);
    ASSERT_FALSE(browser.frame()->isVisible());
    browser.fireBeforeNavigate(u"http://www.example.org/");
    // Measured while hidden, the page area was the whole client area.
    EXPECT_EQ(browser.calls(), (Calls{"put_StatusBar 1", "put_Visible 1",
                                      "put_Height " + std::to_string(300 + BarsTakeAway)}));
    EXPECT_TRUE(browser.frame()->isVisible());
}

TEST_F(WindowChromeTest, StatusBarAloneGrowsTheWindowByItsHeight)
{
    setSwitch(browserhelper::ShowStatusBar, 1);
    BrowserLayout layout;
    layout.statusBar = false;
    layout.top = m_workArea.top;
    TestBrowser& browser = open(layout);
    browser.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(browser.calls(),
              (Calls{"put_StatusBar 1", "put_Visible 1",
                     "put_Height " + std::to_string(300 + ieexttest::StatusBarHeight + 1)}));
}

TEST_F(WindowChromeTest, NothingToSwitchLeavesTheWindowAlone)
{
    showAll();
    BrowserLayout layout; // every bar shown already
    layout.visible = false;
    TestBrowser& browser = open(layout);
    browser.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_TRUE(browser.calls().empty());
    EXPECT_FALSE(browser.frame()->isVisible());

    // Bars hidden but their switches off: the same.
    setSwitch(browserhelper::ShowToolBar, 0);
    setSwitch(browserhelper::ShowMenuBar, 0);
    setSwitch(browserhelper::ShowAddressBar, 0);
    setSwitch(browserhelper::ShowStatusBar, 0);
    TestBrowser& bareBrowser = open(bare());
    bareBrowser.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_TRUE(bareBrowser.calls().empty());

    // Resizable is no change of its own.
    setSwitch(browserhelper::WindowResizable, 1);
    bareBrowser.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(bareBrowser.calls(), Calls{"put_Resizable 1"});
    EXPECT_TRUE(bareBrowser.resizable());
}

TEST_F(WindowChromeTest, PageAreaThatDidNotShrinkKeepsTheHeight)
{
    setSwitch(browserhelper::ShowMenuBar, 1);
    BrowserLayout layout;
    layout.menuBar = false;
    layout.barsFollowSetters = false; // the browser takes the call but shows nothing
    TestBrowser& browser = open(layout);
    browser.fireBeforeNavigate(u"http://www.example.org/");
    EXPECT_EQ(browser.calls(), (Calls{"put_MenuBar 1", "put_Visible 1"}));
    EXPECT_EQ(browser.height(), 300);
}

TEST_F(WindowChromeTest, GrowthStopsAtTheWorkAreaHeight)
{
    showAll();
    BrowserLayout layout = bare();
    layout.top = m_workArea.top + 10;
    layout.height = workHeight() - 20;
    TestBrowser& browser = open(layout);
    browser.fireBeforeNavigate(u"http://www.example.org/");
    const Calls& calls = browser.calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[5], "put_Top " + std::to_string(m_workArea.top));
    EXPECT_EQ(calls[6], "put_Height " + std::to_string(workHeight()));
}

TEST_F(WindowChromeTest, GrownWindowMovesUpToEndAtTheWorkAreaBottom)
{
    showAll();
    BrowserLayout layout = bare();
    layout.height = 250;
    layout.top = m_workArea.bottom - 260; // grown, it would end below the work area
    TestBrowser& browser = open(layout);
    browser.fireBeforeNavigate(u"http://www.example.org/");
    const LONG grown = 250 + BarsTakeAway;
    const Calls& calls = browser.calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[5], "put_Top " + std::to_string(m_workArea.bottom - grown));
    EXPECT_EQ(calls[6], "put_Height " + std::to_string(grown));
    EXPECT_EQ(browser.top() + browser.height(), m_workArea.bottom);
}

TEST_F(WindowChromeTest, ClosedWindowsGetNoChrome)
{
    showAll();
    setSwitch(browserhelper::WindowResizable, 1);
    setList(browserhelper::UrlRuleKey, 1, {"ads"});
    TestBrowser& browser = open(bare());
    browser.fireBeforeNavigate(u"http://ads.example.org/");
    EXPECT_EQ(browser.calls(), Calls{"Quit"});
}

} // namespace

int main(int argc, char** argv)
{
    return ieexttest::runTests(argc, argv);
}
