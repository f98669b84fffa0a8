#pragma once
// The response side of the filters: one chunk rewritten in place by the rules of one
// settings snapshot. Every edit overwrites bytes (blanks, letters, a same-length text),
// so the chunk keeps its exact length. The rules run in their order over the positions
// of their words, found for all of them in one pass (ResponseWords); no copy of the
// chunk is made and nothing is allocated once a thread has filtered its first chunks.

#include "FilterEvents.h"
#include "FilterSettings.h"
#include "ResponseWords.h"

#include <cstddef>
#include <string_view>

namespace filters {

class ResponseFilter {
public:
    ResponseFilter(const FilterSettings& settings, FilterEvents& events);

    // Rewrites the text of a chunk: length bytes without a zero among them.
    void run(char* text, std::size_t length);

    // Whether run changes pages at all: response filtering on and a page option with it
    // (the image and banner options act on requests only).
    static bool rewritesPages(const FilterSettings& settings);

private:
    struct Step {
        bool FilterSettings::*enabled;
        unsigned words;                  // the words the rule looks for (ResponseWords bits)
        bool (ResponseFilter::*apply)(); // true: something changed, notify once
    };
    static const Step s_steps[];

    bool blankScripts();
    bool scrambleOnUnload();
    bool hideTitle();
    bool defusePopups();
    bool scrambleContextMenu();
    bool removeFlash();
    bool scrambleStatus();
    bool emptyTimers();

    bool scrambleAll(ResponseWords::Word word);
    void popupCall(std::size_t call, std::size_t semicolon);
    std::size_t flashSpan(std::size_t swfEnd, std::size_t& spanEnd);
    std::size_t cellSpan(std::size_t object, std::size_t objectEnd, std::size_t& spanEnd) const;
    bool emptyTimer(std::size_t& pos);

    void write(std::size_t pos, std::string_view bytes);
    void blank(std::size_t pos, std::size_t count);
    std::string_view text() const { return {m_text, m_length}; }

    const FilterSettings& m_settings;
    FilterEvents& m_events;
    ResponseWords& m_words;
    char* m_text = nullptr;
    std::size_t m_length = 0;
    // The words of the rule running and those after it: the ones a write may complete.
    unsigned m_pending = 0;
    // Where the Flash rule's walk over the objects goes on (see flashSpan).
    std::size_t m_objectWalk = 0;
};

} // namespace filters
