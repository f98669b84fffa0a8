// Modules: the search order for bare names, names without regard to case, one load per
// file with DllMain on the first load and the last unload, refused attaches and exports.

#include <platform/Environment.h>
#include <platform/Modules.h>

#include <TestSupport.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path testModule(const std::string& name)
{
    return testsupport::testModulesDir() / ("platform_testmodule_" + name) / (name + ".dll");
}

std::string moduleFileName(HMODULE module)
{
    char buffer[MAX_PATH] = {};
    DWORD length = GetModuleFileName(module, buffer, sizeof buffer);
    return std::string(buffer, length);
}

class ModulesTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        m_startDir = fs::current_path();
        m_log = m_scratch.path() / "dllmain.log";
        ::setenv("UMBRAVIA_TEST_MODULE_LOG", m_log.c_str(), 1);
        ASSERT_TRUE(fs::exists(testModule("counting"))) << testModule("counting");
    }
    void TearDown() override
    {
        fs::current_path(m_startDir);
        ::unsetenv("UMBRAVIA_TEST_MODULE_LOG");
        std::error_code ec;
        for (const fs::path& copy : m_programFolderCopies) {
            fs::remove(copy, ec);
        }
    }
    std::string log() { return testsupport::readFile(m_log); }
    // A copy in the program folder (the test executable's), under a name no other test
    // process uses; removed at the end.
    void copyToProgramFolder(const std::string& module, const std::string& name)
    {
        fs::path target = platform::programFolder() / name;
        fs::copy_file(testModule(module), target, fs::copy_options::overwrite_existing);
        m_programFolderCopies.push_back(target);
    }

    testsupport::TempDir m_scratch;
    fs::path m_startDir;
    fs::path m_log;
    std::vector<fs::path> m_programFolderCopies;
};

TEST_F(ModulesTest, BareNamesSearchProgramFolderThenCurrentFolderThenSystemFolder)
{
    const std::string name = "order" + std::to_string(::getpid()) + ".dll";
    const fs::path system32 = m_prefix.driveC() / "WINDOWS" / "system32";
    fs::copy_file(testModule("plain"), system32 / name);
    fs::path current = m_scratch.path() / "cwd";
    fs::create_directories(current);
    fs::current_path(current);

    HMODULE fromSystem = LoadLibrary(name.c_str());
    ASSERT_NE(fromSystem, nullptr) << platform::lastModuleError();
    EXPECT_EQ(moduleFileName(fromSystem), "C:\\WINDOWS\\system32\\" + name);
    EXPECT_TRUE(FreeLibrary(fromSystem));

    fs::copy_file(testModule("plain"), current / name);
    HMODULE fromCurrent = LoadLibrary(name.c_str());
    ASSERT_NE(fromCurrent, nullptr) << platform::lastModuleError();
    EXPECT_EQ(moduleFileName(fromCurrent), platform::toDosPath(current / name).str());
    EXPECT_TRUE(FreeLibrary(fromCurrent));

    copyToProgramFolder("plain", name);
    HMODULE fromProgram = LoadLibrary(name.c_str());
    ASSERT_NE(fromProgram, nullptr) << platform::lastModuleError();
    EXPECT_EQ(moduleFileName(fromProgram),
              platform::toDosPath(platform::programFolder() / name).str());
    EXPECT_TRUE(FreeLibrary(fromProgram));
}

TEST_F(ModulesTest, NamesMatchWithoutRegardToCaseAndPathsAreDosPaths)
{
    const fs::path system32 = m_prefix.driveC() / "WINDOWS" / "system32";
    fs::copy_file(testModule("plain"), system32 / "Local.dll");
    HMODULE bare = LoadLibrary("local.dll");
    ASSERT_NE(bare, nullptr) << platform::lastModuleError();
    EXPECT_EQ(moduleFileName(bare), "C:\\WINDOWS\\system32\\Local.dll");
    // The same file by another name is the same module.
    HMODULE byPath = LoadLibrary("c:\\windows\\SYSTEM32\\LOCAL.DLL");
    EXPECT_EQ(byPath, bare);
    HMODULE withoutExtension = LoadLibrary("LOCAL");
    EXPECT_EQ(withoutExtension, bare);
    auto answer = platform::proc<int (*)()>(bare, "Answer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 7);
    EXPECT_TRUE(FreeLibrary(bare));
    EXPECT_TRUE(FreeLibrary(byPath));
    EXPECT_TRUE(FreeLibrary(withoutExtension));
    EXPECT_FALSE(FreeLibrary(bare)); // the last reference is gone
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    EXPECT_EQ(LoadLibrary("Missing.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(platform::lastModuleError().find("Missing.dll"), std::string::npos);
    EXPECT_EQ(LoadLibrary("C:\\WINDOWS\\Missing.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    testsupport::writeFile(system32 / "Broken.dll", "not a module");
    EXPECT_EQ(LoadLibrary("broken.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_FORMAT));
    EXPECT_FALSE(platform::lastModuleError().empty());
}

TEST_F(ModulesTest, DllMainRunsOnTheFirstLoadAndTheLastFree)
{
    std::string path = platform::toDosPath(testModule("counting")).str();
    HMODULE first = LoadLibrary(path.c_str());
    ASSERT_NE(first, nullptr) << platform::lastModuleError();
    EXPECT_EQ(log(), "attach\n");
    HMODULE second = LoadLibrary(path.c_str());
    EXPECT_EQ(second, first);
    EXPECT_EQ(log(), "attach\n");
    EXPECT_EQ(moduleFileName(first), path);
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(log(), "attach\n");
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(log(), "attach\ndetach\n");
    // Loaded again after the last free: attached again.
    HMODULE again = LoadLibrary(path.c_str());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(log(), "attach\ndetach\nattach\n");
    EXPECT_TRUE(FreeLibrary(again));
}

TEST_F(ModulesTest, ThreadsLoadingAndFreeingTogetherKeepOneCount)
{
    std::string path = platform::toDosPath(testModule("counting")).str();
    HMODULE held = LoadLibrary(path.c_str()); // keeps the module in for the whole test
    ASSERT_NE(held, nullptr);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                HMODULE module = LoadLibrary(path.c_str());
                if (module != held || platform::proc<int (*)()>(module, "Answer")() != 42 ||
                    !FreeLibrary(module)) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(log(), "attach\n");
    EXPECT_TRUE(FreeLibrary(held));
    EXPECT_EQ(log(), "attach\ndetach\n");
}

TEST_F(ModulesTest, ARefusedAttachFailsTheLoad)
{
    std::string path = platform::toDosPath(testModule("refusing")).str();
    EXPECT_EQ(LoadLibrary(path.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DLL_INIT_FAILED));
    // As on Windows, the refused attach is followed by a detach before the unload.
    EXPECT_EQ(log(), "attach\ndetach\n");
    EXPECT_EQ(LoadLibrary(path.c_str()), nullptr);
    EXPECT_EQ(log(), "attach\ndetach\nattach\ndetach\n");
}

TEST_F(ModulesTest, OnlyTheModulesOwnExportsAreFound)
{
    HMODULE module = LoadLibrary(platform::toDosPath(testModule("plain")).c_str());
    ASSERT_NE(module, nullptr) << platform::lastModuleError();
    EXPECT_NE(GetProcAddress(module, "Answer"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "Missing"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(module, "NotExported"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "malloc"), nullptr); // the C library's, not the module's
    EXPECT_EQ(GetProcAddress(module, "DllMain"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(GetProcAddress(module, "Answer"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(ModulesTest, ModuleFileNamesAreCutToTheBuffer)
{
    char buffer[8];
    DWORD length = GetModuleFileName(nullptr, buffer, sizeof buffer);
    EXPECT_EQ(length, sizeof buffer);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(buffer).size(), 7u);
    char full[1024];
    length = GetModuleFileName(nullptr, full, sizeof full);
    EXPECT_EQ(std::string(full), platform::toDosPath(testsupport::selfPath()).str());
    EXPECT_EQ(GetModuleFileName(reinterpret_cast<HMODULE>(full), full, sizeof full), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
