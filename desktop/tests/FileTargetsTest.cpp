// KDE, Firefox and the login environment in a home folder of the test's own: set points
// them at the proxy, unset leaves every file byte-identical to before (mode included),
// and the journal carries what was there across a second set and a lost exit step.

#include "DesktopTestSupport.h"
#include "TargetSettings.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Registry.h>

#include <desktop/DesktopIntegration.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using desktop::Outcome;
using desktop::Target;

class FileTargetsTest : public desktoptest::DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        // Two profiles: one listed by a relative path, one by an absolute path elsewhere.
        m_relative = home() / ".mozilla" / "firefox" / "abcd.default-release";
        m_absolute = home() / "profiles" / "work";
        fs::create_directories(m_relative);
        fs::create_directories(m_absolute);
        write(home() / ".mozilla" / "firefox" / "profiles.ini",
              "[Install4F96D1932A9F858E]\nDefault=abcd.default-release\n\n"
              "[Profile1]\nName=work\nIsRelative=0\nPath=" +
                  m_absolute.string() +
                  "\n\n[Profile0]\nName=default-release\nIsRelative=1\nPath=abcd.default-release\n"
                  "Default=1\n\n[General]\nStartWithLastProfile=1\nVersion=2\n");
        write(m_relative / "user.js", kUserJs, 0640);
        write(m_relative / "prefs.js", kPrefsJs, 0600);
        write(config() / "kioslaverc", kKioslaverc, 0600);
    }

    // File contents by path (none: no such file).
    std::map<std::string, std::optional<std::string>> snapshot() const
    {
        std::map<std::string, std::optional<std::string>> files;
        for (const fs::path& file :
             {m_relative / "user.js", m_relative / "prefs.js", m_absolute / "user.js",
              m_absolute / "prefs.js", config() / "kioslaverc", environmentFile()}) {
            files[file.string()] = contents(file);
        }
        return files;
    }

    fs::path environmentFile() const
    {
        return config() / "environment.d" / "90-umbravia-proxy.conf";
    }

    static desktop::Choices allFileTargets()
    {
        desktop::Choices choices;
        choices[Target::Kde] = true;
        choices[Target::Firefox] = true;
        choices[Target::Environment] = true;
        return choices;
    }

    static void expectAllDone(const std::vector<desktop::Report>& reports, std::size_t count)
    {
        EXPECT_EQ(reports.size(), count);
        for (const desktop::Report& report : reports) {
            EXPECT_EQ(report.result.outcome, Outcome::Done)
                << desktop::targetName(report.target) << ": " << report.result.message;
        }
    }

    inline static const std::string kUserJs =
        "// my own\nuser_pref(\"browser.startup.page\", 3);\n";
    inline static const std::string kPrefsJs =
        "// Mozilla User Preferences\n"
        "user_pref(\"network.proxy.http\", \"old.example\");\n"
        "user_pref(\"network.proxy.type\", 4);\n";
    // Without a last line end: set adds one, unset must give the bytes back as they were.
    inline static const std::string kKioslaverc = "[Proxy Settings]\nProxyType=0\nhttpsProxy=s 1";
    fs::path m_relative;
    fs::path m_absolute;
};

TEST_F(FileTargetsTest, SetPointsEveryTargetAtTheProxyAndUnsetLeavesEveryFileAsItWas)
{
    const auto before = snapshot();
    const bool folderBefore = fs::exists(config() / "environment.d");
    ASSERT_TRUE(desktop::detected(Target::Kde));
    ASSERT_TRUE(desktop::detected(Target::Firefox));
    std::vector<std::string> profiles;
    for (const fs::path& profile : desktop::firefoxProfiles()) {
        profiles.push_back(profile.string());
    }
    ASSERT_EQ(profiles, (std::vector<std::string>{m_absolute.string(), m_relative.string()}));

    expectAllDone(desktop::DesktopIntegration::switchOn(8080, allFileTargets()), 3);
    EXPECT_TRUE(desktop::DesktopIntegration::journalPending());
    for (const fs::path& profile : {m_relative, m_absolute}) {
        const std::string userJs = *contents(profile / "user.js");
        EXPECT_NE(userJs.find("user_pref(\"network.proxy.http_port\", 8080);\n"),
                  std::string::npos);
        EXPECT_EQ(modeOf(profile / "user.js"), profile == m_relative ? 0640u : 0600u);
    }
    EXPECT_EQ(contents(m_relative / "user.js")->substr(0, kUserJs.size()), kUserJs);
    EXPECT_EQ(contents(m_relative / "prefs.js"), kPrefsJs); // never written by set
    EXPECT_NE(contents(config() / "kioslaverc")->find("httpProxy=http://127.0.0.1 8080\n"),
              std::string::npos);
    EXPECT_EQ(modeOf(config() / "kioslaverc"), 0600u);
    EXPECT_NE(contents(environmentFile())->find("http_proxy=http://127.0.0.1:8080/\n"),
              std::string::npos);

    expectAllDone(desktop::DesktopIntegration::switchOff(), 3);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(modeOf(m_relative / "user.js"), 0640u);
    EXPECT_FALSE(desktop::DesktopIntegration::journalPending());
    EXPECT_FALSE(fs::exists(environmentFile()));
    // A folder made for our file goes with it.
    EXPECT_EQ(fs::exists(config() / "environment.d"), folderBefore);
    EXPECT_FALSE(fs::exists(m_absolute / "user.js"));
}

TEST_F(FileTargetsTest, WhatFirefoxCopiedIntoPrefsJsGoesBackAndTheUsersNewLinesStay)
{
    ASSERT_EQ(desktop::set(Target::Firefox, 8080).outcome, Outcome::Done);
    // Firefox ran: it copied our preferences into prefs.js; the user added a line of
    // their own to user.js meanwhile.
    write(m_relative / "prefs.js",
          "// Mozilla User Preferences\nuser_pref(\"network.proxy.http\", \"127.0.0.1\");\n"
          "user_pref(\"network.proxy.http_port\", 8080);\nuser_pref(\"network.proxy.type\", 1);\n"
          "user_pref(\"x.new\", 1);\n",
          0600);
    write(m_relative / "user.js", *contents(m_relative / "user.js") + "user_pref(\"mine\", 2);\n",
          0640);

    ASSERT_EQ(desktop::unset(Target::Firefox).outcome, Outcome::Done);
    EXPECT_EQ(contents(m_relative / "prefs.js"),
              "// Mozilla User Preferences\nuser_pref(\"network.proxy.http\", \"old.example\");\n"
              "user_pref(\"network.proxy.type\", 4);\nuser_pref(\"x.new\", 1);\n");
    EXPECT_EQ(contents(m_relative / "user.js"), kUserJs + "user_pref(\"mine\", 2);\n");
}

TEST_F(FileTargetsTest, ASecondSetKeepsTheFirstOriginal)
{
    ASSERT_EQ(desktop::set(Target::Kde, 8080).outcome, Outcome::Done);
    ASSERT_EQ(desktop::set(Target::Kde, 9090).outcome, Outcome::Done);
    EXPECT_NE(contents(config() / "kioslaverc")->find("httpProxy=http://127.0.0.1 9090\n"),
              std::string::npos);
    ASSERT_EQ(desktop::unset(Target::Kde).outcome, Outcome::Done);
    EXPECT_EQ(contents(config() / "kioslaverc"), kKioslaverc);
    // Nothing recorded any more: a further unset changes nothing.
    write(config() / "kioslaverc", "[Proxy Settings]\nProxyType=1\n");
    EXPECT_EQ(desktop::unset(Target::Kde).outcome, Outcome::Done);
    EXPECT_EQ(contents(config() / "kioslaverc"), "[Proxy Settings]\nProxyType=1\n");
}

TEST_F(FileTargetsTest, AJournalLeftBehindIsRestoredByTheNextStart)
{
    const auto before = snapshot();
    expectAllDone(desktop::DesktopIntegration::switchOn(3128, allFileTargets()), 3);
    // The host ended without its exit step: only the journal knows what was there.
    EXPECT_TRUE(fs::exists(desktop::DesktopIntegration::journalPath()));
    expectAllDone(desktop::DesktopIntegration::recoverFromJournal(), 3);
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(desktop::DesktopIntegration::recoverFromJournal().empty());
}

TEST_F(FileTargetsTest, AbsentTargetsAreSkippedSilently)
{
    fs::remove_all(home() / ".mozilla");
    fs::remove(config() / "kioslaverc");
    fs::remove_all(home() / "profiles");
    EXPECT_FALSE(desktop::detected(Target::Kde));
    EXPECT_FALSE(desktop::detected(Target::Firefox));
    EXPECT_FALSE(desktop::detected(Target::Gnome)); // the memory back end keeps nothing
    for (Target target : {Target::Kde, Target::Firefox, Target::Gnome}) {
        const desktop::Result result = desktop::set(target, 8080);
        EXPECT_EQ(result.outcome, Outcome::Skipped) << desktop::targetName(target);
        EXPECT_EQ(result.message, "");
    }
    EXPECT_FALSE(fs::exists(config() / "kioslaverc"));
    EXPECT_FALSE(desktop::DesktopIntegration::journalPending());
    // A profiles.ini whose profile folder is gone lists nothing.
    write(home() / ".mozilla" / "firefox" / "profiles.ini",
          "[Profile0]\nPath=gone\nIsRelative=1\n");
    EXPECT_FALSE(desktop::detected(Target::Firefox));
}

TEST_F(FileTargetsTest, AKdeSessionWithoutKioslavercGetsOneAndLosesItAgain)
{
    fs::remove(config() / "kioslaverc");
    ASSERT_FALSE(desktop::detected(Target::Kde));
    ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1); // SessionVariables puts the old value back
    ASSERT_TRUE(desktop::detected(Target::Kde));
    ASSERT_EQ(desktop::set(Target::Kde, 8080).outcome, Outcome::Done);
    EXPECT_EQ(contents(config() / "kioslaverc"),
              "[Proxy Settings]\nProxyType=1\nhttpProxy=http://127.0.0.1 8080\n"
              "NoProxyFor=localhost,127.0.0.1,127.0.0.0/8,::1\nReversedException=false\n");
    ASSERT_EQ(desktop::unset(Target::Kde).outcome, Outcome::Done);
    EXPECT_FALSE(fs::exists(config() / "kioslaverc"));
}

TEST_F(FileTargetsTest, TheSnapsAndTheFlatpaksProfilesCountEachOnce)
{
    const fs::path snap = home() / "snap" / "firefox" / "common" / ".mozilla" / "firefox";
    const fs::path flatpak =
        home() / ".var" / "app" / "org.mozilla.firefox" / ".mozilla" / "firefox";
    fs::create_directories(snap / "s1.default");
    fs::create_directories(flatpak / "f1.default");
    write(snap / "profiles.ini", "[Profile0]\nPath=s1.default\n");
    // The same folder twice, once through a path with a dot in it.
    write(flatpak / "profiles.ini",
          "[Profile0]\nPath=f1.default\nIsRelative=1\n[Profile1]\nPath=./f1.default\n");
    std::vector<std::string> profiles;
    for (const fs::path& profile : desktop::firefoxProfiles()) {
        profiles.push_back(profile.string());
    }
    EXPECT_EQ(profiles, (std::vector<std::string>{m_absolute.string(), m_relative.string(),
                                                  (snap / "s1.default").string(),
                                                  (flatpak / "f1.default").string()}));
}

TEST_F(FileTargetsTest, ALinkTheUserKeepsStaysALink)
{
    // Dotfiles kept in a repository and linked into place.
    const fs::path real = home() / "dotfiles" / "kioslaverc";
    write(real, kKioslaverc, 0600);
    fs::remove(config() / "kioslaverc");
    fs::create_symlink(real, config() / "kioslaverc");
    ASSERT_EQ(desktop::set(Target::Kde, 8080).outcome, Outcome::Done);
    EXPECT_TRUE(fs::is_symlink(config() / "kioslaverc"));
    EXPECT_NE(contents(real)->find("ProxyType=1"), std::string::npos);
    ASSERT_EQ(desktop::unset(Target::Kde).outcome, Outcome::Done);
    EXPECT_TRUE(fs::is_symlink(config() / "kioslaverc"));
    EXPECT_EQ(contents(real), kKioslaverc);
}

TEST_F(FileTargetsTest, ARunningFirefoxKeepsItsEntryUntilItHasEnded)
{
    ASSERT_EQ(desktop::set(Target::Firefox, 8080).outcome, Outcome::Done);
    // Firefox holds the profile: the lock names a process that runs (this one).
    fs::create_symlink("127.0.1.1:+" + std::to_string(::getpid()), m_relative / "lock");
    const desktop::Result busy = desktop::unset(Target::Firefox);
    EXPECT_EQ(busy.outcome, Outcome::Failed);
    EXPECT_NE(busy.message.find("Firefox is still running with the profile " + m_relative.string()),
              std::string::npos)
        << busy.message;
    // Its files are back all the same, and the journal still has the entry.
    EXPECT_EQ(contents(m_relative / "user.js"), kUserJs);
    EXPECT_TRUE(desktop::DesktopIntegration::journalPending());

    // Firefox ended and wrote our preferences back into prefs.js.
    fs::remove(m_relative / "lock");
    write(m_relative / "prefs.js", kPrefsJs + "user_pref(\"network.proxy.http_port\", 8080);\n",
          0600);
    EXPECT_EQ(desktop::unset(Target::Firefox).outcome, Outcome::Done);
    EXPECT_EQ(contents(m_relative / "prefs.js"), kPrefsJs);
    EXPECT_FALSE(desktop::DesktopIntegration::journalPending());
}

TEST_F(FileTargetsTest, AFirefoxStartedBeforeTheSetNeverReadOurBlock)
{
    // Firefox runs since before the switch: its lock is older than our user.js.
    fs::create_symlink("127.0.1.1:+" + std::to_string(::getpid()), m_relative / "lock");
    const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (m_relative / "lock").c_str(), past, AT_SYMLINK_NOFOLLOW), 0);
    ASSERT_EQ(desktop::set(Target::Firefox, 8080).outcome, Outcome::Done);
    const desktop::Result result = desktop::unset(Target::Firefox);
    EXPECT_EQ(result.outcome, Outcome::Done) << result.message;
    EXPECT_EQ(contents(m_relative / "user.js"), kUserJs);
    EXPECT_FALSE(desktop::DesktopIntegration::journalPending());
}

TEST_F(FileTargetsTest, AFailedSetLeavesNothingHalfDone)
{
    // The second profile's user.js leads into a path that cannot hold a file, so its
    // write fails after the first profile's user.js was written.
    write(home() / ".mozilla" / "firefox" / "profiles.ini",
          "[Profile0]\nIsRelative=1\nPath=abcd.default-release\n\n[Profile1]\nIsRelative=0\nPath=" +
              m_absolute.string() + "\n");
    write(home() / "plain-file", "x");
    fs::create_symlink(home() / "plain-file" / "user.js", m_absolute / "user.js");
    const auto before = snapshot();

    const desktop::Result result = desktop::set(Target::Firefox, 8080);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_NE(result.message.find((m_absolute / "user.js").string()), std::string::npos)
        << result.message;
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(modeOf(m_relative / "user.js"), 0640u);
    EXPECT_FALSE(desktop::DesktopIntegration::journalPending());
}

TEST_F(FileTargetsTest, ADamagedJournalStopsTheSwitchAndIsKept)
{
    write(desktop::DesktopIntegration::journalPath(),
          "umbravia-desktop-journal 1\ntarget kde\nfile 9");
    const desktop::Result result = desktop::set(Target::Kde, 8080);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_NE(result.message.find("is damaged"), std::string::npos);
    EXPECT_EQ(contents(config() / "kioslaverc"), kKioslaverc);
    const auto reports = desktop::DesktopIntegration::switchOff();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].result.outcome, Outcome::Failed);
    EXPECT_EQ(contents(desktop::DesktopIntegration::journalPath()),
              "umbravia-desktop-journal 1\ntarget kde\nfile 9");
}

TEST_F(FileTargetsTest, SwitchOnFollowsTheChoicesAndBadPortsAreRefused)
{
    desktop::Choices kdeOnly;
    kdeOnly[Target::Kde] = true;
    expectAllDone(desktop::DesktopIntegration::switchOn(8080, allFileTargets()), 3);
    // The Firefox and environment choices went off: those targets go back now.
    const auto reports = desktop::DesktopIntegration::switchOn(8080, kdeOnly);
    expectAllDone(reports, 3);
    EXPECT_EQ(contents(m_relative / "user.js"), kUserJs);
    EXPECT_FALSE(fs::exists(environmentFile()));
    EXPECT_NE(contents(config() / "kioslaverc")->find("ProxyType=1"), std::string::npos);

    for (unsigned port : {0u, 65536u}) {
        EXPECT_EQ(desktop::set(Target::Kde, port).outcome, Outcome::Failed);
    }
}

TEST_F(FileTargetsTest, StoredChoicesAreOnWhenOneOrWhenMissingAndDetected)
{
    const settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    ASSERT_EQ(main.writeDword(desktop::IntegrateWithKDEValue, 0), ERROR_SUCCESS);
    ASSERT_EQ(main.writeDword(desktop::IntegrateWithEnvironmentValue, 2), ERROR_SUCCESS);
    desktop::Choices choices = desktop::storedChoices();
    EXPECT_FALSE(choices[Target::Kde]);
    EXPECT_TRUE(choices[Target::Firefox]); // no value, detected
    EXPECT_FALSE(choices[Target::Environment]);
    EXPECT_FALSE(choices[Target::Gnome]); // no value, not detected
    ASSERT_EQ(main.writeDword(desktop::IntegrateWithKDEValue, 1), ERROR_SUCCESS);
    EXPECT_TRUE(desktop::storedChoices()[Target::Kde]);
}

TEST_F(FileTargetsTest, BackupAndRestoreBringBackTheProxySettingsOnly)
{
    const settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    const fs::path install = m_prefix.path() / "install";
    fs::create_directories(install);
    ASSERT_EQ(main.writeString(nullptr, platform::toDosPath(install / "Umbravia.exe").str()),
              ERROR_SUCCESS);
    EXPECT_EQ(desktop::restore(Target::Kde).outcome, Outcome::Failed); // no backup yet
    ASSERT_EQ(desktop::backup(Target::Kde).outcome, Outcome::Done);
    ASSERT_EQ(desktop::backup(Target::Firefox).outcome, Outcome::Done);
    EXPECT_TRUE(fs::exists(install / "Backup" / "KDE.settings"));

    write(config() / "kioslaverc", "[Proxy Settings]\nProxyType=2\nhttpsProxy=s 1\nMine=1\n", 0600);
    write(m_relative / "prefs.js", kPrefsJs + "user_pref(\"network.proxy.http_port\", 1);\n", 0600);
    ASSERT_EQ(desktop::restore(Target::Kde).outcome, Outcome::Done);
    ASSERT_EQ(desktop::restore(Target::Firefox).outcome, Outcome::Done);
    EXPECT_EQ(contents(config() / "kioslaverc"),
              "[Proxy Settings]\nProxyType=0\nhttpsProxy=s 1\nMine=1\n");
    EXPECT_EQ(contents(m_relative / "prefs.js"), kPrefsJs);
    EXPECT_EQ(contents(m_relative / "user.js"), kUserJs);
}

} // namespace
