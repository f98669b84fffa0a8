// Registry-editor files: import and export.

#include "RegistryStore.h"

#include <platform/RegFile.h>
#include <platform/Registry.h>
#include <platform/Text.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace platform::regfile {

namespace {

constexpr const char* kNotARegFile =
    "not a registry file: it must start with \"Windows Registry Editor Version 5.00\" or "
    "\"REGEDIT4\"";
constexpr const char* kUnknownRoot = "unknown root key in ";
constexpr const char* kUnclosedKey = "a key line must end with \"]\"";
constexpr const char* kValueOutsideKey = "a value line outside of a key";
constexpr const char* kBadValueName = "malformed value name";
constexpr const char* kBadData = "malformed value data";
constexpr const char* kUnknownLine = "unrecognised line";
constexpr std::size_t kHexLineWidth = 76;

struct RootName {
    const char* full;
    const char* abbreviation;
    HKEY key;
};

const RootName kRoots[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_USERS", "HKU", HKEY_USERS},
};

enum class OpKind { CreateKey, DeleteKey, SetValue, DeleteValue };

// One change the file asks for, kept until the whole file has been read.
struct Op {
    OpKind kind = OpKind::CreateKey;
    int line = 0;
    HKEY root = nullptr;
    std::string path;
    std::string name;
    DWORD type = 0;
    std::string data;
};

// parent + "\\" + child, built by appending (GCC 12 warns falsely on a literal + string).
std::string joinKey(std::string_view parent, std::string_view child)
{
    std::string out(parent);
    if (!child.empty()) {
        out += '\\';
        out += child;
    }
    return out;
}

const char* rootFullName(HKEY root)
{
    for (const RootName& name : kRoots) {
        if (name.key == root) {
            return name.full;
        }
    }
    return "";
}

void appendUtf8(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The file's text as narrow bytes: a UTF-16 file (Windows' own exports) is turned into
// UTF-8, a UTF-8 byte-order mark dropped.
std::string decodeText(std::string_view bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::string out;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            appendUtf8(out, static_cast<unsigned char>(bytes[i]) |
                                (static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
        return out;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return std::string(bytes);
}

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return lines;
}

// A quoted text at the start of rest (which begins with '"'), escapes \\ and \" undone;
// rest moves past the closing quote. Any other backslash stays as written.
bool parseQuoted(std::string_view& rest, std::string& out)
{
    out.clear();
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < rest.size() && (rest[i + 1] == '\\' || rest[i + 1] == '"')) {
            out += rest[++i];
        } else {
            out += c;
        }
    }
    return false;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool parseHexNumber(std::string_view text, std::size_t maxDigits, DWORD& value)
{
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    value = 0;
    for (char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) {
            return false;
        }
        value = value * 16 + static_cast<DWORD>(digit);
    }
    return true;
}

// "01,ff, 2a" -> bytes; an empty list is no bytes.
bool parseHexList(std::string_view list, std::string& out)
{
    out.clear();
    list = text::trim(list);
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view item = text::trim(list.substr(0, comma));
        DWORD byte = 0;
        if (!parseHexNumber(item, 2, byte)) {
            return false;
        }
        out += static_cast<char>(byte);
        if (comma == std::string_view::npos) {
            break;
        }
        list = text::trim(list.substr(comma + 1));
    }
    return true;
}

// The data after '=': "text", dword:, hex:, hex(N): or - (delete).
bool parseData(std::string_view text, Op& op)
{
    text = text::trim(text);
    if (text == "-") {
        op.kind = OpKind::DeleteValue;
        return true;
    }
    op.kind = OpKind::SetValue;
    if (!text.empty() && text.front() == '"') {
        op.type = REG_SZ;
        if (!parseQuoted(text, op.data) || !text::trim(text).empty()) {
            return false;
        }
        op.data += '\0';
        return true;
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view kind = text::trim(text.substr(0, colon));
    const std::string_view rest = text.substr(colon + 1);
    if (text::equalsNoCase(kind, "dword")) {
        DWORD value = 0;
        op.type = REG_DWORD;
        op.data.assign(reinterpret_cast<const char*>(&value), 4);
        if (!parseHexNumber(text::trim(rest), 8, value)) {
            return false;
        }
        std::memcpy(op.data.data(), &value, 4);
        return true;
    }
    if (text::equalsNoCase(kind, "hex")) {
        op.type = REG_BINARY;
        return parseHexList(rest, op.data);
    }
    if (kind.size() > 5 && text::equalsNoCase(kind.substr(0, 4), "hex(") && kind.back() == ')') {
        return parseHexNumber(kind.substr(4, kind.size() - 5), 8, op.type) &&
               parseHexList(rest, op.data);
    }
    return false;
}

Error lineError(int line, const std::string& what)
{
    return makeError(ERROR_BAD_FORMAT, "line " + std::to_string(line) + ": " + what);
}

// Parses one key line ("[...]" or "[-...]") into an op.
Result<Op> parseKeyLine(std::string_view line, int number)
{
    if (line.back() != ']') {
        return lineError(number, kUnclosedKey);
    }
    std::string_view name = line.substr(1, line.size() - 2);
    Op op;
    op.kind = OpKind::CreateKey;
    op.line = number;
    if (!name.empty() && name.front() == '-') {
        op.kind = OpKind::DeleteKey;
        name.remove_prefix(1);
    }
    if (!splitKeyName(name, op.root, op.path)) {
        return lineError(number, kUnknownRoot + std::string("\"") + std::string(name) + "\"");
    }
    return op;
}

Result<Op> parseValueLine(std::string_view line, int number)
{
    Op op;
    op.kind = OpKind::SetValue;
    op.line = number;
    if (line.front() == '@') {
        line.remove_prefix(1);
    } else if (!parseQuoted(line, op.name)) {
        return lineError(number, kBadValueName);
    }
    line = text::trim(line);
    if (line.empty() || line.front() != '=') {
        return lineError(number, kBadValueName);
    }
    if (!parseData(line.substr(1), op)) {
        return lineError(number, kBadData);
    }
    return op;
}

// The whole file as a list of changes, or the first error.
Result<std::vector<Op>> parse(std::string_view text)
{
    const std::vector<std::string_view> lines = splitLines(text);
    std::vector<Op> ops;
    bool header = false;
    const Op* currentKey = nullptr; // the last key line, while it creates (not deletes) a key
    Op keyLine;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        std::string line(text::trim(lines[i]));
        if (line.empty() || (header && line.front() == ';')) {
            continue;
        }
        if (!header) {
            if (line != kHeader && line != kHeaderRegedit4) {
                return lineError(number, kNotARegFile);
            }
            header = true;
            continue;
        }
        if (line.front() == '[') {
            Result<Op> op = parseKeyLine(line, number);
            if (!op) {
                return op.error();
            }
            keyLine = *op;
            currentKey = keyLine.kind == OpKind::CreateKey ? &keyLine : nullptr;
            ops.push_back(std::move(*op));
            continue;
        }
        if (line.front() != '"' && line.front() != '@') {
            return lineError(number, kUnknownLine);
        }
        // A hex list goes on after a trailing backslash; a well-formed text value never
        // ends with one.
        while (line.back() == '\\' && i + 1 < lines.size()) {
            line.pop_back();
            line += text::trim(lines[++i]);
        }
        if (currentKey == nullptr) {
            return lineError(number, kValueOutsideKey);
        }
        Result<Op> op = parseValueLine(line, number);
        if (!op) {
            return op.error();
        }
        op->root = currentKey->root;
        op->path = currentKey->path;
        ops.push_back(std::move(*op));
    }
    if (!header) {
        return lineError(1, kNotARegFile);
    }
    return ops;
}

LONG applyOne(const Op& op, HKEY& key)
{
    if ((op.kind == OpKind::CreateKey || op.kind == OpKind::DeleteKey) && key != nullptr) {
        RegCloseKey(key);
        key = nullptr;
    }
    LONG rc = ERROR_SUCCESS;
    switch (op.kind) {
    case OpKind::CreateKey:
        return RegCreateKeyEx(op.root, op.path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr);
    case OpKind::DeleteKey:
        rc = static_cast<LONG>(SHDeleteKey(op.root, op.path.c_str()));
        break;
    case OpKind::SetValue:
        return RegSetValueEx(key, op.name.c_str(), 0, op.type,
                             reinterpret_cast<const BYTE*>(op.data.data()),
                             static_cast<DWORD>(op.data.size()));
    case OpKind::DeleteValue:
        rc = RegDeleteValue(key, op.name.c_str());
        break;
    }
    // Deleting what is not there leaves the registry as the file wants it.
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

std::string describeFailure(LONG rc)
{
    std::string text = "error " + std::to_string(rc);
    if (rc == ERROR_ACCESS_DENIED) {
        text += ", access denied";
    }
    const std::string store = registry::storeError();
    return store.empty() ? text : text + ": " + store;
}

// Applies the changes as one transaction: all of them or none.
Result<void> apply(const std::vector<Op>& ops)
{
    detail::RegistryStore& store = detail::RegistryStore::instance();
    LONG rc = store.beginBatch();
    if (rc != ERROR_SUCCESS) {
        return makeError(rc, "cannot write to the registry (" + describeFailure(rc) + ")");
    }
    HKEY key = nullptr;
    const Op* failed = nullptr;
    for (const Op& op : ops) {
        rc = applyOne(op, key);
        if (rc != ERROR_SUCCESS) {
            failed = &op;
            break;
        }
    }
    if (key != nullptr) {
        RegCloseKey(key);
    }
    if (failed != nullptr) {
        store.endBatch(false);
        const std::string where = joinKey(rootFullName(failed->root), failed->path);
        return lineError(failed->line, "cannot write " + where + " (" + describeFailure(rc) + ")");
    }
    rc = store.endBatch(true);
    if (rc != ERROR_SUCCESS) {
        return makeError(rc, "cannot write to the registry (" + describeFailure(rc) + ")");
    }
    return {};
}

// --- export ---------------------------------------------------------------------------

std::string quote(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// Text that a quoted string carries without loss: one zero at the end and no line breaks.
bool isCleanString(std::string_view data)
{
    return !data.empty() && data.back() == '\0' &&
           data.substr(0, data.size() - 1).find_first_of(std::string_view("\0\r\n", 3)) ==
               std::string_view::npos;
}

void appendHex(std::string& text, std::string line, std::string_view data)
{
    char digits[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(data[i]));
        line += digits;
        if (i + 1 < data.size()) {
            line += ',';
            if (line.size() >= kHexLineWidth) {
                text += line + "\\\r\n";
                line = "  ";
            }
        }
    }
    text += line + "\r\n";
}

void appendValue(std::string& text, const std::string& name, DWORD type, std::string_view data)
{
    std::string line = (name.empty() ? std::string("@") : quote(name)) + "=";
    if (type == REG_SZ && isCleanString(data)) {
        text += line + quote(data.substr(0, data.size() - 1)) + "\r\n";
    } else if (type == REG_DWORD && data.size() == 4) {
        DWORD value = 0;
        std::memcpy(&value, data.data(), 4);
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<unsigned>(value));
        text += line + digits + "\r\n";
    } else if (type == REG_BINARY) {
        appendHex(text, line + "hex:", data);
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
        appendHex(text, line + prefix, data);
    }
}

LONG appendValues(HKEY key, std::string& text)
{
    std::string name(256, '\0');
    std::string data(1024, '\0');
    for (DWORD i = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG rc = RegEnumValue(key, i, name.data(), &nameLength, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc == ERROR_NO_MORE_ITEMS) {
            return ERROR_SUCCESS;
        }
        if (rc == ERROR_MORE_DATA) {
            name.resize(std::max<std::size_t>(name.size() * 2, 16384 + 1));
            data.resize(std::max<std::size_t>(data.size() * 2, size));
            continue; // the same index again, with room
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        appendValue(text, name.substr(0, nameLength), type, std::string_view(data).substr(0, size));
        ++i;
    }
}

LONG subkeyNames(HKEY key, std::vector<std::string>& names)
{
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        const LONG rc = RegEnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            return ERROR_SUCCESS;
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        names.emplace_back(name, length);
    }
}

// The key, its values and, depth first, its subkeys. failedAt names the key that could
// not be read.
LONG appendKey(HKEY key, const std::string& fullName, std::string& text, std::string& failedAt)
{
    text += '[';
    text += fullName;
    text += "]\r\n";
    std::vector<std::string> names;
    LONG rc = appendValues(key, text);
    text += "\r\n";
    if (rc == ERROR_SUCCESS) {
        rc = subkeyNames(key, names);
    }
    if (rc != ERROR_SUCCESS) {
        failedAt = fullName;
        return rc;
    }
    for (const std::string& name : names) {
        HKEY child = nullptr;
        rc = RegOpenKeyEx(key, name.c_str(), 0, KEY_READ, &child);
        if (rc == ERROR_SUCCESS) {
            rc = appendKey(child, joinKey(fullName, name), text, failedAt);
            RegCloseKey(child);
        } else {
            failedAt = joinKey(fullName, name);
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
    }
    return ERROR_SUCCESS;
}

// The key's full name with each part spelled as stored.
std::string storedName(HKEY root, const std::string& path)
{
    std::string out = rootFullName(root);
    HKEY current = root;
    std::string_view rest = path;
    std::string_view part;
    while (current != nullptr && detail::nextKeyPart(rest, part)) {
        std::vector<std::string> names;
        std::string spelled(part);
        if (subkeyNames(current, names) == ERROR_SUCCESS) {
            for (const std::string& name : names) {
                if (text::equalsNoCase(name, part)) {
                    spelled = name;
                }
            }
        }
        out = joinKey(out, spelled);
        HKEY next = nullptr;
        if (RegOpenKeyEx(current, spelled.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &next) !=
            ERROR_SUCCESS) {
            next = nullptr;
        }
        if (current != root) {
            RegCloseKey(current);
        }
        current = next;
    }
    if (current != nullptr && current != root) {
        RegCloseKey(current);
    }
    while (detail::nextKeyPart(rest, part)) {
        out = joinKey(out, part);
    }
    return out;
}

} // namespace

bool splitKeyName(std::string_view fullName, HKEY& root, std::string& subKey)
{
    fullName = text::trim(fullName);
    const std::size_t slash = fullName.find('\\');
    const std::string_view first = fullName.substr(0, slash);
    for (const RootName& name : kRoots) {
        if (text::equalsNoCase(first, name.full) || text::equalsNoCase(first, name.abbreviation)) {
            root = name.key;
            subKey = slash == std::string_view::npos ? std::string()
                                                     : std::string(fullName.substr(slash + 1));
            return true;
        }
    }
    return false;
}

Result<void> importText(std::string_view text)
{
    const std::string decoded = decodeText(text);
    Result<std::vector<Op>> ops = parse(decoded);
    if (!ops) {
        return ops.error();
    }
    return apply(*ops);
}

Result<void> importFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return makeError(ERROR_FILE_NOT_FOUND,
                         "cannot read " + file.string() + ": " + std::strerror(errno));
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        return makeError(ERROR_READ_FAULT, "cannot read " + file.string());
    }
    return importText(bytes.str());
}

Result<std::string> exportText(std::string_view fullKeyName)
{
    HKEY root = nullptr;
    std::string path;
    if (!splitKeyName(fullKeyName, root, path)) {
        return makeError(ERROR_BAD_FORMAT,
                         kUnknownRoot + std::string("\"") + std::string(fullKeyName) + "\"");
    }
    HKEY key = nullptr;
    const std::string name = storedName(root, path);
    LONG rc = RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) {
        return makeError(rc, "cannot open " + name + " (" + describeFailure(rc) + ")");
    }
    std::string text = std::string(kHeader) + "\r\n\r\n";
    std::string failedAt;
    rc = appendKey(key, name, text, failedAt);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        return makeError(rc, "cannot read " + failedAt + " (" + describeFailure(rc) + ")");
    }
    return text;
}

Result<void> exportFile(const std::filesystem::path& file, std::string_view fullKeyName)
{
    Result<std::string> text = exportText(fullKeyName);
    if (!text) {
        return text.error();
    }
    // Written beside the target and renamed over it: a reader never sees half a file.
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    temporary += std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << *text;
        out.flush();
        if (!out) {
            const std::string reason = std::strerror(errno);
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return makeError(ERROR_WRITE_FAULT, "cannot write " + file.string() + ": " + reason);
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, file, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return makeError(ERROR_WRITE_FAULT, "cannot write " + file.string() + ": " + ec.message());
    }
    return {};
}

} // namespace platform::regfile
