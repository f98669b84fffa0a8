// WideCharToMultiByte: the ANSI code page is UTF-8 here, sizes are asked and checked, and
// nothing is cut short silently.

#include <platform/CodePages.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string convert(std::u16string_view text, UINT codePage = CP_ACP)
{
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        EXPECT_EQ(WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                      out.data(), size, nullptr, nullptr),
                  size);
    }
    return out;
}

TEST(CodePagesTest, AnsiIsUtf8ForEveryCharacter)
{
    EXPECT_EQ(convert(u"http://example.org/"), "http://example.org/");
    EXPECT_EQ(convert(u"\u00FC"), "\xC3\xBC");
    EXPECT_EQ(convert(u"\u20AC", CP_UTF8), "\xE2\x82\xAC");
    EXPECT_EQ(convert(u"\U0001F600"), "\xF0\x9F\x98\x80"); // a surrogate pair
    EXPECT_EQ(convert(u"a\xD800"
                      u"b"),
              "a\xEF\xBF\xBD"
              "b"); // unpaired: U+FFFD
    const char16_t withZero[] = {u'a', 0, u'b'};
    EXPECT_EQ(convert(std::u16string_view(withZero, 3)), std::string("a\0b", 3));
}

TEST(CodePagesTest, WholeStringIncludesItsZero)
{
    char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    BOOL usedDefault = TRUE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, buffer, 8, nullptr, &usedDefault), 4);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(usedDefault, FALSE);
}

TEST(CodePagesTest, ShortBuffersAndBadArgumentsFail)
{
    char buffer[4] = {};
    // "\u00FC\u00FC" needs four bytes: three are refused, nothing half written counts.
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u00FC\u00FC", 2, buffer, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u00FC\u00FC", 2, buffer, 4, nullptr, nullptr), 4);

    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"a", 1, buffer, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, 1, buffer, 4, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a", 0, buffer, 4, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a", -2, buffer, 4, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a", 1, nullptr, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

} // namespace
