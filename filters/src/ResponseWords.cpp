#include "ResponseWords.h"

#include "TextTools.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

bool textAt(const char* text, std::size_t length, std::size_t pos, std::string_view word,
            bool anyCase)
{
    if (pos > length || length - pos < word.size()) {
        return false;
    }
    for (std::size_t k = 0; k < word.size(); ++k) {
        const char c = anyCase ? lowerChar(text[pos + k]) : text[pos + k];
        if (c != word[k]) {
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

#if defined(__SSE2__)
// The first-byte filters: positions that may begin a word, for a closer look. A '<'
// before a letter that starts a wanted tag name ('s', 't', 'o', any case) or before '/';
// "on"; "window" with its '.'; ".s" with the 'f' of ".swf"; "setT". The loads reach 6
// bytes past the block, so the loop stops 6 bytes early.
template <typename V, typename Ops>
std::size_t filterBlocks(const char* text, std::size_t from, std::size_t to,
                         std::vector<std::uint32_t>& hits)
{
    constexpr std::size_t Width = sizeof(V);
    std::size_t i = from;
    const V caseBit = Ops::set(0x20);
    for (; i + Width + 6 <= to; i += Width) {
        const char* p = text + i;
        const V v0 = Ops::load(p);
        const V v1 = Ops::load(p + 1);
        const V v3 = Ops::load(p + 3);
        const V v6 = Ops::load(p + 6);
        const V l1 = Ops::orv(v1, caseBit);
        const V l3 = Ops::orv(v3, caseBit);
        const V tagSecond = Ops::orv(Ops::orv(Ops::eq(l1, 's'), Ops::eq(l1, 't')),
                                     Ops::orv(Ops::eq(l1, 'o'), Ops::eq(v1, '/')));
        const V tags = Ops::andv(Ops::eq(v0, '<'), tagSecond);
        const V on = Ops::andv(Ops::eq(v0, 'o'), Ops::eq(v1, 'n'));
        const V window = Ops::andv(Ops::eq(v0, 'w'), Ops::eq(v6, '.'));
        const V flash = Ops::andv(Ops::andv(Ops::eq(v0, '.'), Ops::eq(l1, 's')), Ops::eq(l3, 'f'));
        const V timer = Ops::andv(Ops::eq(v0, 's'), Ops::eq(v3, 'T'));
        const V all = Ops::orv(Ops::orv(Ops::orv(tags, on), Ops::orv(window, flash)), timer);
        for (std::uint32_t bits = Ops::mask(all); bits != 0; bits &= bits - 1) {
            hits.push_back(
                static_cast<std::uint32_t>(i + static_cast<unsigned>(__builtin_ctz(bits))));
        }
    }
    return i;
}

struct Sse2 {
    static __m128i load(const char* p)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    static __m128i set(char c) { return _mm_set1_epi8(c); }
    static __m128i eq(__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); }
    static __m128i orv(__m128i a, __m128i b) { return _mm_or_si128(a, b); }
    static __m128i andv(__m128i a, __m128i b) { return _mm_and_si128(a, b); }
    static std::uint32_t mask(__m128i v)
    {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(v));
    }
};

std::size_t filterFirstBytes(const char* text, std::size_t from, std::size_t to,
                             std::vector<std::uint32_t>& hits)
{
    return filterBlocks<__m128i, Sse2>(text, from, to, hits);
}
#else
std::size_t filterFirstBytes(const char*, std::size_t from, std::size_t,
                             std::vector<std::uint32_t>&)
{
    return from; // every position gets the close look
}
#endif

} // namespace

bool ResponseWords::standsAt(Word word, std::size_t pos) const
{
    const WordText& w = Words[word];
    if (textAt(m_text, m_length, pos, w.text, w.anyCase)) {
        return true;
    }
    return word == CellTag && textAt(m_text, m_length, pos, CellEnd, true);
}

// Calls found(word) for every wanted word that stands at pos, looking only at the words
// that can begin with the byte there.
template <typename Found> void ResponseWords::classify(std::size_t pos, Found found) const
{
    auto test = [&](Word word) {
        if ((m_wanted & bit(word)) != 0 && standsAt(word, pos)) {
            found(word);
        }
    };
    switch (m_text[pos]) {
    case '<':
        if (pos + 1 < m_length) {
            switch (lowerChar(m_text[pos + 1])) {
            case 's':
                test(ScriptOpen);
                break;
            case '/':
                test(ScriptClose);
                test(TitleClose);
                test(ObjectClose);
                test(CellTag);
                break;
            case 't':
                test(TitleOpen);
                test(CellTag);
                break;
            case 'o':
                test(ObjectOpen);
                break;
            default:
                break;
            }
        }
        break;
    case 'o':
        test(OnUnload);
        test(ContextMenu);
        break;
    case 'w':
        test(PopupCall);
        test(StatusBar);
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
    m_hits.clear();
    for (std::size_t i = filterFirstBytes(m_text, from, to, m_hits); i < to; ++i) {
        if (startingWith(m_text[i]) != 0) {
            m_hits.push_back(static_cast<std::uint32_t>(i));
        }
    }
    for (const std::uint32_t pos : m_hits) {
        if ((startingWith(m_text[pos]) & m_wanted) != 0) {
            classify(pos, [&](Word word) { m_positions[word].push_back(pos); });
        }
    }
}

void ResponseWords::rescan(std::size_t from, std::size_t to, unsigned words)
{
    const unsigned wanted = m_wanted;
    m_wanted &= words;
    const std::size_t start = from >= Reach ? from - Reach : 0;
    for (std::size_t pos = start; pos < to && pos < m_length; ++pos) {
        if ((startingWith(m_text[pos]) & m_wanted) == 0) {
            continue;
        }
        classify(pos, [&](Word word) {
            std::vector<std::uint32_t>& positions = m_positions[word];
            const auto at = std::lower_bound(positions.begin(), positions.end(), pos);
            if (at == positions.end() || *at != pos) {
                positions.insert(at, static_cast<std::uint32_t>(pos));
            }
        });
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
