#include "UserFiles.h"

#include <desktop/DesktopEntry.h>

#include <string_view>

namespace desktop {

namespace {

// A string value: backslash, line ends and tabs are escaped.
std::string escaped(std::string_view value)
{
    std::string out;
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string joined(const std::vector<std::string>& items, std::string_view separator)
{
    std::string out;
    for (const std::string& item : items) {
        if (!out.empty()) {
            out += separator;
        }
        out += item;
    }
    return out;
}

} // namespace

std::string execArgument(const std::string& argument)
{
    // Characters the format reserves make the argument a quoted one; inside the quotes
    // the double quote, backquote, dollar sign and backslash take a backslash.
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string out;
    for (char c : argument) {
        if (c == '%') {
            out += "%%"; // field codes start with a percent sign
        } else if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    if (argument.empty() || argument.find_first_of(reserved) != std::string::npos) {
        return "\"" + out + "\"";
    }
    return out;
}

std::string DesktopEntry::text() const
{
    std::vector<std::string> arguments;
    for (const std::string& argument : command) {
        arguments.push_back(execArgument(argument));
    }
    std::string out = "[Desktop Entry]\nType=Application\n";
    out += "Name=" + escaped(name) + "\n";
    if (!comment.empty()) {
        out += "Comment=" + escaped(comment) + "\n";
    }
    // Exec is a string value too: the backslashes of its quoting are escaped once more.
    out += "Exec=" + escaped(joined(arguments, " ")) + "\n";
    if (tryExec && !command.empty()) {
        out += "TryExec=" + escaped(command.front()) + "\n";
    }
    if (!icon.empty()) {
        out += "Icon=" + escaped(icon) + "\n";
    }
    out += "Terminal=false\n";
    if (!categories.empty()) {
        out += "Categories=" + joined(categories, ";") + ";\n";
    }
    for (const std::string& line : extraLines) {
        out += line + "\n";
    }
    return out;
}

Result writeDesktopEntry(const std::filesystem::path& file, const DesktopEntry& entry) noexcept
{
    try {
        if (entry.name.empty() || entry.command.empty()) {
            return {Outcome::Failed, "A desktop entry needs a name and a command: " +
                                         file.string() + " is not written."};
        }
        platform::Result<void> written = writeUserFile(file, entry.text(), 0644);
        if (!written) {
            return {Outcome::Failed, written.error().message};
        }
        return {};
    } catch (const std::exception& error) {
        return {Outcome::Failed, "Cannot write " + file.string() + ": " + error.what()};
    }
}

} // namespace desktop
