// The store across processes: concurrent writers, visibility of another process's
// commit at the next read, and a damaged database that is reported and left alone.
// The test program re-runs itself as the other process ("--registry-child ...").

#include "TestSupport.h"

#include <platform/Environment.h>
#include <platform/Registry.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kSharedKey = "Software\\Kestrani\\Hollowmere\\Shared";

DWORD readDword(HKEY root, const char* path, const char* name, LONG* rc = nullptr)
{
    HKEY key = nullptr;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG result = RegOpenKeyEx(root, path, 0, KEY_READ, &key);
    if (result == ERROR_SUCCESS) {
        result =
            RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
    }
    if (rc != nullptr) {
        *rc = result;
    }
    return value;
}

LONG writeDword(const char* path, const char* name, DWORD value)
{
    HKEY key = nullptr;
    LONG rc =
        RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
        RegCloseKey(key);
    }
    return rc;
}

// Child modes: "write TAG COUNT" writes TAG_0 ... values into the shared key;
// "set NAME VALUE" writes one; "delete" removes the shared key.
int childMain(int argc, char** argv)
{
    const std::string mode = argc > 2 ? argv[2] : "";
    if (mode == "write" && argc == 5) {
        const int count = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i) {
            const std::string name = std::string(argv[3]) + "_" + std::to_string(i);
            if (writeDword(kSharedKey, name.c_str(), DWORD(i)) != ERROR_SUCCESS) {
                return 1;
            }
        }
        return 0;
    }
    if (mode == "set" && argc == 5) {
        return writeDword(kSharedKey, argv[3], DWORD(std::atoi(argv[4]))) == ERROR_SUCCESS ? 0 : 1;
    }
    if (mode == "delete") {
        return SHDeleteKey(HKEY_LOCAL_MACHINE, kSharedKey) == ERROR_SUCCESS ? 0 : 1;
    }
    return 2;
}

testsupport::ProcessResult runChild(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{testsupport::selfPath().string(), "--registry-child"};
    argv.insert(argv.end(), args.begin(), args.end());
    return testsupport::runProcess(argv);
}

class RegistryStoreTest : public testsupport::PrefixTest {};

TEST_F(RegistryStoreTest, TwoProcessesWritingTheSameKeyLoseNothing)
{
    constexpr int count = 150;
    std::vector<std::string> first{"--registry-child", "write", "first", std::to_string(count)};
    std::vector<std::string> second{"--registry-child", "write", "second", std::to_string(count)};
    first.insert(first.begin(), testsupport::selfPath().string());
    second.insert(second.begin(), testsupport::selfPath().string());
    testsupport::ChildProcess a(first);
    testsupport::ChildProcess b(second);
    // This process writes too, at the same time.
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(writeDword(kSharedKey, ("parent_" + std::to_string(i)).c_str(), DWORD(i)),
                  ERROR_SUCCESS);
    }
    auto resultA = a.wait(std::chrono::seconds(60));
    auto resultB = b.wait(std::chrono::seconds(60));
    ASSERT_TRUE(resultA && resultB);
    EXPECT_EQ(resultA->exitCode, 0) << resultA->err;
    EXPECT_EQ(resultB->exitCode, 0) << resultB->err;

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                              nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, DWORD(3 * count));
    RegCloseKey(key);
    for (const char* tag : {"first", "second", "parent"}) {
        const std::string last = std::string(tag) + "_" + std::to_string(count - 1);
        EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, last.c_str()), DWORD(count - 1));
    }
}

TEST_F(RegistryStoreTest, AnotherProcessesCommitIsSeenAtTheNextRead)
{
    ASSERT_EQ(writeDword(kSharedKey, "ACTIVE", 1), ERROR_SUCCESS);
    HKEY held = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_READ, &held), ERROR_SUCCESS);
    // Read twice so that the value is served from the cache.
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, "ACTIVE"), 1u);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, "active"), 1u);
    const std::uint64_t before = platform::registry::changeCounter();

    auto set = runChild({"set", "ACTIVE", "0"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_GT(platform::registry::changeCounter(), before);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, "ACTIVE"), 0u);

    auto added = runChild({"set", "PROXYPORT", "8081"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    DWORD port = 0;
    DWORD size = sizeof port;
    EXPECT_EQ(
        RegQueryValueEx(held, "PROXYPORT", nullptr, nullptr, reinterpret_cast<BYTE*>(&port), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(port, 8081u);

    auto removed = runChild({"delete"});
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(RegQueryValueEx(held, "PROXYPORT", nullptr, nullptr, nullptr, &size),
              ERROR_KEY_DELETED);
    LONG rc = ERROR_SUCCESS;
    readDword(HKEY_LOCAL_MACHINE, kSharedKey, "ACTIVE", &rc);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
    RegCloseKey(held);
}

// What callers keep values derived from the registry by: it stands still while only
// reads happen and moves with every commit, here or in another process, and with every
// opening of the store.
TEST_F(RegistryStoreTest, ChangeStampMovesWithEveryCommitAndEveryPrefix)
{
    ASSERT_EQ(writeDword(kSharedKey, "ACTIVE", 1), ERROR_SUCCESS);
    const auto first = platform::registry::changeStamp();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, "ACTIVE"), 1u);
    EXPECT_EQ(platform::registry::changeStamp(), first);

    ASSERT_EQ(writeDword(kSharedKey, "ACTIVE", 2), ERROR_SUCCESS);
    const auto written = platform::registry::changeStamp();
    EXPECT_NE(written, first);
    auto set = runChild({"set", "ACTIVE", "0"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    const auto childWrote = platform::registry::changeStamp();
    EXPECT_NE(childWrote, written);

    testsupport::TempDir other;
    platform::setPrefix(other.path());
    const auto elsewhere = platform::registry::changeStamp();
    ASSERT_TRUE(elsewhere.has_value());
    EXPECT_NE(elsewhere->store, childWrote->store);
    platform::setPrefix(m_prefix.path());
    EXPECT_NE(platform::registry::changeStamp(), childWrote); // the same prefix, reopened
}

TEST_F(RegistryStoreTest, DatabaseThatIsNotOneIsReportedAndLeftAlone)
{
    const auto db = m_prefix.path() / "registry.db";
    const std::string junk(8192, 'J');
    testsupport::writeFile(db, junk);
    platform::setPrefix(m_prefix.path()); // the store opens afresh

    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key), ERROR_BADDB);
    const std::string error = platform::registry::storeError();
    EXPECT_NE(error.find(db.string()), std::string::npos) << error;
    EXPECT_NE(error.find("not a database"), std::string::npos) << error;
    EXPECT_EQ(testsupport::readFile(db), junk);

    // Once the user moved it away, the next call starts a fresh registry.
    std::filesystem::rename(db, m_prefix.path() / "registry.db.damaged");
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(platform::registry::storeError(), "");
    EXPECT_EQ(testsupport::readFile(m_prefix.path() / "registry.db.damaged"), junk);
}

TEST_F(RegistryStoreTest, ADatabaseBehindASymbolicLinkIsNotFollowed)
{
    testsupport::TempDir outside;
    const auto target = outside.path() / "elsewhere.db";
    testsupport::writeFile(target, "");
    std::filesystem::create_symlink(target, m_prefix.path() / "registry.db");
    platform::setPrefix(m_prefix.path());

    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key), ERROR_CANTOPEN);
    EXPECT_NE(platform::registry::storeError().find("registry.db"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(target), 0u);
}

TEST_F(RegistryStoreTest, DamagedPagesAreReportedAndTheFileIsNotReplaced)
{
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(writeDword(("Software\\Bulk\\K" + std::to_string(i)).c_str(), "v", DWORD(i)),
                  ERROR_SUCCESS);
    }
    platform::setPrefix(m_prefix.path()); // closes the store: the log is folded in
    const auto db = m_prefix.path() / "registry.db";
    std::string bytes = testsupport::readFile(db);
    ASSERT_GT(bytes.size(), 4096u * 3);
    for (std::size_t i = 4096; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(0xA5); // every page after the first
    }
    testsupport::writeFile(db, bytes);

    LONG rc = ERROR_SUCCESS;
    readDword(HKEY_LOCAL_MACHINE, "Software\\Bulk\\K10", "v", &rc);
    EXPECT_TRUE(rc == ERROR_REGISTRY_CORRUPT || rc == ERROR_BADDB) << rc;
    EXPECT_NE(platform::registry::storeError().find(db.string()), std::string::npos);
    EXPECT_EQ(writeDword("Software\\Bulk\\New", "v", 1) != ERROR_SUCCESS, true);
    EXPECT_EQ(testsupport::readFile(db), bytes);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--registry-child") == 0) {
        return childMain(argc, argv);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
