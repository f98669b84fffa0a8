#pragma once
// The response side of the filters: one chunk rewritten in place by the rules of one
// settings snapshot. Every edit overwrites bytes (blanks, letters, a same-length text),
// so the chunk keeps its exact length.
//
// The rule-by-rule response filter as it stood before the single-pass one: each rule
// searches the whole text again. Kept, unchanged in behaviour, as the oracle the
// differential tests and fuzzer hold ResponseFilter to.

#include "FilterEvents.h"
#include "FilterSettings.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace filters {

class ReferenceResponseFilter {
public:
    ReferenceResponseFilter(const FilterSettings& settings, FilterEvents& events);

    // Rewrites the text of a chunk: length bytes without a zero among them.
    void run(char* text, std::size_t length);

private:
    struct Step {
        bool FilterSettings::*enabled;
        bool (ReferenceResponseFilter::*apply)(); // true: something changed, notify once
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

    bool scrambleAll(std::string_view word);
    void popupCall(std::size_t call, std::size_t semicolon);
    std::size_t flashSpan(std::size_t swfEnd, std::size_t& spanEnd);
    std::size_t cellSpan(std::size_t object, std::size_t objectEnd, std::size_t& spanEnd) const;
    std::size_t cellTag(std::size_t from, bool backwards) const;
    bool emptyTimer(std::size_t& pos);

    void write(std::size_t pos, std::string_view bytes);
    void blank(std::size_t pos, std::size_t count);
    std::string_view text() const { return {m_text, m_length}; }

    const FilterSettings& m_settings;
    FilterEvents& m_events;
    char* m_text = nullptr;
    std::size_t m_length = 0;
    // The text lowered, kept equal to the buffer's text lowered: every byte written is
    // a blank, a lower-case letter or a sign, so it is written to both.
    std::string m_lower;
    // Where the Flash rule's walk over the objects goes on (see flashSpan).
    std::size_t m_objectWalk = 0;
};

} // namespace filters
