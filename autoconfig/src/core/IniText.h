#pragma once
// A configuration file's whole text, edited the way the program configurators edit it:
// entries are found by their key text anywhere in the file, an entry runs up to (not
// including) the next carriage return, and a replacement changes every copy of the old
// entry text. Sections run from their "[Header]" to the next "[". Line ends are never
// rewritten: what the file had stays, the new texts bring their own.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rigwright {

class IniText {
public:
    explicit IniText(std::string text) : m_text(std::move(text)) {}

    const std::string& text() const { return m_text; }
    bool contains(std::string_view needle) const;

    // The key and everything after it up to the next CR (or the end), at the key's first
    // occurrence at or after from.
    std::optional<std::string> entry(std::string_view key, std::size_t from = 0) const;
    // Replaces every occurrence of old, left to right, never rescanning inserted text.
    // Returns the number of replacements.
    std::size_t replaceAll(std::string_view old, std::string_view replacement);
    // entry(key) replaced everywhere by newLine; false (nothing changed) without the key.
    bool replaceEntry(std::string_view key, std::string_view newLine);
    // replaceEntry, or newLine appended to the end when the key is missing.
    void setEntry(std::string_view key, std::string_view newLine);
    void append(std::string_view text) { m_text += text; }

    // Removes every copy of the section that starts at the header's first occurrence:
    // the header and all that follows up to the next "[" or the end. False without it.
    bool removeSection(std::string_view header);

    // Replaces the text from position start to the end.
    void replaceTail(std::size_t start, std::string_view tail);

private:
    std::string m_text;
};

// Every bare LF (one without a CR before it) becomes CR LF: what a Windows program's
// text-mode stream would write for a text that is new to the file.
std::string withCrLf(std::string_view text);

} // namespace rigwright
