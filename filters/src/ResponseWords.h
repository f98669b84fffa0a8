#pragma once
// Where the response rules' words stand in one chunk. One pass over the chunk finds the
// candidates of every word at once (a vectorised look at the few bytes that tell the
// words apart); the rules then run in their order over those positions instead of
// searching the whole chunk again each. A candidate is checked when it is used, so a
// place that only begins like a word, or a word that an earlier rule overwrote, is
// skipped; a rule that writes anything but blanks reports the bytes it wrote (rescan),
// because its letters or signs may complete a word with the bytes around them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace filters {

class ResponseWords {
public:
    enum Word : unsigned {
        ScriptOpen,  // "<script", any case
        ScriptClose, // "</script", any case
        OnUnload,    // "onunload"
        TitleOpen,   // "<title>", any case
        TitleClose,  // "</title>", any case
        PopupCall,   // "window.open"
        ContextMenu, // "oncontextmenu"
        FlashMovie,  // ".swf", any case
        ObjectOpen,  // "<object", any case
        ObjectClose, // "</object>", any case
        CellTag,     // '<' before "td" or "/td>", any case
        StatusBar,   // "window.status"
        Timer,       // "setTimeout"
        WordCount
    };
    static constexpr std::size_t npos = std::string_view::npos;

    static constexpr unsigned bit(Word word) { return 1u << word; }

    // Finds the candidates of the words in wanted (bits) in text's length bytes.
    void scan(const char* text, std::size_t length, unsigned wanted);
    // Adds the words among words (bits) that bytes written to [from, to) may have
    // completed.
    void rescan(std::size_t from, std::size_t to, unsigned words);

    // The first position at or after from where word stands now; npos when none.
    std::size_t next(Word word, std::size_t from) const;
    // The last position before before where word stands now; npos when none.
    std::size_t previous(Word word, std::size_t before) const;
    // Whether word stands at pos now.
    bool standsAt(Word word, std::size_t pos) const;

private:
    template <bool Screened, typename Found> void classify(std::size_t pos, Found found) const;
    std::size_t firstIndex(Word word, std::size_t from) const;
    void scanRange(std::size_t from, std::size_t to);

    const char* m_text = nullptr;
    std::size_t m_length = 0;
    unsigned m_wanted = 0;
    // Ascending positions per word; kept between calls to reuse their storage.
    std::array<std::vector<std::uint32_t>, WordCount> m_positions;
    // Per word, the index of its last find: where the next search begins.
    mutable std::array<std::size_t, WordCount> m_cursor{};
};

} // namespace filters
