// The response words' first-byte filter: both builds (baseline and AVX2) agree, and
// every word that begins in a block has its bit, wherever it stands in the block.

#include "FirstBytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace filters {
namespace {

const std::vector<std::string_view> Words = {
    "<script", "</SCRIPT", "onunload",  "<Title>", "</title>", "window.open",   "oncontextmenu",
    ".SwF",    "<object",  "</OBJECT>", "<td",     "</Td>",    "window.status", "setTimeout"};

std::string noise(std::mt19937& random, std::size_t length)
{
    static const std::string_view Pieces = "<>/ostwnT.fSOabcdiuCI\"' =\n";
    std::uniform_int_distribution<std::size_t> pick(0, Pieces.size() - 1);
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += Pieces[pick(random)];
    }
    return text;
}

TEST(FirstBytes, EveryWordHasItsBitAtEveryPlaceInTheBlock)
{
    for (std::string_view word : Words) {
        for (std::size_t at = 0; at < 64; ++at) {
            std::string block(64 + FirstBytesReach + word.size(), 'x');
            block.replace(at, word.size(), word);
            const std::uint64_t bit = std::uint64_t{1} << at;
            EXPECT_NE(firstBytes64Baseline(block.data()) & bit, 0u) << word << " at " << at;
            if (firstBytesAvx2Available()) {
                EXPECT_NE(firstBytes64Avx2(block.data()) & bit, 0u) << word << " at " << at;
            }
        }
    }
}

TEST(FirstBytes, PlainTextLetsNothingThrough)
{
    const std::string text(64 + FirstBytesReach, 'x');
    EXPECT_EQ(firstBytes64(text.data()), 0u);
}

TEST(FirstBytes, BothBuildsAgree)
{
    if (!firstBytesAvx2Available()) {
        GTEST_SKIP() << "gap: this processor has no AVX2, so only the baseline build runs";
    }
    std::mt19937 random(3);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = noise(random, 64 + FirstBytesReach);
        ASSERT_EQ(firstBytes64Avx2(text.data()), firstBytes64Baseline(text.data())) << text;
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
        std::vector<std::uint64_t> baseline(blocks);
        std::vector<std::uint64_t> chosen(blocks);
        firstBytesBlocksBaseline(text.data(), blocks, baseline.data());
        firstBytesBlocks(text.data(), blocks, chosen.data());
        for (std::size_t block = 0; block < blocks; ++block) {
            const std::uint64_t alone = firstBytes64Baseline(text.data() + 64 * block);
            ASSERT_EQ(baseline[block], alone) << text;
            ASSERT_EQ(chosen[block], alone) << text;
        }
    }
}

} // namespace
} // namespace filters
