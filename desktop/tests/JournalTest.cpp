// The journal's file format and its lock: any bytes survive a round trip, a damaged file
// is recognised (and never taken for an empty one), and one switch runs at a time.

#include "Journal.h"

#include "DesktopTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using desktop::FileRecord;
using desktop::JournalData;
using desktop::SettingRecord;
using desktop::Target;
using desktop::TargetRecord;

JournalData sample()
{
    JournalData data;
    std::string binary("line one\nline two\r\n\0 end: 12:x -\n", 33);
    data.targets.push_back(TargetRecord{
        Target::Firefox,
        {FileRecord{"user.js", "/tmp/a b/user.js", 0600, binary, std::string("written\n")},
         FileRecord{"prefs.js", "/tmp/a b/prefs.js", 0644, std::nullopt, std::nullopt}},
        {},
        {"/tmp/a b", "/tmp/a b/made"}});
    data.targets.push_back(TargetRecord{
        Target::Gnome,
        {},
        {SettingRecord{"org.gnome.system.proxy", "mode", std::nullopt, std::string("'manual'")},
         SettingRecord{"org.gnome.system.proxy.http", "port", std::string("3128"),
                       std::string("8080")}},
        {}});
    return data;
}

bool same(const JournalData& a, const JournalData& b)
{
    return desktop::formatJournal(a) == desktop::formatJournal(b);
}

TEST(JournalFormatTest, EveryByteSurvivesARoundTrip)
{
    const JournalData data = sample();
    const std::string text = desktop::formatJournal(data);
    platform::Result<JournalData> back = desktop::parseJournal(text);
    ASSERT_TRUE(back) << back.error().message;
    ASSERT_EQ(back->targets.size(), 2u);
    const FileRecord& userJs = back->targets[0].files[0];
    EXPECT_EQ(userJs.original->size(), 33u);
    EXPECT_EQ(userJs.original, data.targets[0].files[0].original);
    EXPECT_EQ(userJs.mode, 0600u);
    EXPECT_FALSE(back->targets[0].files[1].original);
    EXPECT_FALSE(back->targets[0].files[1].written);
    EXPECT_FALSE(back->targets[1].settings[0].original);
    EXPECT_EQ(back->targets[1].settings[1].original, "3128");
    EXPECT_EQ(back->targets[0].madeFolders.size(), 2u);
    EXPECT_TRUE(same(*back, data));
}

TEST(JournalFormatTest, EveryCutOrChangedByteIsDamage)
{
    const std::string text = desktop::formatJournal(sample());
    // Cut anywhere but after a whole record: damaged, never a shorter journal.
    for (std::size_t cut = 0; cut < text.size(); ++cut) {
        if (cut > 0 && text[cut - 1] == '\n') {
            continue;
        }
        EXPECT_FALSE(desktop::parseJournal(text.substr(0, cut))) << "cut at " << cut;
    }
    for (const char* bad :
         {"umbravia-desktop-journal 2\n", "umbravia-desktop-journal 1\nfile 1:x\n",
          "umbravia-desktop-journal 1\ntarget windows\n",
          "umbravia-desktop-journal 1\ntarget kde\ntarget kde\n",
          "umbravia-desktop-journal 1\ntarget kde\nfile 3:kio 8:relative 4:0644 - -\n",
          "umbravia-desktop-journal 1\ntarget kde\nfile 3:kio 2:/x 4:0999 - -\n",
          "umbravia-desktop-journal 1\ntarget kde\nfile 3:kio 2:/x 4:0644 99:a -\n",
          "umbravia-desktop-journal 1\ntarget kde\nfolder 1:x\n"}) {
        platform::Result<JournalData> parsed = desktop::parseJournal(bad);
        ASSERT_FALSE(parsed) << bad;
        EXPECT_NE(parsed.error().message.find("damaged at byte"), std::string::npos);
    }
}

class JournalFileTest : public desktoptest::DesktopTest {};

TEST_F(JournalFileTest, IsWrittenInOneStepAndRemovedWhenEmpty)
{
    const std::filesystem::path file = m_prefix.path() / "desktop-journal";
    {
        desktop::JournalFile journal(file);
        ASSERT_EQ(journal.problem(), "");
        journal.data() = sample();
        ASSERT_TRUE(journal.save());
    }
    EXPECT_EQ(modeOf(file), 0600u);
    {
        desktop::JournalFile journal(file);
        EXPECT_TRUE(same(journal.data(), sample()));
        journal.data().targets.clear();
        ASSERT_TRUE(journal.save());
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    // No temporary file is left beside it.
    for (const auto& entry : std::filesystem::directory_iterator(m_prefix.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".desktop-journal"), std::string::npos);
    }
}

TEST_F(JournalFileTest, ADamagedJournalIsKeptAsItIs)
{
    const std::filesystem::path file = m_prefix.path() / "desktop-journal";
    const std::string damaged = desktop::formatJournal(sample()).substr(0, 60);
    write(file, damaged);
    desktop::JournalFile journal(file);
    EXPECT_NE(journal.problem().find("is damaged at byte"), std::string::npos) << journal.problem();
    EXPECT_FALSE(journal.save());
    EXPECT_EQ(contents(file), damaged);
}

TEST_F(JournalFileTest, OneHolderAtATimeAlsoAcrossThreads)
{
    const std::filesystem::path file = m_prefix.path() / "desktop-journal";
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            for (int round = 0; round < 10; ++round) {
                desktop::JournalFile journal(file);
                overlapped = overlapped || inside.fetch_add(1) != 0;
                journal.data().targets.push_back(TargetRecord{Target::Kde, {}, {}, {}});
                (void)journal.save();
                journal.data().targets.clear();
                (void)journal.save();
                inside.fetch_sub(1);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(overlapped);
}

} // namespace
