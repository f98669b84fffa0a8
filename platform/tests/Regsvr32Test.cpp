// regsvr32.exe end to end: the built tool loads test modules in the test's prefix and
// calls their registration entry points.

#include "TestSupport.h"

#include <platform/Registry.h>

#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kRecordKey = "Software\\Umbravia Tests\\ComRegistrar";

fs::path testModule(const char* name)
{
    return testsupport::testModulesDir() / (std::string("platform_testmodule_") + name) /
           (std::string(name) + ".dll");
}

class Regsvr32Test : public testsupport::PrefixTest {
protected:
    testsupport::ProcessResult regsvr32(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{(testsupport::binDir() / "regsvr32.exe").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        testsupport::ProcessOptions options;
        options.env["UMBRAVIA_PREFIX"] = m_prefix.path().string();
        options.env["QT_QPA_PLATFORM"] = "offscreen";
        options.env["DISPLAY"] = "";
        options.env["WAYLAND_DISPLAY"] = "";
        return testsupport::runProcess(argv, options);
    }
    // The message box lines of a run (Qt may add notes of its own on standard error).
    static std::string boxes(const std::string& err)
    {
        std::string out;
        std::size_t at = 0;
        while (at < err.size()) {
            std::size_t end = err.find('\n', at);
            end = end == std::string::npos ? err.size() : end + 1;
            if (err.compare(at, 11, "MessageBox ") == 0) {
                out += err.substr(at, end - at);
            }
            at = end;
        }
        return out;
    }
    // What ComRegistrar.dll noted: its last call and the number of calls.
    static std::optional<std::pair<std::string, DWORD>> recorded()
    {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kRecordKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        char text[64] = {};
        DWORD size = sizeof text;
        DWORD calls = 0;
        DWORD callsSize = sizeof calls;
        RegQueryValueEx(key, "LastCall", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegQueryValueEx(key, "Calls", nullptr, nullptr, reinterpret_cast<BYTE*>(&calls),
                        &callsSize);
        RegCloseKey(key);
        return std::make_pair(std::string(text), calls);
    }
};

TEST_F(Regsvr32Test, SilentRegisterAndUnregisterCallTheEntryPoints)
{
    const std::string module = testModule("ComRegistrar").string();
    testsupport::ProcessResult result = regsvr32({"/s", module});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(boxes(result.err), "");
    EXPECT_EQ(recorded(), std::make_pair(std::string("register"), DWORD{1}));

    result = regsvr32({"/u", "/s", module});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(boxes(result.err), "");
    EXPECT_EQ(recorded(), std::make_pair(std::string("unregister"), DWORD{2}));

    // Switches in either case and order, with '-' as well as '/'.
    result = regsvr32({"-S", "/U", module});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(recorded(), std::make_pair(std::string("unregister"), DWORD{3}));
}

TEST_F(Regsvr32Test, WithoutSilentTheOutcomeIsShownInABox)
{
    const std::string module = testModule("ComRegistrar").string();
    testsupport::ProcessResult result = regsvr32({module});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(boxes(result.err),
              "MessageBox [RegSvr32] DllRegisterServer in " + module + " succeeded.\n");

    result = regsvr32({"/u", module});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(boxes(result.err),
              "MessageBox [RegSvr32] DllUnregisterServer in " + module + " succeeded.\n");
}

TEST_F(Regsvr32Test, BareNameIsFoundInTheSystemFolderAndPathsMayHoldBlanks)
{
    // A bare name goes through the search order, which ends in C:\WINDOWS\system32.
    const fs::path system32 = m_prefix.driveC() / "WINDOWS" / "system32";
    fs::create_directories(system32);
    fs::copy_file(testModule("ComRegistrar"), system32 / "ComRegistrar.dll");
    testsupport::ProcessResult result = regsvr32({"/s", "comregistrar.dll"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(recorded(), std::make_pair(std::string("register"), DWORD{1}));

    // A DOS path with blanks, passed unquoted as callers do.
    const fs::path folder = m_prefix.driveC() / "Program Files" / "Umbravia Test";
    fs::create_directories(folder);
    fs::copy_file(testModule("ComRegistrar"), folder / "Com Registrar.dll");
    result = regsvr32({"/s", "C:\\Program", "Files\\Umbravia", "Test\\Com", "Registrar.dll"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(recorded(), std::make_pair(std::string("register"), DWORD{2}));

    result = regsvr32({"/s", "\"C:\\Program Files\\Umbravia Test\\Com Registrar.dll\""});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(recorded(), std::make_pair(std::string("register"), DWORD{3}));
}

TEST_F(Regsvr32Test, MissingModuleExitsThreeAndNamesIt)
{
    testsupport::ProcessResult result = regsvr32({"/s", "NoSuchServer.dll"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(boxes(result.err), "");

    result = regsvr32({"NoSuchServer.dll"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(boxes(result.err)
                  .rfind("MessageBox [RegSvr32] The module \"NoSuchServer.dll\" could not "
                         "be loaded.\\n\\n",
                         0),
              0u)
        << result.err;
}

TEST_F(Regsvr32Test, ModuleWithoutTheEntryPointExitsFour)
{
    const std::string module = testModule("ComWithoutEntry").string();
    testsupport::ProcessResult result = regsvr32({"/s", module});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_EQ(boxes(result.err), "");

    result = regsvr32({"/u", module});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_EQ(boxes(result.err),
              "MessageBox [RegSvr32] The module \"" + module +
                  "\" was loaded, but it has no entry point DllUnregisterServer.\n");
}

TEST_F(Regsvr32Test, FailingEntryPointExitsFiveWithItsCode)
{
    const std::string module = testModule("ComRefusing").string();
    testsupport::ProcessResult result = regsvr32({"/s", module});
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_EQ(boxes(result.err), "");

    result = regsvr32({module});
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_EQ(boxes(result.err), "MessageBox [RegSvr32] DllRegisterServer in " + module +
                                     " failed with error code 0x80004005.\n");
}

TEST_F(Regsvr32Test, BadArgumentsExitOne)
{
    testsupport::ProcessResult result = regsvr32({});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(
        boxes(result.err).rfind("MessageBox [RegSvr32] Usage: regsvr32.exe [/s] [/u] <module>", 0),
        0u)
        << result.err;

    result = regsvr32({"/s"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(boxes(result.err), "");
    EXPECT_NE(result.err.find("Usage: regsvr32.exe"), std::string::npos) << result.err;

    result = regsvr32({"/x", "/s", testModule("ComRegistrar").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(recorded().has_value()) << "nothing was called";
}

} // namespace
