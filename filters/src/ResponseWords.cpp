#include "ResponseWords.h"

#include "FirstBytes.h"
#include "TextTools.h"

#include <algorithm>
#include <cstring>

namespace filters {

namespace {

struct WordText {
    std::string_view text;
    bool anyCase;
};

// In the order of ResponseWords::Word. The cell tag's other form ("</td>") is tested
// beside it.
constexpr WordText Words[] = {
    {"<script", true},        {"</script", true}, {"onunload", false},
    {"<title>", true},        {"</title>", true}, {"window.open", false},
    {"oncontextmenu", false}, {".swf", true},     {"<object", true},
    {"</object>", true},      {"<td", true},      {"window.status", false},
    {"setTimeout", false},
};
static_assert(std::size(Words) == ResponseWords::WordCount);
constexpr std::string_view CellEnd = "</td>";
// The longest word less one: how far before a written byte a word it completes may start.
constexpr std::size_t Reach = 12;

// A word as up to two 8-byte halves compared at once: the text's bytes, ORed with 0x20
// where the word has a letter of any case, masked to the word's length, equal the word's
// bytes. A byte ORed with 0x20 equals a small letter only when it was that letter or its
// capital.
struct WordPattern {
    std::uint64_t bytes[2];
    std::uint64_t fold[2];
    std::uint64_t mask[2];
    std::size_t size;
};

WordPattern patternOf(WordText word)
{
    unsigned char bytes[16] = {};
    unsigned char fold[16] = {};
    unsigned char mask[16] = {};
    for (std::size_t k = 0; k < word.text.size(); ++k) {
        const char c = word.text[k];
        bytes[k] = static_cast<unsigned char>(c);
        fold[k] = word.anyCase && c >= 'a' && c <= 'z' ? 0x20 : 0;
        mask[k] = 0xFF;
    }
    WordPattern pattern{};
    std::memcpy(pattern.bytes, bytes, sizeof bytes);
    std::memcpy(pattern.fold, fold, sizeof fold);
    std::memcpy(pattern.mask, mask, sizeof mask);
    pattern.size = word.text.size();
    return pattern;
}

// The words' patterns in the order of ResponseWords::Word, then the cell tag's other form.
const std::array<WordPattern, ResponseWords::WordCount + 1> Patterns = [] {
    std::array<WordPattern, ResponseWords::WordCount + 1> patterns{};
    for (std::size_t w = 0; w < ResponseWords::WordCount; ++w) {
        patterns[w] = patternOf(Words[w]);
    }
    patterns[ResponseWords::WordCount] = patternOf({CellEnd, true});
    return patterns;
}();
constexpr std::size_t CellEndPattern = ResponseWords::WordCount;

bool textAt(const char* text, std::size_t length, std::size_t pos, const WordPattern& word)
{
    if (pos > length || length - pos < word.size) {
        return false;
    }
    if (length - pos >= 16) {
        std::uint64_t half;
        std::memcpy(&half, text + pos, sizeof half);
        if (((half | word.fold[0]) & word.mask[0]) != word.bytes[0]) {
            return false;
        }
        if (word.size <= 8) {
            return true;
        }
        std::memcpy(&half, text + pos + 8, sizeof half);
        return ((half | word.fold[1]) & word.mask[1]) == word.bytes[1];
    }
    unsigned char bytes[16];
    unsigned char fold[16];
    std::memcpy(bytes, word.bytes, sizeof bytes);
    std::memcpy(fold, word.fold, sizeof fold);
    for (std::size_t k = 0; k < word.size; ++k) {
        if ((static_cast<unsigned char>(text[pos + k]) | fold[k]) != bytes[k]) {
            return false;
        }
    }
    return true;
}

constexpr unsigned TagWords =
    ResponseWords::bit(ResponseWords::ScriptOpen) | ResponseWords::bit(ResponseWords::ScriptClose) |
    ResponseWords::bit(ResponseWords::TitleOpen) | ResponseWords::bit(ResponseWords::TitleClose) |
    ResponseWords::bit(ResponseWords::ObjectOpen) | ResponseWords::bit(ResponseWords::ObjectClose) |
    ResponseWords::bit(ResponseWords::CellTag);
constexpr unsigned OnWords =
    ResponseWords::bit(ResponseWords::OnUnload) | ResponseWords::bit(ResponseWords::ContextMenu);
constexpr unsigned WindowWords =
    ResponseWords::bit(ResponseWords::PopupCall) | ResponseWords::bit(ResponseWords::StatusBar);
constexpr unsigned FlashWords = ResponseWords::bit(ResponseWords::FlashMovie);
constexpr unsigned TimerWords = ResponseWords::bit(ResponseWords::Timer);

// The words that can begin with each byte.
constexpr std::array<unsigned, 256> StartingWith = [] {
    std::array<unsigned, 256> table{};
    table['<'] = TagWords;
    table['o'] = OnWords;
    table['w'] = WindowWords;
    table['.'] = FlashWords;
    table['s'] = TimerWords;
    return table;
}();

unsigned startingWith(char c)
{
    return StartingWith[static_cast<unsigned char>(c)];
}

// Sixty-four positions at a time through the first-byte filter, up to a page of blocks
// per call; returns where the blocks stopped (the filter reads FirstBytesReach bytes past
// a block).
template <typename Found>
std::size_t filterFirstBytes(const char* text, std::size_t from, std::size_t to, Found found)
{
    constexpr std::size_t PageBlocks = 64;
    std::uint64_t bits[PageBlocks];
    std::size_t i = from;
    while (i + FirstBytesBlock + FirstBytesReach <= to) {
        const std::size_t blocks =
            std::min(PageBlocks, (to - FirstBytesReach - i) / FirstBytesBlock);
        firstBytesBlocks(text + i, blocks, bits);
        for (std::size_t block = 0; block < blocks; ++block, i += FirstBytesBlock) {
            for (std::uint64_t b = bits[block]; b != 0; b &= b - 1) {
                found(i + static_cast<unsigned>(__builtin_ctzll(b)));
            }
        }
    }
    return i;
}

} // namespace

bool ResponseWords::standsAt(Word word, std::size_t pos) const
{
    if (textAt(m_text, m_length, pos, Patterns[word])) {
        return true;
    }
    return word == CellTag && textAt(m_text, m_length, pos, Patterns[CellEndPattern]);
}

// Calls found(word) for every wanted word that stands at pos, looking only at the words
// that can begin with the byte there. Screened: pos passed the first-byte filter and at
// least FirstBytesReach bytes follow it; the word is then named by the bytes that tell
// the words apart, without a look at the rest of it (the rules check every candidate
// they use).
template <bool Screened, typename Found>
void ResponseWords::classify(std::size_t pos, Found found) const
{
    auto test = [&](Word word) {
        if ((m_wanted & bit(word)) != 0 && (Screened || standsAt(word, pos))) {
            found(word);
        }
    };
    switch (m_text[pos]) {
    case '<':
        // Most tags are none of these: two more bytes tell which could be.
        if (m_length - pos >= 3) {
            const bool closing = m_text[pos + 1] == '/';
            if (closing && m_length - pos < 4) {
                break;
            }
            const char* name = m_text + pos + (closing ? 2 : 1);
            switch (lowerChar(name[0])) {
            case 's':
                if (lowerChar(name[1]) == 'c') {
                    test(closing ? ScriptClose : ScriptOpen);
                }
                break;
            case 't':
                if (lowerChar(name[1]) == 'i') {
                    test(closing ? TitleClose : TitleOpen);
                } else if (lowerChar(name[1]) == 'd') {
                    test(CellTag);
                }
                break;
            case 'o':
                if (lowerChar(name[1]) == 'b') {
                    test(closing ? ObjectClose : ObjectOpen);
                }
                break;
            default:
                break;
            }
        }
        break;
    case 'o':
        if (!Screened || m_text[pos + 2] == 'u') {
            test(OnUnload);
        }
        if (!Screened || m_text[pos + 2] == 'c') {
            test(ContextMenu);
        }
        break;
    case 'w':
        if (!Screened || m_text[pos + 7] == 'o') {
            test(PopupCall);
        }
        if (!Screened || m_text[pos + 7] == 's') {
            test(StatusBar);
        }
        break;
    case '.':
        test(FlashMovie);
        break;
    case 's':
        test(Timer);
        break;
    default:
        break;
    }
}

void ResponseWords::scan(const char* text, std::size_t length, unsigned wanted)
{
    m_text = text;
    m_length = length;
    m_wanted = wanted;
    for (std::vector<std::uint32_t>& positions : m_positions) {
        positions.clear();
    }
    m_cursor.fill(0);
    scanRange(0, length);
}

void ResponseWords::scanRange(std::size_t from, std::size_t to)
{
    auto add = [&](std::size_t pos) {
        return [this, pos](Word word) {
            m_positions[word].push_back(static_cast<std::uint32_t>(pos));
        };
    };
    auto screened = [&](std::size_t pos) {
        classify<true>(pos, add(pos));
    };
    for (std::size_t i = filterFirstBytes(m_text, from, to, screened); i < to; ++i) {
        if ((startingWith(m_text[i]) & m_wanted) != 0) {
            classify<false>(i, add(i));
        }
    }
}

void ResponseWords::rescan(std::size_t from, std::size_t to, unsigned words)
{
    const unsigned wanted = m_wanted;
    m_wanted &= words;
    auto found = [&](std::size_t pos) {
        classify<false>(pos, [&](Word word) {
            std::vector<std::uint32_t>& positions = m_positions[word];
            const auto at = std::lower_bound(positions.begin(), positions.end(), pos);
            if (at == positions.end() || *at != pos) {
                positions.insert(at, static_cast<std::uint32_t>(pos));
            }
        });
    };
    const std::size_t start = from >= Reach ? from - Reach : 0;
    const std::size_t end = std::min(to, m_length);
    std::size_t pos = start;
    // A window that fits one block of the first-byte filter (as every write of the rules
    // does) takes one look at it.
    if (end > start && end - start <= FirstBytesBlock &&
        start + FirstBytesBlock + FirstBytesReach <= m_length) {
        std::uint64_t bits = firstBytes64(m_text + start);
        if (end - start < FirstBytesBlock) {
            bits &= (std::uint64_t{1} << (end - start)) - 1;
        }
        for (; bits != 0; bits &= bits - 1) {
            found(start + static_cast<unsigned>(__builtin_ctzll(bits)));
        }
        pos = end;
    }
    for (; pos < end; ++pos) {
        if ((startingWith(m_text[pos]) & m_wanted) != 0) {
            found(pos);
        }
    }
    m_wanted = wanted;
}

// The index of the first candidate at or after from. The rules mostly search onwards
// from their last find, so the search starts at the word's cursor.
std::size_t ResponseWords::firstIndex(Word word, std::size_t from) const
{
    const std::vector<std::uint32_t>& positions = m_positions[word];
    std::size_t at = std::min(m_cursor[word], positions.size());
    if (at > 0 && positions[at - 1] >= from) {
        return std::lower_bound(positions.begin(), positions.begin() + at, from) -
               positions.begin();
    }
    for (int steps = 0; at < positions.size() && positions[at] < from; ++at) {
        if (++steps > 8) {
            return std::lower_bound(positions.begin() + at, positions.end(), from) -
                   positions.begin();
        }
    }
    return at;
}

std::size_t ResponseWords::next(Word word, std::size_t from) const
{
    const std::vector<std::uint32_t>& positions = m_positions[word];
    for (std::size_t at = firstIndex(word, from); at < positions.size(); ++at) {
        if (standsAt(word, positions[at])) {
            m_cursor[word] = at;
            return positions[at];
        }
    }
    return npos;
}

std::size_t ResponseWords::previous(Word word, std::size_t before) const
{
    const std::vector<std::uint32_t>& positions = m_positions[word];
    for (auto at = std::lower_bound(positions.begin(), positions.end(), before);
         at != positions.begin();) {
        --at;
        if (standsAt(word, *at)) {
            return *at;
        }
    }
    return npos;
}

} // namespace filters
