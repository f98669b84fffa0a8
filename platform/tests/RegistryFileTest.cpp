// Registry-editor files: export format, export/import round trip, REGEDIT4 input,
// deletion lines and all-or-nothing imports.

#include "TestSupport.h"

#include <platform/RegFile.h>
#include <platform/Registry.h>

#include <cstring>
#include <string>

namespace {

using platform::regfile::exportText;
using platform::regfile::importText;

class RegistryFileTest : public testsupport::PrefixTest {
protected:
    static HKEY create(const char* path)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                 &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    static void set(HKEY key, const char* name, DWORD type, const std::string& bytes)
    {
        ASSERT_EQ(RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                DWORD(bytes.size())),
                  ERROR_SUCCESS);
    }
    static std::string get(const char* path, const char* name, DWORD* type = nullptr)
    {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return "<no key>";
        }
        DWORD size = 0;
        std::string bytes;
        if (RegQueryValueEx(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS) {
            bytes.resize(size);
            RegQueryValueEx(key, name, nullptr, type, reinterpret_cast<BYTE*>(bytes.data()), &size);
        } else {
            bytes = "<no value>";
        }
        RegCloseKey(key);
        return bytes;
    }
    static std::string dword(DWORD value)
    {
        return std::string(reinterpret_cast<char*>(&value), 4);
    }
};

TEST_F(RegistryFileTest, ExportWritesTheEditorFormatWithCrLf)
{
    HKEY key = create("Software\\Fmt");
    set(key, nullptr, REG_SZ, std::string("", 1));
    set(key, "Path", REG_SZ, std::string("C:\\dir\\\"q\"", 11));
    set(key, "Port", REG_DWORD, dword(8080));
    set(key, "Bin", REG_BINARY, "\x01\x02");
    set(key, "Exp", REG_EXPAND_SZ, std::string("%\0", 2));
    RegCloseKey(key);
    RegCloseKey(create("Software\\Fmt\\Sub"));

    auto text = exportText("hkey_current_user\\software\\FMT");
    ASSERT_TRUE(text) << text.error().message;
    EXPECT_EQ(*text, "Windows Registry Editor Version 5.00\r\n"
                     "\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Fmt]\r\n"
                     "@=\"\"\r\n"
                     "\"Path\"=\"C:\\\\dir\\\\\\\"q\\\"\"\r\n"
                     "\"Port\"=dword:00001f90\r\n"
                     "\"Bin\"=hex:01,02\r\n"
                     "\"Exp\"=hex(2):25,00\r\n"
                     "\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Fmt\\Sub]\r\n"
                     "\r\n");
    auto missing = exportText("HKEY_CURRENT_USER\\Software\\Nothing");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(exportText("HKEY_NOWHERE\\Software"));
}

TEST_F(RegistryFileTest, ExportAndImportRoundTripByteForByte)
{
    HKEY key = create("Software\\Round Trip");
    set(key, nullptr, REG_SZ, std::string("", 1));
    set(key, "Quotes \"and\" \\slashes\\", REG_SZ, std::string("say \"hi\" C:\\x\\\0", 15));
    set(key, "Binary", REG_BINARY, std::string("\x00\xff\x10\x00", 4));
    set(key, "Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 16));
    set(key, "Multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9));
    set(key, "Number", REG_DWORD, dword(0xDEADBEEF));
    set(key, "NoZero", REG_SZ, "abc");
    set(key, "Lines", REG_SZ, std::string("a\r\nb\0", 5));
    set(key, "Inner", REG_SZ, std::string("a\0b\0", 4));
    set(key, "Nothing", REG_NONE, "");
    set(key, "Quad", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    std::string large;
    for (int i = 0; i < 300; ++i) {
        large += static_cast<char>(i * 7);
    }
    set(key, "Large", REG_BINARY, large);
    RegCloseKey(key);
    for (const char* sub : {"Software\\Round Trip\\zeta", "Software\\Round Trip\\Alpha\\Deep",
                            "Software\\Round Trip\\mid"}) {
        HKEY child = create(sub);
        set(child, "v", REG_SZ, std::string(sub) + '\0');
        RegCloseKey(child);
    }

    auto first = exportText("HKEY_CURRENT_USER\\Software\\Round Trip");
    ASSERT_TRUE(first) << first.error().message;
    for (std::size_t at = first->find('\n'); at != std::string::npos;
         at = first->find('\n', at + 1)) {
        ASSERT_EQ((*first)[at - 1], '\r') << "bare LF at " << at;
    }
    ASSERT_EQ(SHDeleteKey(HKEY_CURRENT_USER, "Software\\Round Trip"), DWORD(ERROR_SUCCESS));
    auto imported = importText(*first);
    ASSERT_TRUE(imported) << imported.error().message;
    auto second = exportText("HKEY_CURRENT_USER\\Software\\Round Trip");
    ASSERT_TRUE(second);
    EXPECT_EQ(*first, *second);

    DWORD type = 0;
    EXPECT_EQ(get("Software\\Round Trip", "Large", &type), large);
    EXPECT_EQ(get("Software\\Round Trip", "NoZero", &type), "abc");
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(get("Software\\Round Trip", "Lines"), std::string("a\r\nb\0", 5));
    EXPECT_EQ(get("Software\\Round Trip", "Multi", &type), std::string("one\0two\0\0", 9));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(get("Software\\Round Trip", "Quad", &type).size(), 8u);
    EXPECT_EQ(type, REG_QWORD);
    EXPECT_EQ(get("Software\\Round Trip", ""), std::string("", 1));
}

TEST_F(RegistryFileTest, Regedit4FilesWithCommentsAndContinuationsImport)
{
    const std::string file = "REGEDIT4\n"
                             "\n"
                             "; written by hand\n"
                             "[HKEY_CURRENT_USER\\Software\\Yahoo\\Pager]\n"
                             "\"Proxy Enabled\"=dword:00000001\n"
                             "\"HTTP Proxy\"=\"127.0.0.1\"\n"
                             "\"Proxy Port\"=dword:1f90\n"
                             "  @ = \"default\"  \n"
                             "\"List\"=hex(7):61,00,\\\n"
                             "    62,00,00\n"
                             "\"Empty\"=hex:\n"
                             "\n"
                             "[HKCU\\Software\\Yahoo\\Pager\\Sub]\n"
                             "\"Raw\"=hex(0):ff\n";
    auto done = importText(file);
    ASSERT_TRUE(done) << done.error().message;
    DWORD type = 0;
    EXPECT_EQ(get("Software\\Yahoo\\Pager", "Proxy Enabled", &type), dword(1));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(get("Software\\Yahoo\\Pager", "HTTP Proxy"), std::string("127.0.0.1", 10));
    EXPECT_EQ(get("Software\\Yahoo\\Pager", "proxy port"), dword(8080));
    EXPECT_EQ(get("Software\\Yahoo\\Pager", nullptr), std::string("default", 8));
    EXPECT_EQ(get("Software\\Yahoo\\Pager", "List", &type), std::string("a\0b\0\0", 5));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(get("Software\\Yahoo\\Pager", "Empty", &type), "");
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(get("Software\\Yahoo\\Pager\\Sub", "Raw", &type), "\xff");
    EXPECT_EQ(type, REG_NONE);

    // Windows' own exports are UTF-16 with a byte-order mark.
    const std::string narrow = "Windows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Software\\Wide]\r\n\"A\"=\"b\"\r\n";
    std::string wide = "\xff\xfe";
    for (char c : narrow) {
        wide += c;
        wide += '\0';
    }
    ASSERT_TRUE(importText(wide));
    EXPECT_EQ(get("Software\\Wide", "A"), std::string("b", 2));
}

TEST_F(RegistryFileTest, DeletionLinesRemoveKeysAndValues)
{
    HKEY key = create("Software\\Del\\Gone\\Below");
    RegCloseKey(key);
    key = create("Software\\Del");
    set(key, "old", REG_SZ, std::string("x", 2));
    set(key, "kept", REG_SZ, std::string("y", 2));
    RegCloseKey(key);
    auto done = importText("Windows Registry Editor Version 5.00\r\n\r\n"
                           "[-HKEY_CURRENT_USER\\Software\\Del\\Gone]\r\n"
                           "[-HKEY_CURRENT_USER\\Software\\Del\\NeverWas]\r\n"
                           "[HKEY_CURRENT_USER\\Software\\Del]\r\n"
                           "\"OLD\"=-\r\n"
                           "\"missing\"=-\r\n");
    ASSERT_TRUE(done) << done.error().message;
    EXPECT_EQ(get("Software\\Del\\Gone", "x"), "<no key>");
    EXPECT_EQ(get("Software\\Del", "old"), "<no value>");
    EXPECT_EQ(get("Software\\Del", "kept"), std::string("y", 2));

    // A key deleted and written again in one file ends up new and complete.
    done = importText("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Del]\n\"a\"=\"1\"\n"
                      "[-HKEY_CURRENT_USER\\Software\\Del]\n"
                      "[HKEY_CURRENT_USER\\Software\\Del]\n\"b\"=\"2\"\n");
    ASSERT_TRUE(done) << done.error().message;
    EXPECT_EQ(get("Software\\Del", "kept"), "<no value>");
    EXPECT_EQ(get("Software\\Del", "a"), "<no value>");
    EXPECT_EQ(get("Software\\Del", "b"), std::string("2", 2));
}

TEST_F(RegistryFileTest, AFaultyFileNamesItsLineAndChangesNothing)
{
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"[HKEY_CURRENT_USER\\Software\\X]\n", "line 1: not a registry file"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=\"1\"\n\"b\"=dword:123456789\n",
         "line 4: malformed value data"},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=hex:1,zz\n",
         "line 4: malformed value data"},
        {"REGEDIT4\n[HKEY_NOWHERE\\X]\n", "line 2: unknown root key in \"HKEY_NOWHERE\\X\""},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\Software\\X\n", "line 2: a key line must end with \"]\""},
        {"REGEDIT4\n\"a\"=\"1\"\n", "line 2: a value line outside of a key"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\Software\\X]\nnonsense\n", "line 3: unrecognised line"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=\"open\n", "line 3: malformed value"},
    };
    for (const Case& c : cases) {
        auto result = importText(c.text);
        ASSERT_FALSE(result) << c.text;
        EXPECT_EQ(result.error().message.rfind(c.error, 0), 0u) << result.error().message;
        EXPECT_EQ(get("Software\\X", "a"), "<no key>") << c.text;
    }

    // Refused in the middle of applying: everything before is undone too.
    RegCloseKey(create("Software\\Locked"));
    HKEY locked = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Locked", 0, WRITE_DAC, &locked),
              ERROR_SUCCESS);
    alignas(4) BYTE aclBytes[8];
    ASSERT_TRUE(InitializeAcl(reinterpret_cast<PACL>(aclBytes), sizeof aclBytes, ACL_REVISION));
    SECURITY_DESCRIPTOR sd{};
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(aclBytes), FALSE);
    ASSERT_EQ(RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
    RegCloseKey(locked);
    auto refused = importText("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=\"1\"\n"
                              "[HKEY_CURRENT_USER\\Software\\Locked]\n\"b\"=\"2\"\n");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message.rfind("line 4: cannot write "
                                            "HKEY_CURRENT_USER\\Software\\Locked (error 5",
                                            0),
              0u)
        << refused.error().message;
    EXPECT_EQ(get("Software\\X", "a"), "<no key>");
}

// Damaged files of every shape are refused or applied, never crash the importer.
TEST_F(RegistryFileTest, MangledFilesAreHandledSafely)
{
    const std::string valid = "Windows Registry Editor Version 5.00\r\n\r\n"
                              "[HKEY_CURRENT_USER\\Software\\Fuzz]\r\n"
                              "@=\"d\"\r\n\"s\"=\"a\\\\b\\\"c\"\r\n\"n\"=dword:0000001f\r\n"
                              "\"h\"=hex(7):61,00,\\\r\n  00\r\n\"x\"=-\r\n"
                              "[-HKEY_CURRENT_USER\\Software\\Fuzz\\Old]\r\n";
    ASSERT_TRUE(importText(valid));
    const char alphabet[] = "[]\"\\@=-:,;()\r\n hexdword0123456789abcdefHKEY_\xff\x00";
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    int applied = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string text = valid;
        for (int edits = 1 + int(next() % 4); edits > 0; --edits) {
            const std::size_t at = next() % (text.size() + 1);
            const char c = alphabet[next() % (sizeof alphabet - 1)];
            switch (next() % 3) {
            case 0:
                text.insert(at, 1, c);
                break;
            case 1:
                if (at < text.size()) {
                    text.erase(at, 1 + next() % 8);
                }
                break;
            default:
                if (at < text.size()) {
                    text[at] = c;
                }
            }
        }
        auto result = importText(text);
        if (result) {
            ++applied;
        } else {
            EXPECT_EQ(result.error().message.rfind("line ", 0), 0u) << result.error().message;
        }
    }
    EXPECT_GT(applied, 0);
    EXPECT_LT(applied, 1500);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
