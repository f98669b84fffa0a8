// The response rules, run directly on a settings snapshot, grouped by rule. Every case
// also checks that the chunk keeps its length.

#include "ResponseFilter.h"

#include "EventCounter.h"

#include <gtest/gtest.h>

#include <string>

namespace filters {
namespace {

class ResponseRules : public ::testing::Test {
protected:
    ResponseRules() { m_settings.responseOn = true; }

    std::string filter(std::string text)
    {
        const std::size_t length = text.size();
        ResponseFilter(m_settings, m_events).run(text.data(), text.size());
        EXPECT_EQ(text.size(), length);
        EXPECT_EQ(text.find('\0'), std::string::npos);
        return text;
    }

    static bool lowerLetters(const std::string& text)
    {
        for (char c : text) {
            if (c < 'a' || c > 'z') {
                return false;
            }
        }
        return true;
    }

    FilterSettings m_settings;
    testing::EventCounter m_events;
};

TEST_F(ResponseRules, ResponseFilteringOffChangesNothing)
{
    m_settings.responseOn = false;
    m_settings.blockScripts = m_settings.hidePageTitle = true;
    const std::string page = "<title>t</title><script>x</script>";
    EXPECT_EQ(filter(page), page);
    EXPECT_EQ(m_events.responses, 0);
}

TEST_F(ResponseRules, ScriptElementsBecomeBlanksThroughTheirClosingTag)
{
    m_settings.blockScripts = true;
    EXPECT_EQ(filter("<script>f()</script><p>"), std::string(20, ' ') + "<p>");
    EXPECT_EQ(filter("a<SCRIPT src=x></Script>b<script>y</SCRIPT>c"),
              "a" + std::string(23, ' ') + "b" + std::string(18, ' ') + "c");
    EXPECT_EQ(m_events.responses, 2); // one per chunk
}

TEST_F(ResponseRules, AnUnclosedScriptStays)
{
    m_settings.blockScripts = true;
    const std::string page = "<p><script>var a = 1;";
    EXPECT_EQ(filter(page), page);
    EXPECT_EQ(filter("<script>a</script><script>b"),
              std::string(18, ' ') + "<script>b"); // the first goes, the second stays
}

TEST_F(ResponseRules, AClosingTagCutByTheChunkEndIsBlankedToTheEnd)
{
    m_settings.blockScripts = true;
    EXPECT_EQ(filter("x<script>a</script"), "x" + std::string(17, ' '));
}

TEST_F(ResponseRules, OnUnloadIsScrambledOnlyInLowerCase)
{
    m_settings.disableOnUnload = true;
    const std::string out = filter("<body onunload=\"bye()\" onUnload=\"x\">");
    EXPECT_TRUE(lowerLetters(out.substr(6, 8))) << out;
    EXPECT_NE(out.substr(6, 8), "onunload");
    EXPECT_EQ(out.substr(0, 6), "<body ");
    EXPECT_EQ(out.substr(14), "=\"bye()\" onUnload=\"x\">");
    EXPECT_EQ(m_events.responses, 1);
    filter("<body onUnload=\"x\">");
    EXPECT_EQ(m_events.responses, 1);
}

TEST_F(ResponseRules, ContextMenuAndStatusAreScrambled)
{
    m_settings.removeCtxMenuDis = true;
    m_settings.removeStatusMods = true;
    const std::string out =
        filter("<body oncontextmenu=\"return false\">x<a onmouseover=\"window.status='hi'\">");
    EXPECT_TRUE(lowerLetters(out.substr(6, 13))) << out;
    EXPECT_EQ(out.substr(19, 18), "=\"return false\">x<");
    const std::size_t status = out.find("'hi'") - 14;
    EXPECT_TRUE(lowerLetters(out.substr(status, 13))) << out;
    EXPECT_EQ(m_events.responses, 2);
}

TEST_F(ResponseRules, TitleTextBecomesBlanksBetweenItsTags)
{
    m_settings.hidePageTitle = true;
    EXPECT_EQ(filter("<HTML><TITLE>Secret</TITLE>"), "<HTML><TITLE>      </TITLE>");
    EXPECT_EQ(m_events.responses, 1);
    // Only the first title; a tag with attributes is not recognised.
    EXPECT_EQ(filter("<title>a</title><title>b</title>"), "<title> </title><title>b</title>");
    const std::string attributes = "<title lang=en>a</title>";
    EXPECT_EQ(filter(attributes), attributes);
    const std::string unclosed = "<title>a";
    EXPECT_EQ(filter(unclosed), unclosed);
}

TEST_F(ResponseRules, PopupCallBecomesNullAndACommentUpToItsSemicolon)
{
    m_settings.blockPopups = true;
    const std::string call = "window.open(\"a.htm\");";
    ASSERT_EQ(call.size(), 21u);
    EXPECT_EQ(filter(call), "null;/*" + std::string(11, ' ') + "\"*/");
    EXPECT_EQ(m_events.responses, 1);
}

TEST_F(ResponseRules, EveryPopupCallNotifiesOnce)
{
    m_settings.blockPopups = true;
    const std::string out = filter("a();window.open('x');b();window.open('y');c();");
    const std::string call = "null;/*" + std::string(7, ' ') + "'*/";
    EXPECT_EQ(out, "a();" + call + "b();" + call + "c();");
    EXPECT_EQ(m_events.responses, 2);
}

TEST_F(ResponseRules, PopupCallWithoutASemicolonStopsTheRule)
{
    m_settings.blockPopups = true;
    EXPECT_EQ(filter("window.open(u)\n"), "null;//    (u)\n");
    EXPECT_EQ(filter("window.open(u) window.open(v)"), "null;//    (u) window.open(v)");
    EXPECT_EQ(m_events.responses, 0);
}

TEST_F(ResponseRules, PopupSemicolonRightAfterTheNameStaysInsideTheCall)
{
    m_settings.blockPopups = true;
    // Nothing before the call or after its semicolon may change, and the length stays.
    EXPECT_EQ(filter("<x>window.open;</x>"), "<x>null;/*   */</x>");
    EXPECT_EQ(filter("<x>window.open ;</x>"), "<x>null;/*    */</x>");
    EXPECT_EQ(filter("window.open(;"), "null;/*    */");
    EXPECT_EQ(m_events.responses, 3);
}

TEST_F(ResponseRules, PopupRewriteThatCompletesAnEarlierNameIsFoundToo)
{
    m_settings.blockPopups = true;
    // "window.ope" followed by the rewritten call's "n" forms a new call name.
    const std::string out = filter("window.opewindow.open(a);x;");
    EXPECT_EQ(out.size(), 27u);
    EXPECT_EQ(out.find("window.open"), std::string::npos) << out;
    EXPECT_EQ(m_events.responses, 2);
}

TEST_F(ResponseRules, FlashObjectIsBlankedWithItsCell)
{
    m_settings.removeFlash = true;
    const std::string object = "<OBJECT><PARAM NAME=movie VALUE=\"m.swf\"></OBJECT>";
    const std::string page = "<table><tr><TD width=1>" + object + "</td></tr>";
    const std::string cell = "<TD width=1>" + object + "</td>";
    EXPECT_EQ(filter(page), "<table><tr>" + std::string(cell.size(), ' ') + "</tr>");
    EXPECT_EQ(m_events.responses, 1);
}

TEST_F(ResponseRules, FlashObjectOutsideACellIsBlankedAlone)
{
    m_settings.removeFlash = true;
    const std::string object = "<object data=\"m.SWF\"></object>";
    EXPECT_EQ(filter("<p>" + object + "</p>"), "<p>" + std::string(object.size(), ' ') + "</p>");
    // After a closed cell, or followed by a new cell instead of a cell end: the object only.
    EXPECT_EQ(filter("<td>a</td>" + object + "</td>"),
              "<td>a</td>" + std::string(object.size(), ' ') + "</td>");
    EXPECT_EQ(filter("<td>" + object + "<td>"), "<td>" + std::string(object.size(), ' ') + "<td>");
}

TEST_F(ResponseRules, FlashLinkOutsideAnyObjectStays)
{
    m_settings.removeFlash = true;
    for (const std::string& page :
         {std::string("<a href=\"m.swf\">movie</a>"),
          std::string("<a href=\"m.swf\"></a><object>x</object>"), // object after the name
          std::string("<object>x</object><a href=\"m.swf\">"),     // object before it
          std::string("<object data=m.swf>")}) {                   // unclosed object
        EXPECT_EQ(filter(page), page);
    }
    EXPECT_EQ(m_events.responses, 0);
}

TEST_F(ResponseRules, FlashInTheSecondObjectIsFound)
{
    m_settings.removeFlash = true;
    const std::string first = "<object>a</object>";
    const std::string second = "<object>m.swf</object>";
    EXPECT_EQ(filter(first + second + "z"), first + std::string(second.size(), ' ') + "z");
}

TEST_F(ResponseRules, EveryFlashObjectOfAPageIsBlanked)
{
    m_settings.removeFlash = true;
    const std::string cell = "<td><object>m.swf</object></td>";
    const std::string bare = "<object>n.swf</object>";
    const std::string page = "<tr>" + cell + "<p>" + bare + "</p>" + cell + "<object>x</object>";
    EXPECT_EQ(filter(page), "<tr>" + std::string(cell.size(), ' ') + "<p>" +
                                std::string(bare.size(), ' ') + "</p>" +
                                std::string(cell.size(), ' ') + "<object>x</object>");
    EXPECT_EQ(m_events.responses, 1);
}

TEST_F(ResponseRules, ACellThatHoldsAnEarlierObjectIsBlankedWhole)
{
    m_settings.removeFlash = true;
    // The first object ends before the movie name; the cell around both goes, and the
    // movie after it is still found.
    const std::string cell = "<td><object>a</object><object>m.swf</object></td>";
    const std::string page = cell + "<object>k.swf</object>";
    EXPECT_EQ(filter(page), std::string(page.size(), ' '));
}

TEST_F(ResponseRules, TimerArgumentsAreEmptied)
{
    m_settings.disableTimerProc = true;
    EXPECT_EQ(filter("setTimeout(\"go()\", 10);"), "setTimeout(\"    \", 10);");
    EXPECT_EQ(filter("setTimeout ( tick, 10);"), "setTimeout ( \"  \", 10);");
    EXPECT_EQ(filter("setTimeout(go, 10);"), "setTimeout(\"\", 10);");
    EXPECT_EQ(filter("setTimeout(g, 10);"), "setTimeout(\", 10);");
    EXPECT_EQ(m_events.responses, 4);
}

TEST_F(ResponseRules, TimerQuotesEscapedInsideTheArgumentStay)
{
    m_settings.disableTimerProc = true;
    EXPECT_EQ(filter("setTimeout(\"a(\\\"b\\\")\", 1)"),
              "setTimeout(\"" + std::string(8, ' ') + "\", 1)");
    EXPECT_EQ(filter("setTimeout(\"open"), "setTimeout(\"    "); // runs to the chunk end
}

TEST_F(ResponseRules, TimerWithoutParenthesisOrInOtherCaseStays)
{
    m_settings.disableTimerProc = true;
    for (const std::string page : {"setTimeout = f;", "settimeout(\"x\", 1)", "setTimeout"}) {
        EXPECT_EQ(filter(page), page);
    }
    EXPECT_EQ(m_events.responses, 0);
    EXPECT_EQ(filter("setTimeout(,1)"), "setTimeout(,1)"); // empty argument: still counted
    EXPECT_EQ(filter("setTimeout("), "setTimeout(");
    EXPECT_EQ(m_events.responses, 2);
}

TEST_F(ResponseRules, RulesRunInTheirOrderOnTheEditedText)
{
    m_settings.blockScripts = true;
    m_settings.blockPopups = true;
    m_settings.disableTimerProc = true;
    // The script rule blanks the calls first, so the later rules find nothing in it.
    const std::string out = filter("<script>window.open(a);setTimeout(f,1)</script>"
                                   "<a onclick=\"setTimeout('g()',1)\">");
    EXPECT_EQ(out, std::string(47, ' ') + "<a onclick=\"setTimeout(\"   \",1)\">");
    EXPECT_EQ(m_events.responses, 2);
}

} // namespace
} // namespace filters
