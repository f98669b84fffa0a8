#include "core/IniText.h"

namespace rigwright {

bool IniText::contains(std::string_view needle) const
{
    return m_text.find(needle) != std::string::npos;
}

std::optional<std::string> IniText::entry(std::string_view key, std::size_t from) const
{
    if (from > m_text.size()) {
        return std::nullopt;
    }
    std::size_t start = m_text.find(key, from);
    if (start == std::string::npos) {
        return std::nullopt;
    }
    std::size_t end = m_text.find('\r', start + key.size());
    return m_text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::size_t IniText::replaceAll(std::string_view old, std::string_view replacement)
{
    if (old.empty()) {
        return 0;
    }
    std::string result;
    std::size_t count = 0;
    std::size_t pos = 0;
    for (std::size_t hit = m_text.find(old); hit != std::string::npos;
         hit = m_text.find(old, pos)) {
        result.append(m_text, pos, hit - pos);
        result += replacement;
        pos = hit + old.size();
        ++count;
    }
    if (count != 0) {
        result.append(m_text, pos, std::string::npos);
        m_text = std::move(result);
    }
    return count;
}

bool IniText::replaceEntry(std::string_view key, std::string_view newLine)
{
    std::optional<std::string> old = entry(key);
    if (!old) {
        return false;
    }
    replaceAll(*old, newLine);
    return true;
}

void IniText::setEntry(std::string_view key, std::string_view newLine)
{
    if (!replaceEntry(key, newLine)) {
        append(newLine);
    }
}

bool IniText::removeSection(std::string_view header)
{
    std::size_t start = m_text.find(header);
    if (start == std::string::npos) {
        return false;
    }
    std::size_t end = m_text.find('[', start + header.size());
    std::string section =
        m_text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    replaceAll(section, "");
    return true;
}

void IniText::replaceTail(std::size_t start, std::string_view tail)
{
    if (start > m_text.size()) {
        start = m_text.size();
    }
    m_text.replace(start, std::string::npos, tail);
}

std::string withCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 1);
    char previous = '\0';
    for (char c : text) {
        if (c == '\n' && previous != '\r') {
            out += '\r';
        }
        out += c;
        previous = c;
    }
    return out;
}

} // namespace rigwright
