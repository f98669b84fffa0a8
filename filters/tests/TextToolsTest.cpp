// The text helpers: the case-insensitive search, replacement and the letter scrambler.

#include "TextTools.h"

#include <gtest/gtest.h>

#include <string>

namespace filters {
namespace {

TEST(FindNoCase, FindsTheFirstMatchWhateverTheCase)
{
    const char* head = "GET /A HTTP/1.1\r\nUser-Agent: x\r\nUSER-AGENT: y\r\n";
    EXPECT_EQ(FindNoCase(head, "user-agent"), head + 17);
    EXPECT_EQ(text::findNoCase(head, "uSeR-aGeNt", 18), 32u);
    EXPECT_EQ(text::findNoCase("abc", "ABC"), 0u);
    EXPECT_EQ(text::findNoCase("ab", "abc"), npos); // longer than the text
}

TEST(FindNoCase, NullArgumentsAndEmptyPatternFindNothing)
{
    EXPECT_EQ(FindNoCase(nullptr, "a"), nullptr);
    EXPECT_EQ(FindNoCase("a", nullptr), nullptr);
    EXPECT_EQ(FindNoCase("abc", ""), nullptr);
    EXPECT_EQ(text::findNoCase("abc", "", 0), npos);
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutOverlap)
{
    std::string text = "aaaa 10.0.0.1 10.0.0.15";
    EXPECT_EQ(replaceAll(text, "aa", "b"), 2u);
    EXPECT_EQ(text, "bb 10.0.0.1 10.0.0.15");
    EXPECT_EQ(replaceAll(text, "10.0.0.1", "0.0.0.0"), 2u);
    EXPECT_EQ(text, "bb 0.0.0.0 0.0.0.05");
    EXPECT_EQ(replaceAll(text, "", "x"), 0u);
    EXPECT_EQ(replaceAll(text, "missing", "x"), 0u);
    EXPECT_EQ(text, "bb 0.0.0.0 0.0.0.05");
}

TEST(ScrambleLetters, WritesLowerCaseLettersOnlyInTheSpan)
{
    std::string text = "<body onunload=\"x\">";
    ScrambleLetters(text.data() + 6, 8);
    EXPECT_EQ(text.substr(0, 6), "<body ");
    EXPECT_EQ(text.substr(14), "=\"x\">");
    for (char c : text.substr(6, 8)) {
        EXPECT_TRUE(c >= 'a' && c <= 'z') << c;
    }
}

TEST(ScrambleLetters, DrawsFromTheWholeAlphabet)
{
    std::string span(20000, '?');
    ScrambleLetters(span.data(), span.size());
    int seen[26] = {};
    for (char c : span) {
        ASSERT_TRUE(c >= 'a' && c <= 'z');
        ++seen[c - 'a'];
    }
    for (int i = 0; i < 25; ++i) {
        EXPECT_GT(seen[i], 0) << char('a' + i); // 'z' needs r = 32767 exactly
    }
}

} // namespace
} // namespace filters
