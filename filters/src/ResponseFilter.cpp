#include "ResponseFilter.h"

#include "TextTools.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace filters {

namespace {

using W = ResponseWords;

constexpr std::size_t ScriptCloseTag = 9; // "</script>"
constexpr std::size_t TitleOpenTag = 7;   // "<title>"
constexpr std::size_t PopupCallSize = 11; // "window.open"
// Both exactly as long as "window.open".
constexpr std::string_view PopupLineComment = "null;//    ";
constexpr std::string_view PopupBlockComment = "null;/*    ";
constexpr std::size_t FlashMovieSize = 4; // ".swf"
constexpr std::size_t ObjectCloseTag = 9; // "</object>"
constexpr std::size_t CellCloseTag = 5;   // "</td>"
constexpr std::size_t TimerSize = 10;     // "setTimeout"

static_assert(PopupLineComment.size() == PopupCallSize);
static_assert(PopupBlockComment.size() == PopupCallSize);

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::size_t wordSize(W::Word word)
{
    switch (word) {
    case W::OnUnload:
        return 8;
    case W::ContextMenu:
    case W::StatusBar:
        return 13;
    default:
        return 0;
    }
}

// Each connection thread keeps its own positions, so their storage is reused.
ResponseWords& threadWords()
{
    thread_local ResponseWords words;
    return words;
}

} // namespace

// The response rules in the order they run: {switch, words, rule}.
const ResponseFilter::Step ResponseFilter::s_steps[] = {
    {&FilterSettings::blockScripts, W::bit(W::ScriptOpen) | W::bit(W::ScriptClose),
     &ResponseFilter::blankScripts},
    {&FilterSettings::disableOnUnload, W::bit(W::OnUnload), &ResponseFilter::scrambleOnUnload},
    {&FilterSettings::hidePageTitle, W::bit(W::TitleOpen) | W::bit(W::TitleClose),
     &ResponseFilter::hideTitle},
    {&FilterSettings::blockPopups, W::bit(W::PopupCall), &ResponseFilter::defusePopups},
    {&FilterSettings::removeCtxMenuDis, W::bit(W::ContextMenu),
     &ResponseFilter::scrambleContextMenu},
    {&FilterSettings::removeFlash,
     W::bit(W::FlashMovie) | W::bit(W::ObjectOpen) | W::bit(W::ObjectClose) | W::bit(W::CellTag),
     &ResponseFilter::removeFlash},
    {&FilterSettings::removeStatusMods, W::bit(W::StatusBar), &ResponseFilter::scrambleStatus},
    {&FilterSettings::disableTimerProc, W::bit(W::Timer), &ResponseFilter::emptyTimers},
};

ResponseFilter::ResponseFilter(const FilterSettings& settings, FilterEvents& events)
    : m_settings(settings), m_events(events), m_words(threadWords())
{}

bool ResponseFilter::rewritesPages(const FilterSettings& settings)
{
    return settings.responseOn &&
           std::any_of(std::begin(s_steps), std::end(s_steps),
                       [&](const Step& step) { return settings.*step.enabled; });
}

void ResponseFilter::run(char* text, std::size_t length)
{
    if (!rewritesPages(m_settings) || text == nullptr || length == 0) {
        return;
    }
    m_text = text;
    m_length = length;
    unsigned wanted = 0;
    for (const Step& step : s_steps) {
        if (m_settings.*step.enabled) {
            wanted |= step.words;
        }
    }
    if (wanted == 0) {
        return;
    }
    m_words.scan(text, length, wanted);
    for (const Step& step : s_steps) {
        // What this rule writes matters only to the words of the rules still to run.
        m_pending = wanted;
        wanted &= ~step.words;
        if (m_settings.*step.enabled && (this->*step.apply)()) {
            m_events.responseFiltered();
        }
    }
}

// Letters and signs may complete a later rule's word with the bytes around them.
void ResponseFilter::write(std::size_t pos, std::string_view bytes)
{
    std::copy(bytes.begin(), bytes.end(), m_text + pos);
    m_words.rescan(pos, pos + bytes.size(), m_pending);
}

// Blanks complete no word: none holds a blank.
void ResponseFilter::blank(std::size_t pos, std::size_t count)
{
    std::fill_n(m_text + pos, count, ' ');
}

// Each script element, from "<script" through its closing tag, becomes blanks; a chunk
// that ends inside a script keeps it.
bool ResponseFilter::blankScripts()
{
    bool changed = false;
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = m_words.next(W::ScriptOpen, from);
        if (open == npos) {
            break;
        }
        const std::size_t close = m_words.next(W::ScriptClose, open);
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

// The search goes on after each scrambled word, so words its letters complete with the
// bytes before them are not scrambled again.
bool ResponseFilter::scrambleAll(ResponseWords::Word word)
{
    const std::size_t size = wordSize(word);
    bool changed = false;
    for (std::size_t pos = m_words.next(word, 0); pos != npos;
         pos = m_words.next(word, pos + size)) {
        ScrambleLetters(m_text + pos, size);
        m_words.rescan(pos, pos + size, m_pending);
        changed = true;
    }
    return changed;
}

bool ResponseFilter::scrambleOnUnload()
{
    return scrambleAll(W::OnUnload);
}

bool ResponseFilter::hideTitle()
{
    const std::size_t open = m_words.next(W::TitleOpen, 0);
    if (open == npos) {
        return false;
    }
    const std::size_t start = open + TitleOpenTag;
    const std::size_t close = m_words.next(W::TitleClose, start);
    if (close == npos || close == start) {
        return false;
    }
    blank(start, close - start);
    return true;
}

// Each call becomes the statement "null;" followed by a comment holding the call up to
// its semicolon; without a semicolon after it, a line comment, and the rule ends there.
// (The line comment is what a call with a semicolon first gets too, but the block
// comment overwrites it whole, so it is written only when it stays.) Notifies once per
// call itself.
bool ResponseFilter::defusePopups()
{
    std::size_t from = 0;
    for (;;) {
        const std::size_t call = m_words.next(W::PopupCall, from);
        if (call == npos) {
            return false;
        }
        // "window.open" holds no semicolon, so the first one at or after the call is the
        // first one after its name.
        const std::size_t argument = call + PopupCallSize;
        const void* hit = argument < m_length
                              ? std::memchr(m_text + argument, ';', m_length - argument)
                              : nullptr;
        if (hit == nullptr) {
            write(call, PopupLineComment);
            return false; // the call stays commented out to the end of its line
        }
        popupCall(call, static_cast<const char*>(hit) - m_text);
        m_events.responseFiltered();
        // The "n" of "null" may complete a name that ended just before the call.
        from = call >= PopupCallSize - 1 ? call - (PopupCallSize - 1) : 0;
    }
}

// Writes "null;/*", blanks, and "*/" ending on the semicolon. The bytes written stay
// between the call's start and its semicolon, also when the semicolon follows the name
// at once.
void ResponseFilter::popupCall(std::size_t call, std::size_t semicolon)
{
    write(call, PopupBlockComment);
    const std::size_t argument = call + PopupCallSize;
    if (semicolon >= argument + 2) {
        blank(argument, semicolon - argument - 2); // the byte before "*/" keeps its value
    }
    write(semicolon - 1, "*/");
}

bool ResponseFilter::scrambleContextMenu()
{
    return scrambleAll(W::ContextMenu);
}

bool ResponseFilter::scrambleStatus()
{
    return scrambleAll(W::StatusBar);
}

bool ResponseFilter::removeFlash()
{
    bool changed = false;
    std::size_t from = 0;
    m_objectWalk = 0;
    for (;;) {
        const std::size_t movie = m_words.next(W::FlashMovie, from);
        if (movie == npos) {
            return changed;
        }
        std::size_t spanEnd = 0;
        const std::size_t spanStart = flashSpan(movie + FlashMovieSize, spanEnd);
        if (spanStart == npos) {
            from = movie + FlashMovieSize;
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
std::size_t ResponseFilter::flashSpan(std::size_t swfEnd, std::size_t& spanEnd)
{
    for (std::size_t object = m_words.next(W::ObjectOpen, m_objectWalk); object != npos;) {
        const std::size_t close = m_words.next(W::ObjectClose, object + 1);
        if (close == npos || swfEnd <= object) {
            return npos;
        }
        const std::size_t objectEnd = close + ObjectCloseTag;
        if (swfEnd < objectEnd) {
            const std::size_t spanStart = cellSpan(object, objectEnd, spanEnd);
            // No object starts between the walk and this one, and the span is blanked
            // next: the walk goes on after it, or from the start again when the span
            // reaches back over objects already walked past.
            m_objectWalk = spanStart < m_objectWalk ? 0 : spanEnd;
            return spanStart;
        }
        m_objectWalk = objectEnd;
        object = m_words.next(W::ObjectOpen, objectEnd);
    }
    return npos;
}

// The object's span, or its cell's when a cell start comes before it and a cell end
// after it.
std::size_t ResponseFilter::cellSpan(std::size_t object, std::size_t objectEnd,
                                     std::size_t& spanEnd) const
{
    spanEnd = objectEnd;
    const std::size_t before = m_words.previous(W::CellTag, object);
    if (before == npos || m_text[before + 1] == '/') {
        return object; // not in a cell, or after one
    }
    const std::size_t after = m_words.next(W::CellTag, objectEnd);
    if (after == npos || m_text[after + 1] != '/') {
        return object;
    }
    spanEnd = after + CellCloseTag; // through the '>' of "</td>"
    return before;
}

bool ResponseFilter::emptyTimers()
{
    bool changed = false;
    for (std::size_t pos = m_words.next(W::Timer, 0); pos != npos;
         pos = m_words.next(W::Timer, pos + TimerSize)) {
        std::size_t at = pos + TimerSize;
        changed = emptyTimer(at) || changed;
    }
    return changed;
}

// Empties the code argument of the call whose name ends at pos: a quoted argument keeps
// its quotes around blanks, any other becomes a quoted run of blanks of its length.
bool ResponseFilter::emptyTimer(std::size_t& pos)
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
    // A quote completes no word, so the quotes are set without a rescan.
    if (size >= 2) {
        blank(pos + 1, size - 2);
        m_text[end - 1] = '"';
    }
    if (size >= 1) {
        m_text[pos] = '"';
    }
    return true;
}

} // namespace filters
