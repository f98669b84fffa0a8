// Files written in text mode: LF stored as CR LF, as a Windows program's text files are.

#include "PathResolver.h"

#include <platform/Files.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <utility>
#include <vector>

namespace platform {

TextFile::~TextFile()
{
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

TextFile::TextFile(TextFile&& other) noexcept
    : m_file(std::exchange(other.m_file, nullptr)), m_lastWasCr(other.m_lastWasCr)
{}

TextFile& TextFile::operator=(TextFile&& other) noexcept
{
    if (this != &other) {
        if (m_file != nullptr) {
            std::fclose(m_file);
        }
        m_file = std::exchange(other.m_file, nullptr);
        m_lastWasCr = other.m_lastWasCr;
    }
    return *this;
}

Result<TextFile> TextFile::open(const DosPath& path, const char* mode)
{
    if (mode == nullptr || std::strchr("wa", mode[0]) == nullptr) {
        return makeError(ERROR_INVALID_PARAMETER, "text files are opened for writing");
    }
    Result<HostPath> host = detail::resolveDosPath(path.str(), detail::LastLink::Follow);
    if (!host) {
        return host.error();
    }
    std::FILE* file = std::fopen(host->c_str(), mode);
    if (file == nullptr) {
        int err = errno;
        return makeError(static_cast<LONG>(detail::win32Error(err, *host)),
                         "cannot open " + path.str() + ": " + std::strerror(err));
    }
    TextFile text;
    text.m_file = file;
    return text;
}

bool TextFile::write(std::string_view text)
{
    if (m_file == nullptr) {
        return false;
    }
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
        if (c == '\n' && !m_lastWasCr) {
            out += '\r';
        }
        out += c;
        m_lastWasCr = c == '\r';
    }
    return std::fwrite(out.data(), 1, out.size(), m_file) == out.size();
}

bool TextFile::printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    bool ok = false;
    if (length >= 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        ok = write(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
    }
    va_end(again);
    return ok;
}

Result<void> TextFile::close()
{
    if (m_file == nullptr) {
        return makeError(ERROR_INVALID_HANDLE, "the file is not open");
    }
    bool failed = std::ferror(m_file) != 0;
    int err = EIO;
    if (std::fclose(m_file) != 0) {
        failed = true;
        err = errno;
    }
    m_file = nullptr;
    if (failed) {
        return makeError(static_cast<LONG>(detail::win32Error(err)),
                         std::string("cannot write the file: ") + std::strerror(err));
    }
    return {};
}

} // namespace platform
