#include "ReferenceResponseFilter.h"

#include "TextTools.h"

#include <algorithm>
#include <cstring>

namespace filters {

namespace {

constexpr std::string_view ScriptOpen = "<script";
constexpr std::string_view ScriptClose = "</script";
constexpr std::size_t ScriptCloseTag = 9; // "</script>"
constexpr std::string_view TitleOpen = "<title>";
constexpr std::string_view TitleClose = "</title>";
constexpr std::string_view OnUnload = "onunload";
constexpr std::string_view PopupCall = "window.open";
// Both exactly as long as "window.open".
constexpr std::string_view PopupLineComment = "null;//    ";
constexpr std::string_view PopupBlockComment = "null;/*    ";
constexpr std::string_view ContextMenu = "oncontextmenu";
constexpr std::string_view FlashMovie = ".swf";
constexpr std::string_view ObjectOpen = "<object";
constexpr std::string_view ObjectClose = "</object>";
constexpr std::string_view StatusBar = "window.status";
constexpr std::string_view Timer = "setTimeout";

static_assert(PopupLineComment.size() == PopupCall.size());
static_assert(PopupBlockComment.size() == PopupCall.size());

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

// The response rules in the order they run: {switch, rule}.
const ReferenceResponseFilter::Step ReferenceResponseFilter::s_steps[] = {
    {&FilterSettings::blockScripts, &ReferenceResponseFilter::blankScripts},
    {&FilterSettings::disableOnUnload, &ReferenceResponseFilter::scrambleOnUnload},
    {&FilterSettings::hidePageTitle, &ReferenceResponseFilter::hideTitle},
    {&FilterSettings::blockPopups, &ReferenceResponseFilter::defusePopups},
    {&FilterSettings::removeCtxMenuDis, &ReferenceResponseFilter::scrambleContextMenu},
    {&FilterSettings::removeFlash, &ReferenceResponseFilter::removeFlash},
    {&FilterSettings::removeStatusMods, &ReferenceResponseFilter::scrambleStatus},
    {&FilterSettings::disableTimerProc, &ReferenceResponseFilter::emptyTimers},
};

ReferenceResponseFilter::ReferenceResponseFilter(const FilterSettings& settings,
                                                 FilterEvents& events)
    : m_settings(settings), m_events(events)
{}

void ReferenceResponseFilter::run(char* text, std::size_t length)
{
    if (!m_settings.responseOn || text == nullptr || length == 0) {
        return;
    }
    m_text = text;
    m_length = length;
    lowerInto(this->text(), m_lower);
    for (const Step& step : s_steps) {
        if (m_settings.*step.enabled && (this->*step.apply)()) {
            m_events.responseFiltered();
        }
    }
}

void ReferenceResponseFilter::write(std::size_t pos, std::string_view bytes)
{
    std::copy(bytes.begin(), bytes.end(), m_text + pos);
    std::copy(bytes.begin(), bytes.end(), m_lower.begin() + pos);
}

void ReferenceResponseFilter::blank(std::size_t pos, std::size_t count)
{
    std::fill_n(m_text + pos, count, ' ');
    std::fill_n(m_lower.begin() + pos, count, ' ');
}

// Each script element, from "<script" through its closing tag, becomes blanks; a chunk
// that ends inside a script keeps it.
bool ReferenceResponseFilter::blankScripts()
{
    bool changed = false;
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = findExact(m_lower, ScriptOpen, from);
        if (open == npos) {
            break;
        }
        const std::size_t close = findExact(m_lower, ScriptClose, open);
        if (close == npos) {
            break;
        }
        const std::size_t end = std::min(close + ScriptCloseTag, m_length);
        blank(open, end - open);
        changed = true;
        from = end;
    }
    return changed;
}

bool ReferenceResponseFilter::scrambleAll(std::string_view word)
{
    bool changed = false;
    for (std::size_t pos = findExact(text(), word); pos != npos;
         pos = findExact(text(), word, pos + word.size())) {
        ScrambleLetters(m_text + pos, word.size());
        write(pos, std::string_view(m_text + pos, word.size())); // letters are lower case
        changed = true;
    }
    return changed;
}

bool ReferenceResponseFilter::scrambleOnUnload()
{
    return scrambleAll(OnUnload);
}

bool ReferenceResponseFilter::hideTitle()
{
    const std::size_t open = findExact(m_lower, TitleOpen);
    if (open == npos) {
        return false;
    }
    const std::size_t start = open + TitleOpen.size();
    const std::size_t close = findExact(m_lower, TitleClose, start);
    if (close == npos || close == start) {
        return false;
    }
    blank(start, close - start);
    return true;
}

// Each call becomes the statement "null;" followed by a comment holding the call up to
// its semicolon. Notifies once per call itself.
bool ReferenceResponseFilter::defusePopups()
{
    std::size_t from = 0;
    for (;;) {
        const std::size_t call = findExact(text(), PopupCall, from);
        if (call == npos) {
            return false;
        }
        write(call, PopupLineComment);
        // "window.open" holds no semicolon, so the first one at or after the call is the
        // first one after its name.
        const std::size_t semicolon = text().find(';', call + PopupCall.size());
        if (semicolon == npos) {
            return false; // the call stays commented out to the end of its line
        }
        popupCall(call, semicolon);
        m_events.responseFiltered();
        // The "n" of "null" may complete a name that ended just before the call.
        from = call >= PopupCall.size() - 1 ? call - (PopupCall.size() - 1) : 0;
    }
}

// Writes "null;/*", blanks, and "*/" ending on the semicolon. The bytes written stay
// between the call's start and its semicolon, also when the semicolon follows the name
// at once.
void ReferenceResponseFilter::popupCall(std::size_t call, std::size_t semicolon)
{
    write(call, PopupBlockComment);
    const std::size_t argument = call + PopupCall.size();
    if (semicolon >= argument + 2) {
        blank(argument, semicolon - argument - 2); // the byte before "*/" keeps its value
    }
    write(semicolon - 1, "*/");
}

bool ReferenceResponseFilter::scrambleContextMenu()
{
    return scrambleAll(ContextMenu);
}

bool ReferenceResponseFilter::scrambleStatus()
{
    return scrambleAll(StatusBar);
}

bool ReferenceResponseFilter::removeFlash()
{
    bool changed = false;
    std::size_t from = 0;
    m_objectWalk = 0;
    for (;;) {
        const std::size_t movie = findExact(m_lower, FlashMovie, from);
        if (movie == npos) {
            return changed;
        }
        std::size_t spanEnd = 0;
        const std::size_t spanStart = flashSpan(movie + FlashMovie.size(), spanEnd);
        if (spanStart == npos) {
            from = movie + FlashMovie.size();
            continue;
        }
        blank(spanStart, spanEnd - spanStart);
        changed = true;
        from = spanEnd;
    }
}

// The span to blank for a movie name ending at swfEnd: the object that encloses it,
// widened to its table cell when it stands in one; npos when no object encloses it.
// Objects are tried in order from the start, each next one after the previous one's
// end; those that ended before an earlier name also end before this one, so the walk
// goes on from where the last one stopped.
std::size_t ReferenceResponseFilter::flashSpan(std::size_t swfEnd, std::size_t& spanEnd)
{
    for (std::size_t object = findExact(m_lower, ObjectOpen, m_objectWalk); object != npos;) {
        const std::size_t close = findExact(m_lower, ObjectClose, object + 1);
        if (close == npos || swfEnd <= object) {
            return npos;
        }
        const std::size_t objectEnd = close + ObjectClose.size();
        if (swfEnd < objectEnd) {
            const std::size_t spanStart = cellSpan(object, objectEnd, spanEnd);
            // No object starts between the walk and this one, and the span is blanked
            // next: the walk goes on after it, or from the start again when the span
            // reaches back over objects already walked past.
            m_objectWalk = spanStart < m_objectWalk ? 0 : spanEnd;
            return spanStart;
        }
        m_objectWalk = objectEnd;
        object = findExact(m_lower, ObjectOpen, objectEnd);
    }
    return npos;
}

// The object's span, or its cell's when a cell start comes before it and a cell end
// after it.
std::size_t ReferenceResponseFilter::cellSpan(std::size_t object, std::size_t objectEnd,
                                              std::size_t& spanEnd) const
{
    spanEnd = objectEnd;
    const std::size_t before = cellTag(object, true);
    if (before == npos || m_lower[before + 1] == '/') {
        return object; // not in a cell, or after one
    }
    const std::size_t after = cellTag(objectEnd, false);
    if (after == npos || m_lower[after + 1] != '/') {
        return object;
    }
    spanEnd = after + 5; // through the '>' of "</td>"
    return before;
}

// The nearest '<' starting "td" or "/td>", searched backwards from just before from or
// forwards from from; npos when none.
std::size_t ReferenceResponseFilter::cellTag(std::size_t from, bool backwards) const
{
    const std::string_view lower(m_lower);
    auto isCellTag = [&](std::size_t i) {
        return lower.substr(i + 1, 2) == "td" || lower.substr(i + 1, 4) == "/td>";
    };
    const char* text = m_lower.data();
    if (backwards) {
        for (std::size_t end = from; end > 0;) {
            const void* hit = ::memrchr(text, '<', end);
            if (hit == nullptr) {
                return npos;
            }
            const std::size_t i = static_cast<const char*>(hit) - text;
            if (isCellTag(i)) {
                return i;
            }
            end = i;
        }
        return npos;
    }
    for (std::size_t i = from; i < m_length; ++i) {
        const void* hit = std::memchr(text + i, '<', m_length - i);
        if (hit == nullptr) {
            return npos;
        }
        i = static_cast<const char*>(hit) - text;
        if (isCellTag(i)) {
            return i;
        }
    }
    return npos;
}

bool ReferenceResponseFilter::emptyTimers()
{
    bool changed = false;
    for (std::size_t pos = findExact(text(), Timer); pos != npos;
         pos = findExact(text(), Timer, pos + Timer.size())) {
        std::size_t at = pos + Timer.size();
        changed = emptyTimer(at) || changed;
    }
    return changed;
}

// Empties the code argument of the call whose name ends at pos: a quoted argument keeps
// its quotes around blanks, any other becomes a quoted run of blanks of its length.
bool ReferenceResponseFilter::emptyTimer(std::size_t& pos)
{
    while (pos < m_length && isSpace(m_text[pos])) {
        ++pos;
    }
    if (pos >= m_length || m_text[pos] != '(') {
        return false;
    }
    ++pos;
    while (pos < m_length && isSpace(m_text[pos])) {
        ++pos;
    }
    if (pos < m_length && m_text[pos] == '"') {
        std::size_t end = pos + 1;
        while (end < m_length && !(m_text[end] == '"' && m_text[end - 1] != '\\')) {
            ++end;
        }
        blank(pos + 1, end - pos - 1);
        return true;
    }
    std::size_t end = text().find(',', pos);
    end = end == npos ? m_length : end;
    const std::size_t size = end - pos;
    if (size >= 2) {
        blank(pos + 1, size - 2);
        write(end - 1, "\"");
    }
    if (size >= 1) {
        write(pos, "\"");
    }
    return true;
}

} // namespace filters
