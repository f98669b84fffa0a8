// Behaviour of the registry's Win32 functions in one process: names, values, enumeration,
// key creation and deletion, handles, the classes view and threads.

#include "TestSupport.h"

#include <platform/Registry.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

class RegistryTest : public testsupport::PrefixTest {
protected:
    HKEY create(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyEx(root, path, 0, nullptr, 0, access, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    static void setString(HKEY key, const char* name, const std::string& text)
    {
        ASSERT_EQ(RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                DWORD(text.size() + 1)),
                  ERROR_SUCCESS);
    }
    static void setDword(HKEY key, const char* name, DWORD value)
    {
        ASSERT_EQ(RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4),
                  ERROR_SUCCESS);
    }
    static std::string valueBytes(HKEY key, const char* name, DWORD* type = nullptr)
    {
        DWORD size = 0;
        if (RegQueryValueEx(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) {
            return "<missing>";
        }
        std::string bytes(size, '\0');
        EXPECT_EQ(
            RegQueryValueEx(key, name, nullptr, type, reinterpret_cast<BYTE*>(bytes.data()), &size),
            ERROR_SUCCESS);
        return bytes;
    }
};

TEST_F(RegistryTest, KeyAndValueNamesKeepCaseAndMatchWithoutIt)
{
    HKEY key = create(HKEY_LOCAL_MACHINE, "Software\\Kestrani\\Hollowmere");
    setString(key, "PathName", "C:\\x\\Chain.dll");
    RegCloseKey(key);

    HKEY upper = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\KESTRANI\\hollowmere", 0, KEY_ALL_ACCESS,
                           &upper),
              ERROR_SUCCESS);
    EXPECT_EQ(valueBytes(upper, "PATHNAME"), std::string("C:\\x\\Chain.dll", 15));
    setString(upper, "pathname", "second");

    char name[32];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumValue(upper, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "PathName"); // the first spelling stays
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(RegEnumValue(upper, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(valueBytes(upper, "PathName"), std::string("second", 7));

    length = sizeof name;
    ASSERT_EQ(
        RegEnumKeyEx(HKEY_LOCAL_MACHINE, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
        ERROR_SUCCESS);
    EXPECT_STREQ(name, "Software");
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, "software", &software), ERROR_SUCCESS);
    length = sizeof name;
    // Classes comes first: it was there before Kestrani.
    ASSERT_EQ(RegEnumKeyEx(software, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "Kestrani");
    RegCloseKey(software);
    RegCloseKey(upper);
}

TEST_F(RegistryTest, ValuesKeepTheirBytesAndType)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Test");
    const std::string binary("\x00\x01\xff\x00zz", 6);
    ASSERT_EQ(RegSetValueEx(key, "Blob", 0, REG_BINARY,
                            reinterpret_cast<const BYTE*>(binary.data()), DWORD(binary.size())),
              ERROR_SUCCESS);
    // A string written without its terminating zero stays without it.
    ASSERT_EQ(RegSetValueEx(key, "NoZero", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "Empty", 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);
    setDword(key, "Port", 8080);

    DWORD type = 0;
    EXPECT_EQ(valueBytes(key, "Blob", &type), binary);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(valueBytes(key, "NoZero", &type), "abc");
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(valueBytes(key, "", &type), std::string(1, '\0'));
    EXPECT_EQ(valueBytes(key, nullptr), std::string(1, '\0'));
    EXPECT_EQ(valueBytes(key, "Empty", &type), "");
    EXPECT_EQ(type, REG_NONE);

    DWORD port = 0;
    DWORD size = sizeof port;
    ASSERT_EQ(RegQueryValueEx(key, "port", nullptr, &type, reinterpret_cast<BYTE*>(&port), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(port, 8080u);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, REG_DWORD);
    RegCloseKey(key);
}

TEST_F(RegistryTest, QueryValueReportsSizesAndMissingValues)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Test");
    setString(key, "Text", "0123456789");
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueEx(key, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(type, REG_SZ);

    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueEx(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 11u);

    size = 4;
    EXPECT_EQ(
        RegQueryValueEx(key, "Missing", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(
        RegQueryValueEx(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(small), nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteValue(key, "TEXT"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key, "Text"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueEx(key, "Text", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationFollowsCreationOrderWithWin32Codes)
{
    HKEY key = create(HKEY_LOCAL_MACHINE, "Software\\Order");
    for (const char* name : {"zeta", "Alpha", "mid"}) {
        HKEY sub = create(key, name);
        RegCloseKey(sub);
        setString(key, name, std::string(name) + "-data");
    }
    setString(key, "Alpha", "rewritten keeps its place");

    std::vector<std::string> keys;
    std::vector<std::string> values;
    char name[64];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        const LONG rc = RegEnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        ASSERT_EQ(rc, ERROR_SUCCESS);
        EXPECT_EQ(length, std::strlen(name));
        keys.emplace_back(name);
    }
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        const LONG rc = RegEnumValue(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == 259) {
            break;
        }
        ASSERT_EQ(rc, ERROR_SUCCESS);
        values.emplace_back(name);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"zeta", "Alpha", "mid"}));
    EXPECT_EQ(values, (std::vector<std::string>{"zeta", "Alpha", "mid"}));

    // A name buffer without room for the zero is too short.
    DWORD length = 4;
    EXPECT_EQ(RegEnumKeyEx(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    length = 4;
    EXPECT_EQ(RegEnumValue(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    length = 5;
    EXPECT_EQ(RegEnumValue(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegEnumKey(key, 1, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Alpha");

    // A short data buffer: ERROR_MORE_DATA with the size needed.
    BYTE data[4];
    DWORD size = sizeof data;
    DWORD type = 0;
    length = sizeof name;
    EXPECT_EQ(RegEnumValue(key, 2, name, &length, nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 9u);
    size = 0;
    length = sizeof name;
    EXPECT_EQ(RegEnumValue(key, 2, name, &length, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(type, REG_SZ);

    DWORD subKeys = 0, maxSub = 0, count = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &count,
                              &maxName, &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 3u);
    EXPECT_EQ(maxSub, 5u);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(maxName, 5u);
    EXPECT_EQ(maxData, std::strlen("rewritten keeps its place") + 1);
    RegCloseKey(key);
}

TEST_F(RegistryTest, CreateMakesIntermediateKeysAndReportsDisposition)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "software\\a\\b\\c\\", 0, nullptr, 0,
                             KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\A\\B", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\A\\Missing", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\A", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, DeletionOfKeysSubtreesAndValues)
{
    HKEY key = create(HKEY_LOCAL_MACHINE, "Software\\Tree\\Branch\\Leaf");
    setString(key, "v", "x");
    RegCloseKey(key);
    HKEY branch = create(HKEY_LOCAL_MACHINE, "Software\\Tree\\Branch");
    setString(branch, "w", "y");

    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "Software\\Tree"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "Software\\Tree\\Nothing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SHDeleteValue(HKEY_LOCAL_MACHINE, "Software\\Tree\\Branch\\Leaf", "V"),
              DWORD(ERROR_SUCCESS));
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "Software\\Tree\\Branch\\LEAF"), ERROR_SUCCESS);

    RegCloseKey(create(HKEY_LOCAL_MACHINE, "Software\\Tree\\Branch\\Again\\Deeper"));
    EXPECT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, "Software\\Tree"), DWORD(ERROR_SUCCESS));
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Tree", 0, KEY_READ, &gone),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, "Software\\Tree"), DWORD(ERROR_FILE_NOT_FOUND));

    // The handle still open on a deleted key reports it; it can still be closed.
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(branch, "w", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueEx(branch, "w", 0, REG_SZ, reinterpret_cast<const BYTE*>("z"), 2),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegOpenKeyEx(branch, "", 0, KEY_READ, &gone), ERROR_KEY_DELETED);
    // A new key of the same name is another key: the old handle stays dead.
    RegCloseKey(create(HKEY_LOCAL_MACHINE, "Software\\Tree\\Branch"));
    EXPECT_EQ(RegQueryValueEx(branch, "w", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(branch), ERROR_SUCCESS);
    EXPECT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, ""), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(RegistryTest, HandleAccessLimitsWhatItCanDo)
{
    RegCloseKey(create(HKEY_LOCAL_MACHINE, "Software\\Limited"));
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Limited", 0, KEY_READ, &reader),
              ERROR_SUCCESS);
    DWORD one = 1;
    EXPECT_EQ(RegSetValueEx(reader, "x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValue(reader, "x"), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyEx(reader, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_ACCESS_DENIED);
    RegCloseKey(reader);

    HKEY writer = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Limited", 0, KEY_SET_VALUE, &writer),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(writer, "x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
              ERROR_SUCCESS);
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueEx(writer, "x", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    RegCloseKey(writer);
}

TEST_F(RegistryTest, HandlesAreCheckedAndRootsNeedNoClosing)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Handles");
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(key, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    HKEY out = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "\\Software", 0, KEY_READ, &out), 161);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, ClassesRootIsAViewOfMachineClasses)
{
    HKEY clsid = create(HKEY_CLASSES_ROOT, "CLSID\\{675DCB32-8482-452F-8BDD-5E98C19ED609}");
    setString(clsid, nullptr, "Configuration Class");
    RegCloseKey(clsid);
    HKEY machine = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE,
                           "SOFTWARE\\Classes\\CLSID\\{675dcb32-8482-452f-8bdd-5e98c19ed609}", 0,
                           KEY_READ, &machine),
              ERROR_SUCCESS);
    EXPECT_EQ(valueBytes(machine, ""), std::string("Configuration Class", 20));
    RegCloseKey(machine);

    // Removing the machine's Classes key empties the view; writing brings it back.
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, "Software\\Classes"), DWORD(ERROR_SUCCESS));
    HKEY out = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &out), ERROR_FILE_NOT_FOUND);
    setString(HKEY_CLASSES_ROOT, "Direct", "on the root");
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Classes", 0, KEY_READ, &machine),
              ERROR_SUCCESS);
    EXPECT_EQ(valueBytes(machine, "direct"), std::string("on the root", 12));
    RegCloseKey(machine);
}

TEST_F(RegistryTest, ThreadsWritingAndReadingLoseNothing)
{
    constexpr int threads = 4;
    constexpr int perThread = 50;
    HKEY key = create(HKEY_LOCAL_MACHINE, "Software\\Threads");
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                const std::string name = std::to_string(t) + "_t_" + std::to_string(i);
                DWORD value = DWORD(t * 1000 + i);
                HKEY own = nullptr;
                if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Threads", 0, KEY_ALL_ACCESS,
                                 &own) != ERROR_SUCCESS ||
                    RegSetValueEx(own, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value),
                                  4) != ERROR_SUCCESS) {
                    ++failures;
                }
                DWORD back = 0;
                DWORD size = 4;
                if (RegQueryValueEx(own, name.c_str(), nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(&back), &size) != ERROR_SUCCESS ||
                    back != value) {
                    ++failures;
                }
                RegCloseKey(own);
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(failures.load(), 0);
    DWORD count = 0;
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                              nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(count, DWORD(threads * perThread));
    RegCloseKey(key);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
