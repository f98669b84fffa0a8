// The response words' first-byte filter: the builds (SSSE3, AVX2, AVX-512) agree, every word
// that begins in a block has its bit wherever it stands and whatever stands around it,
// and common markup that is none of the words takes no closer look.

#include "FirstBytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace filters {
namespace {

const std::vector<std::string_view> Words = {
    "<script", "</SCRIPT", "onunload",  "<Title>", "</title>", "window.open",   "oncontextmenu",
    ".SwF",    "<object",  "</OBJECT>", "<td",     "</Td>",    "window.status", "setTimeout"};

std::string noise(std::mt19937& random, std::size_t length)
{
    static const std::string_view Pieces = "<>/ostwnT.fSOabcdeiuCIDF\"' =\n";
    std::uniform_int_distribution<std::size_t> pick(0, Pieces.size() - 1);
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += Pieces[pick(random)];
    }
    return text;
}

// The builds this processor has, by name.
std::vector<std::pair<const char*, std::uint64_t (*)(const char*)>> builds()
{
    std::vector<std::pair<const char*, std::uint64_t (*)(const char*)>> available;
    if (firstBytesSsse3Available()) {
        available.emplace_back("SSSE3", firstBytes64Ssse3);
    }
    if (firstBytesAvx2Available()) {
        available.emplace_back("AVX2", firstBytes64Avx2);
    }
    if (firstBytesAvx512Available()) {
        available.emplace_back("AVX-512", firstBytes64Avx512);
    }
    return available;
}

TEST(FirstBytes, EveryWordHasItsBitAtEveryPlaceInTheBlock)
{
    ASSERT_FALSE(builds().empty()) << "an x86-64 processor without SSSE3";
    for (const auto& [name, build] : builds()) {
        for (std::string_view word : Words) {
            for (std::size_t at = 0; at < 64; ++at) {
                std::string block(64 + FirstBytesReach + word.size(), 'x');
                block.replace(at, word.size(), word);
                const std::uint64_t bit = std::uint64_t{1} << at;
                EXPECT_NE(build(block.data()) & bit, 0u) << name << ": " << word << " at " << at;
            }
        }
    }
}

// Words set into noise of their own letters and signs (a "</" before a word, a word
// after a '<', half words around them) still have their bits.
TEST(FirstBytes, EveryWordHasItsBitAmongLookalikes)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pickWord(0, Words.size() - 1);
    std::uniform_int_distribution<std::size_t> pickAt(0, 63);
    for (const auto& [name, build] : builds()) {
        for (int round = 0; round < 5000; ++round) {
            const std::string_view word = Words[pickWord(random)];
            const std::size_t at = pickAt(random);
            std::string text = noise(random, 64 + FirstBytesReach + word.size());
            text.replace(at, word.size(), word);
            ASSERT_NE(build(text.data()) & (std::uint64_t{1} << at), 0u)
                << name << ": " << word << " at " << at << " in " << text;
        }
    }
}

TEST(FirstBytes, PlainTextLetsNothingThrough)
{
    const std::string text(64 + FirstBytesReach, 'x');
    EXPECT_EQ(firstBytes64(text.data()), 0u);
}

// Tags, handlers and text that are none of the words take no closer look.
TEST(FirstBytes, CommonMarkupThatIsNoWordLetsNothingThrough)
{
    const std::vector<std::string> texts = {
        "<div class=\"c1\"><a href=\"/p1.html\"><img src=\"/img/1.gif\"></a></div>      ",
        "<p onclick=\"go()\">item <b>1</b> <i>text</i></p><span>set</span><tr><br>",
        "</tr></span></a></b></i></p></div><style></style><select></select><tbody>  ",
        "onload onmouseover onerror wine .src .sub settings session sequence Set Tab",
    };
    for (const std::string& text : texts) {
        ASSERT_GE(text.size(), 64 + FirstBytesReach) << text;
        EXPECT_EQ(firstBytes64(text.data()), 0u) << text;
    }
}

// Also over every byte value: the AVX-512 build looks at the letters as they stand, so a
// byte that differs from a word's letter only in the small-letter bit, a zero and a byte
// with the top bit set must be told apart as the other builds tell them.
TEST(FirstBytes, TheBuildsAgree)
{
    if (builds().size() < 2) {
        GTEST_SKIP() << "gap: this processor has no AVX2, so only the SSSE3 build runs";
    }
    std::mt19937 random(3);
    std::uniform_int_distribution<int> anyByte(0, 255);
    for (int round = 0; round < 40000; ++round) {
        std::string text = noise(random, 64 + FirstBytesReach);
        if (round % 2 == 1) {
            for (char& c : text) {
                if (anyByte(random) < 64) {
                    c = static_cast<char>(anyByte(random));
                }
            }
        }
        for (const auto& [name, build] : builds()) {
            ASSERT_EQ(build(text.data()), firstBytes64Ssse3(text.data())) << name << ": " << text;
        }
    }
}

// A run of blocks gets, block by block, the bits a look at each block alone gives: also
// for a word that straddles two blocks and for the bytes read past the last block.
TEST(FirstBytes, BlocksAtOnceGiveEachBlocksOwnBits)
{
    std::mt19937 random(5);
    for (int round = 0; round < 200; ++round) {
        const std::size_t blocks = 1 + round % 9;
        const std::string text = noise(random, blocks * 64 + FirstBytesReach);
        std::vector<std::uint64_t> ssse3(blocks);
        std::vector<std::uint64_t> avx2(blocks);
        std::vector<std::uint64_t> chosen(blocks);
        firstBytesBlocksSsse3(text.data(), blocks, ssse3.data());
        if (firstBytesAvx2Available()) {
            firstBytesBlocksAvx2(text.data(), blocks, avx2.data());
        }
        firstBytesBlocks(text.data(), blocks, chosen.data());
        for (std::size_t block = 0; block < blocks; ++block) {
            const char* at = text.data() + 64 * block;
            ASSERT_EQ(ssse3[block], firstBytes64Ssse3(at)) << text;
            if (firstBytesAvx2Available()) {
                ASSERT_EQ(avx2[block], firstBytes64Avx2(at)) << text;
            }
            ASSERT_EQ(chosen[block], firstBytes64(at)) << text;
        }
    }
}

} // namespace
} // namespace filters
