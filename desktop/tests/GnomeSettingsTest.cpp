// The GNOME desktop through GSettings, each step in a process of its own (desktop_probe,
// and the gsettings tool as an independent reader and writer), over GIO's keyfile back end
// in the test's home folder with Debian's real schemas. Also the host killed while the
// desktop is switched on, for every target at once.

#include "DesktopTestSupport.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Text.h>

#include <gtest/gtest.h>
#include <signal.h>

#include <set>

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;

class GnomeSettingsTest : public desktoptest::DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        m_env = {{"GSETTINGS_BACKEND", "keyfile"},
                 {"GIO_USE_VFS", "local"},
                 {"XDG_DATA_DIRS", "/usr/local/share:/usr/share"}};
        if (testsupport::runProcess({"gsettings", "--version"}).exitCode != 0 ||
            !fs::exists("/usr/share/glib-2.0/schemas/org.gnome.system.proxy.gschema.xml")) {
            GTEST_SKIP() << "gap: gsettings (libglib2.0-bin) or gsettings-desktop-schemas missing";
        }
    }

    ProcessResult probe(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{
            (testsupport::selfPath().parent_path() / "desktop_probe").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return testsupport::runProcess(argv, options());
    }

    testsupport::ProcessOptions options() const
    {
        testsupport::ProcessOptions options;
        options.env = m_env;
        return options;
    }

    std::string get(const std::string& schema, const std::string& key)
    {
        ProcessResult result =
            testsupport::runProcess({"gsettings", "get", schema, key}, options());
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return std::string(text::trim(result.out, "\n"));
    }

    void put(const std::string& schema, const std::string& key, const std::string& value)
    {
        ProcessResult result =
            testsupport::runProcess({"gsettings", "set", schema, key, value}, options());
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }

    fs::path keyfile() const { return config() / "glib-2.0" / "settings" / "keyfile"; }

    // The values the back end stores (user-set keys only), as "group key=value" lines.
    std::set<std::string> storedValues() const
    {
        std::set<std::string> values;
        std::string group;
        const std::string text = contents(keyfile()).value_or("");
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = text.find('\n', at);
            end = end == std::string::npos ? text.size() : end;
            const std::string line = text.substr(at, end - at);
            if (line.starts_with('[')) {
                group = line;
            } else if (line.find('=') != std::string::npos) {
                values.insert(group + " " + line);
            }
            at = end + 1;
        }
        return values;
    }

    std::map<std::string, std::string> m_env;
};

constexpr const char* kProxy = "org.gnome.system.proxy";
constexpr const char* kHttp = "org.gnome.system.proxy.http";
constexpr const char* kHttps = "org.gnome.system.proxy.https";

TEST_F(GnomeSettingsTest, SetPointsTheDesktopAtTheProxyAndUnsetPutsBackEveryKey)
{
    // The user changed the HTTP port and named an HTTPS proxy; mode and the rest are defaults.
    put(kHttp, "port", "3128");
    put(kHttps, "host", "'secure.example'");
    const std::set<std::string> before = storedValues();

    ProcessResult set = probe({"set", "gnome", "8080"});
    ASSERT_EQ(set.exitCode, 0) << set.out << set.err;
    EXPECT_EQ(set.out, "GNOME desktop done\n");
    EXPECT_EQ(get(kProxy, "mode"), "'manual'");
    EXPECT_EQ(get(kProxy, "use-same-proxy"), "false");
    EXPECT_EQ(get(kProxy, "ignore-hosts"), "['localhost', '127.0.0.0/8', '::1', '127.0.0.1']");
    EXPECT_EQ(get(kHttp, "host"), "'127.0.0.1'");
    EXPECT_EQ(get(kHttp, "port"), "8080");
    EXPECT_EQ(get(kHttps, "host"), "'secure.example'"); // HTTPS is left as it is
    EXPECT_TRUE(fs::exists(m_prefix.path() / "desktop-journal"));

    ProcessResult unset = probe({"unset", "gnome"});
    ASSERT_EQ(unset.exitCode, 0) << unset.out << unset.err;
    EXPECT_EQ(get(kHttp, "port"), "3128");
    EXPECT_EQ(get(kProxy, "mode"), "'none'");
    // Keys that were at their defaults are at their defaults again, not written over.
    EXPECT_EQ(storedValues(), before);
    EXPECT_FALSE(fs::exists(m_prefix.path() / "desktop-journal"));
}

TEST_F(GnomeSettingsTest, ASecondSetKeepsTheOriginalAndAKeyTheUserChangedStaysTheirs)
{
    put(kHttp, "port", "3128");
    put(kProxy, "ignore-hosts", "['intranet.example']");
    ASSERT_EQ(probe({"set", "gnome", "8080"}).exitCode, 0);
    EXPECT_EQ(get(kProxy, "ignore-hosts"),
              "['intranet.example', 'localhost', '127.0.0.1', '127.0.0.0/8', '::1']");
    ASSERT_EQ(probe({"set", "gnome", "9090"}).exitCode, 0);
    EXPECT_EQ(get(kHttp, "port"), "9090");
    put(kHttp, "host", "'chosen.example'"); // the user's own choice while we are on

    ASSERT_EQ(probe({"unset", "gnome"}).exitCode, 0);
    EXPECT_EQ(get(kHttp, "port"), "3128");
    EXPECT_EQ(get(kProxy, "ignore-hosts"), "['intranet.example']");
    EXPECT_EQ(get(kHttp, "host"), "'chosen.example'");
    EXPECT_EQ(get(kProxy, "mode"), "'none'");
}

TEST_F(GnomeSettingsTest, WithoutSchemaOrWithABackEndThatForgetsTheDesktopIsSkipped)
{
    m_env["GSETTINGS_BACKEND"] = "memory";
    ProcessResult memory = probe({"set", "gnome", "8080"});
    EXPECT_EQ(memory.exitCode, 0);
    EXPECT_EQ(memory.out, "GNOME desktop skipped\n");

    m_env["GSETTINGS_BACKEND"] = "keyfile";
    m_env["XDG_DATA_DIRS"] = (home() / "no-schemas").string();
    ProcessResult noSchema = probe({"set", "gnome", "8080"});
    EXPECT_EQ(noSchema.exitCode, 0);
    EXPECT_EQ(noSchema.out, "GNOME desktop skipped\n");
    EXPECT_FALSE(fs::exists(keyfile()));
    EXPECT_FALSE(fs::exists(m_prefix.path() / "desktop-journal"));

    // dconf without a session bus keeps what is written in the writing process only.
    m_env["XDG_DATA_DIRS"] = "/usr/local/share:/usr/share";
    m_env["GSETTINGS_BACKEND"] = "keyfile";
    EXPECT_EQ(probe({"detected", "gnome"}).out, "GNOME desktop found\n");
    m_env["GSETTINGS_BACKEND"] = "dconf";
    m_env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (home() / "no-bus").string();
    m_env["DISPLAY"] = "";
    EXPECT_EQ(probe({"detected", "gnome"}).out, "GNOME desktop absent\n");
}

TEST_F(GnomeSettingsTest, BackupAndRestore)
{
    const fs::path install = m_prefix.path() / "install";
    fs::create_directories(install);
    // The backup folder is beside the program path the host records; the probe reads the
    // same registry.
    const settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    ASSERT_EQ(main.writeString(nullptr, platform::toDosPath(install / "Umbravia.exe").str()),
              ERROR_SUCCESS);
    put(kHttp, "port", "3128");
    ProcessResult backup = probe({"backup", "gnome"});
    ASSERT_EQ(backup.exitCode, 0) << backup.out;
    put(kHttp, "port", "1111");
    put(kProxy, "mode", "'auto'");
    ProcessResult restore = probe({"restore", "gnome"});
    ASSERT_EQ(restore.exitCode, 0) << restore.out;
    EXPECT_EQ(get(kHttp, "port"), "3128");
    EXPECT_EQ(get(kProxy, "mode"), "'none'");
    EXPECT_TRUE(fs::exists(install / "Backup" / "GNOME desktop.settings"));
}

TEST_F(GnomeSettingsTest, AHostKilledWhileSwitchedOnIsUndoneByTheNextStart)
{
    put(kHttp, "port", "3128");
    const std::string kioslaverc = "[Proxy Settings]\nProxyType=0\n";
    write(config() / "kioslaverc", kioslaverc, 0600);
    const std::set<std::string> before = storedValues();

    std::vector<std::string> argv{
        (testsupport::selfPath().parent_path() / "desktop_probe").string(),
        "hold",
        "8080",
        "gnome",
        "kde",
        "environment"};
    testsupport::ChildProcess host(argv, options());
    ASSERT_TRUE(testsupport::waitFor([&] { return host.out().find("on\n") != std::string::npos; },
                                     std::chrono::seconds(30)))
        << host.out() << host.err();
    EXPECT_EQ(host.out(), "GNOME desktop done\nKDE done\nLogin environment done\non\n");
    host.signal(SIGKILL);
    ASSERT_TRUE(host.wait(std::chrono::seconds(10)));
    EXPECT_EQ(get(kHttp, "port"), "8080");
    EXPECT_NE(contents(config() / "kioslaverc"), kioslaverc);

    ProcessResult recover = probe({"recover"});
    ASSERT_EQ(recover.exitCode, 0) << recover.out << recover.err;
    EXPECT_EQ(recover.out, "GNOME desktop done\nKDE done\nLogin environment done\n");
    EXPECT_EQ(storedValues(), before);
    EXPECT_EQ(contents(config() / "kioslaverc"), kioslaverc);
    EXPECT_EQ(modeOf(config() / "kioslaverc"), 0600u);
    EXPECT_FALSE(fs::exists(config() / "environment.d" / "90-umbravia-proxy.conf"));
    EXPECT_FALSE(fs::exists(m_prefix.path() / "desktop-journal"));
    // A start without a journal has nothing to do.
    EXPECT_EQ(probe({"recover"}).out, "");
}

TEST_F(GnomeSettingsTest, TheProbeRefusesARealHomeAndTheSessionsSettings)
{
    // A home outside the temporary folder, yet a decoy: the build folder's, never a real one.
    // A build tree that lies in the temporary folder itself has no such decoy.
    const fs::path decoy = testsupport::binDir().parent_path() / "refused-home";
    if (!testsupport::insideTemporaryFolder(decoy)) {
        m_env["HOME"] = decoy.string();
        EXPECT_EQ(probe({"off"}).exitCode, 3);
    }
    m_env["HOME"] = home().string();
    m_env["GSETTINGS_BACKEND"] = "dconf";
    EXPECT_EQ(probe({"off"}).exitCode, 3);
    m_env["GSETTINGS_BACKEND"] = "keyfile";
    EXPECT_EQ(probe({"off"}).exitCode, 0);
}

} // namespace
