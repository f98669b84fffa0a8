#include "Journal.h"

#include "UserFiles.h"

#include <platform/Files.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace desktop {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHeader = "umbravia-desktop-journal 1\n";

// Threads of one process: flock() would let a second descriptor of the same process wait
// as well, but the mutex keeps the order plain.
std::mutex g_journalMutex;

void putField(std::string& out, std::string_view value)
{
    out += ' ';
    out += std::to_string(value.size());
    out += ':';
    out += value;
}

void putOptional(std::string& out, const std::optional<std::string>& value)
{
    if (value) {
        putField(out, *value);
    } else {
        out += " -";
    }
}

class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    bool atEnd() const { return m_at == m_text.size(); }
    std::size_t position() const { return m_at; }

    bool literal(std::string_view word)
    {
        if (m_text.substr(m_at, word.size()) != word) {
            return false;
        }
        m_at += word.size();
        return true;
    }

    // A word up to the next blank or line end.
    std::optional<std::string> word()
    {
        std::size_t end = m_text.find_first_of(" \n", m_at);
        if (end == std::string_view::npos || end == m_at) {
            return std::nullopt;
        }
        std::string out(m_text.substr(m_at, end - m_at));
        m_at = end;
        return out;
    }

    // " len:bytes"
    std::optional<std::string> field()
    {
        if (!literal(" ")) {
            return std::nullopt;
        }
        std::size_t colon = m_text.find(':', m_at);
        if (colon == std::string_view::npos || colon == m_at || colon - m_at > 12) {
            return std::nullopt;
        }
        std::size_t length = 0;
        auto [end, ec] = std::from_chars(m_text.data() + m_at, m_text.data() + colon, length);
        if (ec != std::errc() || end != m_text.data() + colon ||
            length > m_text.size() - colon - 1) {
            return std::nullopt;
        }
        std::string out(m_text.substr(colon + 1, length));
        m_at = colon + 1 + length;
        return out;
    }

    // " -" or a field; the outer optional is empty when neither is there.
    std::optional<std::optional<std::string>> optionalField()
    {
        if (literal(" -")) {
            return std::optional<std::string>();
        }
        std::optional<std::string> value = field();
        if (!value) {
            return std::nullopt;
        }
        return std::optional<std::string>(std::move(*value));
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

std::optional<Target> targetFromKey(std::string_view key)
{
    for (Target target : AllTargets) {
        if (key == targetKey(target)) {
            return target;
        }
    }
    return std::nullopt;
}

std::optional<FileRecord> readFileRecord(Reader& in)
{
    FileRecord record;
    std::optional<std::string> editor = in.field();
    std::optional<std::string> path = in.field();
    std::optional<std::string> mode = in.field();
    if (!editor || !path || !mode || mode->empty() || mode->size() > 4) {
        return std::nullopt;
    }
    auto [end, ec] = std::from_chars(mode->data(), mode->data() + mode->size(), record.mode, 8);
    std::optional<std::optional<std::string>> original = in.optionalField();
    std::optional<std::optional<std::string>> written = in.optionalField();
    if (ec != std::errc() || end != mode->data() + mode->size() || !original || !written ||
        path->empty() || (*path)[0] != '/') {
        return std::nullopt;
    }
    record.editor = std::move(*editor);
    record.path = std::move(*path);
    record.original = std::move(*original);
    record.written = std::move(*written);
    return record;
}

std::optional<SettingRecord> readSettingRecord(Reader& in)
{
    SettingRecord record;
    std::optional<std::string> schema = in.field();
    std::optional<std::string> key = in.field();
    std::optional<std::optional<std::string>> original = in.optionalField();
    std::optional<std::optional<std::string>> written = in.optionalField();
    if (!schema || !key || !original || !written) {
        return std::nullopt;
    }
    record.schema = std::move(*schema);
    record.key = std::move(*key);
    record.original = std::move(*original);
    record.written = std::move(*written);
    return record;
}

char octalDigit(unsigned value)
{
    return static_cast<char>('0' + (value & 7));
}

std::string octal(unsigned mode)
{
    return {octalDigit(mode >> 9), octalDigit(mode >> 6), octalDigit(mode >> 3), octalDigit(mode)};
}

} // namespace

const char* targetKey(Target target)
{
    switch (target) {
    case Target::Gnome:
        return "gnome";
    case Target::Kde:
        return "kde";
    case Target::Firefox:
        return "firefox";
    case Target::Environment:
        return "environment";
    }
    return "";
}

FileRecord* TargetRecord::file(const fs::path& path)
{
    for (FileRecord& record : files) {
        if (record.path == path) {
            return &record;
        }
    }
    return nullptr;
}

TargetRecord* JournalData::find(Target target)
{
    for (TargetRecord& record : targets) {
        if (record.target == target) {
            return &record;
        }
    }
    return nullptr;
}

void JournalData::drop(Target target)
{
    std::erase_if(targets,
                  [target](const TargetRecord& record) { return record.target == target; });
}

std::string formatJournal(const JournalData& data)
{
    std::string out(kHeader);
    for (const TargetRecord& target : data.targets) {
        out += "target ";
        out += targetKey(target.target);
        out += '\n';
        for (const FileRecord& file : target.files) {
            out += "file";
            putField(out, file.editor);
            putField(out, file.path.string());
            putField(out, octal(file.mode));
            putOptional(out, file.original);
            putOptional(out, file.written);
            out += '\n';
        }
        for (const SettingRecord& setting : target.settings) {
            out += "setting";
            putField(out, setting.schema);
            putField(out, setting.key);
            putOptional(out, setting.original);
            putOptional(out, setting.written);
            out += '\n';
        }
        for (const fs::path& folder : target.madeFolders) {
            out += "folder";
            putField(out, folder.string());
            out += '\n';
        }
    }
    return out;
}

platform::Result<JournalData> parseJournal(std::string_view text)
{
    Reader in(text);
    JournalData data;
    auto damaged = [&in] {
        return platform::makeError(ERROR_BAD_FORMAT,
                                   "damaged at byte " + std::to_string(in.position()));
    };
    if (!in.literal(kHeader)) {
        return damaged();
    }
    while (!in.atEnd()) {
        std::optional<std::string> word = in.word();
        if (!word) {
            return damaged();
        }
        if (*word == "target") {
            std::optional<std::string> key = (in.literal(" ") ? in.word() : std::nullopt);
            std::optional<Target> target = key ? targetFromKey(*key) : std::nullopt;
            if (!target || data.find(*target) != nullptr) {
                return damaged();
            }
            data.targets.push_back(TargetRecord{*target, {}, {}, {}});
        } else if (*word == "file" && !data.targets.empty()) {
            std::optional<FileRecord> record = readFileRecord(in);
            if (!record) {
                return damaged();
            }
            data.targets.back().files.push_back(std::move(*record));
        } else if (*word == "setting" && !data.targets.empty()) {
            std::optional<SettingRecord> record = readSettingRecord(in);
            if (!record) {
                return damaged();
            }
            data.targets.back().settings.push_back(std::move(*record));
        } else if (*word == "folder" && !data.targets.empty()) {
            std::optional<std::string> folder = in.field();
            if (!folder || folder->empty() || (*folder)[0] != '/') {
                return damaged();
            }
            data.targets.back().madeFolders.emplace_back(std::move(*folder));
        } else {
            return damaged();
        }
        if (!in.literal("\n")) {
            return damaged();
        }
    }
    return data;
}

JournalFile::JournalFile(fs::path file) : m_file(std::move(file)), m_threadLock(g_journalMutex)
{
    const fs::path lock = m_file.string() + ".lock";
    m_lockFd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd < 0) {
        m_problem =
            "Cannot lock the desktop journal " + lock.string() + ": " + std::strerror(errno) + ".";
        return;
    }
    int locked = 0;
    while ((locked = ::flock(m_lockFd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        m_problem =
            "Cannot lock the desktop journal " + lock.string() + ": " + std::strerror(errno) + ".";
        return;
    }
    platform::Result<FileState> state = readUserFile(m_file);
    if (!state) {
        m_problem = state.error().message;
        return;
    }
    if (!state->bytes) {
        return;
    }
    platform::Result<JournalData> data = parseJournal(*state->bytes);
    if (!data) {
        m_problem = "The desktop journal " + m_file.string() + " is " + data.error().message +
                    ": it is kept as it is, so that nothing it records is lost.";
        return;
    }
    m_data = std::move(*data);
}

JournalFile::~JournalFile()
{
    if (m_lockFd >= 0) {
        ::close(m_lockFd); // lets go of the lock
    }
}

platform::Result<void> JournalFile::save()
{
    if (!m_problem.empty()) {
        return platform::makeError(ERROR_BAD_FORMAT, m_problem);
    }
    if (m_data.targets.empty()) {
        return removeUserFile(m_file);
    }
    platform::Result<void> written = platform::replaceHostFile(m_file, formatJournal(m_data), 0600);
    if (!written) {
        return platform::makeError(written.error().code,
                                   "Cannot write the desktop journal: " + written.error().message);
    }
    return {};
}

} // namespace desktop
