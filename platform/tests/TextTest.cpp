// The shared text helpers: ASCII-only lowering (positions kept), comparisons and searches
// without regard to case, trimming.

#include <platform/Text.h>

#include <gtest/gtest.h>

namespace {

TEST(TextTest, LoweringTouchesOnlyAsciiLettersAndKeepsEveryPosition)
{
    const std::string mixed = "GET Http://EXAMPLE.com/\xC4\xD6 [Z]";
    const std::string lowered = text::lower(mixed);
    ASSERT_EQ(lowered.size(), mixed.size());
    EXPECT_EQ(lowered, "get http://example.com/\xC4\xD6 [z]");
    EXPECT_EQ(text::lowerChar('@'), '@');
    EXPECT_EQ(text::lowerChar('['), '[');
}

TEST(TextTest, ComparisonsIgnoreCaseAndRespectLength)
{
    EXPECT_TRUE(text::equalsNoCase("Local.DLL", "local.dll"));
    EXPECT_FALSE(text::equalsNoCase("local.dll", "local.dl"));
    EXPECT_TRUE(text::startsWithNoCase("WWW.example.com", "www."));
    EXPECT_FALSE(text::startsWithNoCase("ww", "www."));
    EXPECT_TRUE(text::endsWithNoCase("Umbravia.EXE", ".exe"));
    EXPECT_FALSE(text::endsWithNoCase("exe", ".exe"));
}

TEST(TextTest, FindNoCaseStartsWhereToldAndRefusesAnEmptyNeedle)
{
    EXPECT_EQ(text::findNoCase("Host: a\r\nhOST: b", "host:"), 0u);
    EXPECT_EQ(text::findNoCase("Host: a\r\nhOST: b", "host:", 1), 9u);
    EXPECT_EQ(text::findNoCase("abc", "abcd"), std::string_view::npos);
    EXPECT_EQ(text::findNoCase("abc", ""), std::string_view::npos);
    EXPECT_EQ(text::findNoCase("abc", "c", 4), std::string_view::npos);
}

TEST(TextTest, TrimDropsTheGivenBlanksAtBothEnds)
{
    EXPECT_EQ(text::trim("  \tkey = value\t "), "key = value");
    EXPECT_EQ(text::trim(" \t "), "");
    EXPECT_EQ(text::trim("\r\n1.2.3.4:80\n", " \t\r\n"), "1.2.3.4:80");
    EXPECT_EQ(text::trim("\r\nx"), "\r\nx");
}

} // namespace
