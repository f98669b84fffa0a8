// The registrar: a registration script is parsed into a tree first, then applied.

#include "PathResolver.h"

#include <platform/Registrar.h>
#include <platform/Registry.h>
#include <platform/Text.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace platform {
namespace {

thread_local std::string t_error;

struct ScriptValue {
    std::string name; // empty: the default value
    DWORD type = REG_SZ;
    std::string data; // bytes as stored
};

enum class KeyFlag { Normal, NoRemove, ForceRemove, Delete };

struct ScriptKey {
    std::string name;
    KeyFlag flag = KeyFlag::Normal;
    bool hasDefault = false;
    ScriptValue defaultValue;
    std::vector<ScriptValue> values;
    std::vector<ScriptKey> subkeys;
};

struct ScriptRoot {
    HKEY root;
    std::vector<ScriptKey> keys;
};

struct Token {
    std::string text;
    bool quoted = false;
};

class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string substitute(std::string_view script, const RegistrarReplacements& replacements)
{
    std::string out;
    std::size_t at = 0;
    while (at < script.size()) {
        const std::size_t percent = script.find('%', at);
        if (percent == std::string_view::npos) {
            out.append(script.substr(at));
            break;
        }
        out.append(script.substr(at, percent - at));
        const std::size_t end = script.find('%', percent + 1);
        if (end == std::string_view::npos) {
            throw ScriptError("unterminated replacement at offset " + std::to_string(percent));
        }
        const std::string_view name = script.substr(percent + 1, end - percent - 1);
        if (name.empty()) {
            out.push_back('%');
        } else {
            bool found = false;
            for (const auto& [key, value] : replacements) {
                if (text::equalsNoCase(key, name)) {
                    out += value;
                    found = true;
                    break;
                }
            }
            if (!found) {
                throw ScriptError("unknown replacement %" + std::string(name) + "%");
            }
        }
        at = end + 1;
    }
    return out;
}

std::vector<Token> tokenize(const std::string& text)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        Token token;
        if (text[i] == '\'') {
            token.quoted = true;
            ++i;
            for (;;) {
                if (i >= text.size()) {
                    throw ScriptError("unterminated quoted text");
                }
                if (text[i] == '\'') {
                    if (i + 1 < text.size() && text[i + 1] == '\'') {
                        token.text.push_back('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token.text.push_back(text[i++]);
            }
        } else {
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) {
                token.text.push_back(text[i++]);
            }
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

HKEY rootKey(const std::string& name)
{
    struct Root {
        const char* shortName;
        const char* longName;
        HKEY key;
    };
    const Root roots[] = {{"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                          {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                          {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                          {"HKU", "HKEY_USERS", HKEY_USERS}};
    for (const Root& r : roots) {
        if (text::equalsNoCase(name, r.shortName) || text::equalsNoCase(name, r.longName)) {
            return r.key;
        }
    }
    throw ScriptError("unknown root key \"" + name + "\"");
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    std::vector<ScriptRoot> script()
    {
        std::vector<ScriptRoot> roots;
        while (!atEnd()) {
            ScriptRoot root{rootKey(next().text), {}};
            expect("{");
            while (!isSymbol("}")) {
                root.keys.push_back(key());
            }
            expect("}");
            roots.push_back(std::move(root));
        }
        return roots;
    }

private:
    bool atEnd() const { return m_at >= m_tokens.size(); }
    const Token& peek() const
    {
        if (atEnd()) {
            throw ScriptError("unexpected end of script");
        }
        return m_tokens[m_at];
    }
    const Token& next()
    {
        const Token& t = peek();
        ++m_at;
        return t;
    }
    bool isSymbol(const char* symbol) const
    {
        const Token& t = peek();
        return !t.quoted && t.text == symbol;
    }
    bool isWord(const char* word) const
    {
        const Token& t = peek();
        return !t.quoted && text::equalsNoCase(t.text, word);
    }
    void expect(const char* symbol)
    {
        if (!isSymbol(symbol)) {
            throw ScriptError(std::string("expected \"") + symbol + "\" before \"" + peek().text +
                              "\"");
        }
        ++m_at;
    }

    ScriptValue value(std::string name)
    {
        expect("=");
        const Token type = next();
        const Token data = next();
        ScriptValue v;
        v.name = std::move(name);
        if (type.quoted || type.text.size() != 1) {
            throw ScriptError("unknown value type \"" + type.text + "\"");
        }
        switch (text::lowerChar(type.text[0])) {
        case 's':
        case 'e':
            v.type = type.text[0] == 's' || type.text[0] == 'S' ? REG_SZ : REG_EXPAND_SZ;
            v.data = data.text + '\0';
            break;
        case 'd': {
            char* end = nullptr;
            const unsigned long long n = std::strtoull(data.text.c_str(), &end, 0);
            if (data.text.empty() || *end != '\0' || n > 0xFFFFFFFFull) {
                throw ScriptError("bad number \"" + data.text + "\"");
            }
            const DWORD d = static_cast<DWORD>(n);
            v.type = REG_DWORD;
            v.data.assign(reinterpret_cast<const char*>(&d), sizeof d);
            break;
        }
        case 'b':
            v.type = REG_BINARY;
            if (data.text.size() % 2 != 0) {
                throw ScriptError("bad binary data \"" + data.text + "\"");
            }
            for (std::size_t i = 0; i < data.text.size(); i += 2) {
                const std::string pair = data.text.substr(i, 2);
                if (!std::isxdigit(static_cast<unsigned char>(pair[0])) ||
                    !std::isxdigit(static_cast<unsigned char>(pair[1]))) {
                    throw ScriptError("bad binary data \"" + data.text + "\"");
                }
                v.data.push_back(static_cast<char>(std::strtoul(pair.c_str(), nullptr, 16)));
            }
            break;
        default:
            throw ScriptError("unknown value type \"" + type.text + "\"");
        }
        return v;
    }

    ScriptKey key()
    {
        ScriptKey k;
        if (isWord("NoRemove")) {
            k.flag = KeyFlag::NoRemove;
            ++m_at;
        } else if (isWord("ForceRemove")) {
            k.flag = KeyFlag::ForceRemove;
            ++m_at;
        } else if (isWord("Delete")) {
            k.flag = KeyFlag::Delete;
            ++m_at;
        }
        const Token name = next();
        if (!name.quoted && (name.text == "{" || name.text == "}" || name.text == "=")) {
            throw ScriptError("expected a key name before \"" + name.text + "\"");
        }
        k.name = name.text;
        if (k.name.empty() || k.name.find('\\') != std::string::npos) {
            throw ScriptError("bad key name \"" + k.name + "\"");
        }
        if (!atEnd() && isSymbol("=")) {
            k.hasDefault = true;
            k.defaultValue = value("");
        }
        if (!atEnd() && isSymbol("{")) {
            ++m_at;
            while (!isSymbol("}")) {
                if (isWord("val")) {
                    ++m_at;
                    std::string valueName = next().text;
                    k.values.push_back(value(std::move(valueName)));
                } else {
                    k.subkeys.push_back(key());
                }
            }
            expect("}");
        }
        return k;
    }

    std::vector<Token> m_tokens;
    std::size_t m_at = 0;
};

LONG setValue(HKEY key, const ScriptValue& v)
{
    return RegSetValueEx(key, v.name.empty() ? nullptr : v.name.c_str(), 0, v.type,
                         reinterpret_cast<const BYTE*>(v.data.data()),
                         static_cast<DWORD>(v.data.size()));
}

LONG registerKey(HKEY parent, const ScriptKey& k)
{
    if (k.flag == KeyFlag::Delete) {
        const DWORD rc = SHDeleteKey(parent, k.name.c_str());
        return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : static_cast<LONG>(rc);
    }
    if (k.flag == KeyFlag::ForceRemove) {
        const DWORD rc = SHDeleteKey(parent, k.name.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
            return static_cast<LONG>(rc);
        }
    }
    HKEY key = nullptr;
    LONG rc = RegCreateKeyEx(parent, k.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    if (k.hasDefault) {
        rc = setValue(key, k.defaultValue);
    }
    for (const ScriptValue& v : k.values) {
        if (rc == ERROR_SUCCESS) {
            rc = setValue(key, v);
        }
    }
    for (const ScriptKey& sub : k.subkeys) {
        if (rc == ERROR_SUCCESS) {
            rc = registerKey(key, sub);
        }
    }
    RegCloseKey(key);
    return rc;
}

bool hasSubkeys(HKEY key)
{
    char name[256];
    return RegEnumKey(key, 0, name, sizeof name) == ERROR_SUCCESS;
}

LONG unregisterKey(HKEY parent, const ScriptKey& k)
{
    if (k.flag == KeyFlag::Delete) {
        return ERROR_SUCCESS;
    }
    if (k.flag == KeyFlag::ForceRemove) {
        const DWORD rc = SHDeleteKey(parent, k.name.c_str());
        return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : static_cast<LONG>(rc);
    }
    HKEY key = nullptr;
    LONG rc = RegOpenKeyEx(parent, k.name.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_FILE_NOT_FOUND) {
        return ERROR_SUCCESS;
    }
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    for (const ScriptKey& sub : k.subkeys) {
        const LONG subRc = unregisterKey(key, sub);
        rc = rc == ERROR_SUCCESS ? subRc : rc;
    }
    for (const ScriptValue& v : k.values) {
        const LONG valueRc = RegDeleteValue(key, v.name.c_str());
        if (valueRc != ERROR_SUCCESS && valueRc != ERROR_FILE_NOT_FOUND && rc == ERROR_SUCCESS) {
            rc = valueRc;
        }
    }
    const bool keep = k.flag == KeyFlag::NoRemove || hasSubkeys(key);
    RegCloseKey(key);
    if (!keep && rc == ERROR_SUCCESS) {
        rc = RegDeleteKey(parent, k.name.c_str());
        rc = rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
    }
    return rc;
}

LONG apply(const std::vector<ScriptRoot>& roots, bool doRegister)
{
    LONG result = ERROR_SUCCESS;
    for (const ScriptRoot& root : roots) {
        for (const ScriptKey& k : root.keys) {
            const LONG rc = doRegister ? registerKey(root.root, k) : unregisterKey(root.root, k);
            if (rc != ERROR_SUCCESS) {
                if (doRegister) {
                    return rc;
                }
                result = result == ERROR_SUCCESS ? rc : result;
            }
        }
    }
    return result;
}

} // namespace

HRESULT updateRegistryFromScript(std::string_view script, const RegistrarReplacements& replacements,
                                 bool doRegister) noexcept
{
    t_error.clear();
    try {
        const std::vector<ScriptRoot> roots =
            Parser(tokenize(substitute(script, replacements))).script();
        const LONG rc = apply(roots, doRegister);
        if (rc == ERROR_SUCCESS) {
            return S_OK;
        }
        t_error = "registry error " + std::to_string(rc);
        if (doRegister) {
            // Nothing half done: take back what was written.
            (void)apply(roots, false);
        }
        return HRESULT_FROM_WIN32(rc);
    } catch (const ScriptError& e) {
        t_error = e.what();
        return E_INVALIDARG;
    } catch (...) {
        t_error = "out of memory";
        return E_OUTOFMEMORY;
    }
}

std::string registrarError()
{
    return t_error;
}

} // namespace platform
