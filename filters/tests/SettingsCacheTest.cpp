// The settings snapshot kept between calls: every registry change, made in this process
// or another, is seen at the next call; a snapshot of one prefix is never served in
// another; broken settings are never kept.

#include "FiltersModule.h"

#include <platform/Environment.h>
#include <platform/Registry.h>

#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace filters::testing {
namespace {

const std::string Page = "<title>Secret</title>";
const std::string Blanked = "<title>      </title>";
const std::string Request = "GET http://www.example.com/a.html HTTP/1.1\r\n"
                            "Host: www.example.com\r\n"
                            "User-Agent: Mozilla/4.0\r\n"
                            "\r\n";

// A thread that lives on between the calls it is given, as a connection thread does, so
// that what it keeps of the settings outlasts each call.
class LastingThread {
public:
    LastingThread() : m_thread([this] { serve(); }) {}
    ~LastingThread()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    // Runs call on the thread and waits for it.
    void run(const std::function<void()>& call)
    {
        std::unique_lock lock(m_mutex);
        m_call = &call;
        m_wake.notify_all();
        m_wake.wait(lock, [this] { return m_call == nullptr; });
    }

private:
    void serve()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || m_call != nullptr; });
            if (m_call == nullptr) {
                return;
            }
            (*m_call)();
            m_call = nullptr;
            m_wake.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    const std::function<void()>* m_call = nullptr;
    bool m_stop = false;
    std::thread m_thread; // last: started once the rest is ready
};

class SettingsCache : public FiltersModule {
protected:
    void SetUp() override
    {
        FiltersModule::SetUp();
        setResponse(nullptr, 1);
        setRequest(nullptr, 1);
    }

    // Imports a .reg text with RegEdit.exe: a process of its own.
    void importInAnotherProcess(const std::string& body)
    {
        const std::string file = (m_prefix.path() / "change.reg").string();
        std::ofstream(file) << "Windows Registry Editor Version 5.00\r\n\r\n" << body;
        const testsupport::ProcessResult result =
            testsupport::runProcess({(testsupport::binDir() / "RegEdit.exe").string(), "/s", file});
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }
};

TEST_F(SettingsCache, EachKindOfChangeIsSeenAtTheNextCall)
{
    EXPECT_EQ(response(Page), Page);
    setResponse("HIDEPAGETITLE", 1); // a switch
    EXPECT_EQ(response(Page), Blanked);
    setLevel(2); // the level: no response filtering at all
    EXPECT_EQ(response(Page), Page);
    setLevel(0xFFFFFFFF);
    EXPECT_EQ(response(Page), Blanked);

    EXPECT_EQ(request(Request), Request);
    const std::string stopList = std::string(settings::RequestKey) + "\\STOPSERVERS";
    settings::saveList(HKEY_LOCAL_MACHINE, stopList.c_str(), {1, {"WWW.EXAMPLE"}}); // a list
    EXPECT_EQ(request(Request), std::nullopt);
    settings::saveList(HKEY_LOCAL_MACHINE, stopList.c_str(), {0, {"WWW.EXAMPLE"}}); // its switch
    EXPECT_EQ(request(Request), Request);

    setResponse("BLOCKBANNERS", 1);
    EXPECT_EQ(request(Request), Request);
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::BannersKey)
        .writeString("www.example.com", "localhost"); // the banner table
    EXPECT_EQ(request(Request)->find("www.example.com"), std::string::npos);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(SettingsCache, AChangeMadeByAnotherProcessIsSeenAtTheNextCall)
{
    EXPECT_EQ(response(Page), Page);
    importInAnotherProcess("[HKEY_LOCAL_MACHINE\\" + std::string(settings::ResponseKey) +
                           "]\r\n\"HIDEPAGETITLE\"=dword:00000001\r\n");
    EXPECT_EQ(response(Page), Blanked);

    EXPECT_EQ(request(Request), Request);
    importInAnotherProcess("[HKEY_LOCAL_MACHINE\\" + std::string(settings::MainKey) +
                           "]\r\n\"PRIVACYLEVEL\"=dword:00000002\r\n");
    EXPECT_EQ(request(Request)->find("User-Agent"), std::string::npos);
    EXPECT_EQ(response(Page), Page); // level 2: no response filtering
}

// Each connection thread keeps its own reference to the settings: a change made on
// another thread is seen by every one of them at its next call, on both sides.
TEST_F(SettingsCache, EveryThreadSeesAChangeAtItsNextCall)
{
    LastingThread threads[2];
    auto responses = [&](const std::string& expected) {
        for (LastingThread& thread : threads) {
            std::string filtered;
            thread.run([&] { filtered = response(Page); });
            EXPECT_EQ(filtered, expected);
        }
    };
    auto requestsPass = [&](bool expected) {
        for (LastingThread& thread : threads) {
            bool passed = false;
            thread.run([&] { passed = request(Request).has_value(); });
            EXPECT_EQ(passed, expected);
        }
    };
    responses(Page);
    requestsPass(true);
    setResponse("HIDEPAGETITLE", 1);
    responses(Blanked);
    setLevel(2); // no response filtering at this level
    responses(Page);
    setLevel(0xFFFFFFFF);
    responses(Blanked);
    const std::string stopList = std::string(settings::RequestKey) + "\\STOPSERVERS";
    settings::saveList(HKEY_LOCAL_MACHINE, stopList.c_str(), {1, {"WWW.EXAMPLE"}});
    requestsPass(false);
    settings::saveList(HKEY_LOCAL_MACHINE, stopList.c_str(), {0, {"WWW.EXAMPLE"}});
    requestsPass(true);
    EXPECT_TRUE(m_boxes->calls().empty());
}

// The request side follows the page options too: while one is on, pages are asked for
// uncompressed; the request snapshot is rebuilt when they change, like every other.
TEST_F(SettingsCache, PageOptionsDecideTheRequestsAcceptEncodingAtTheNextCall)
{
    const std::string compressed = "GET http://www.example.com/ HTTP/1.1\r\n"
                                   "Accept-Encoding: gzip, deflate, br, zstd\r\n\r\n";
    const std::string plain = "GET http://www.example.com/ HTTP/1.1\r\n\r\n";
    EXPECT_EQ(request(compressed), compressed);
    setResponse("REMOVEFLASH", 1);
    EXPECT_EQ(request(compressed), plain);
    setResponse(nullptr, 0); // response filtering off: the options do nothing
    EXPECT_EQ(request(compressed), compressed);
    setResponse(nullptr, 1);
    setLevel(2); // no response filtering at this level
    EXPECT_EQ(request(compressed), compressed);
    setLevel(3); // the page options on, whatever the registry says
    setResponse("REMOVEFLASH", 0);
    EXPECT_EQ(request(compressed), plain);
    setLevel(0xFFFFFFFF);
    EXPECT_EQ(request(compressed), compressed);
    // Images and banners act on requests only: the pages can stay compressed.
    setResponse("BLOCKIMAGES", 1);
    setResponse("BLOCKBANNERS", 1);
    EXPECT_EQ(request(compressed), compressed);
    EXPECT_TRUE(m_boxes->calls().empty());
}

// Two prefixes whose change counters stand at the same number: the second must not be
// served the first one's settings.
TEST_F(SettingsCache, AnotherPrefixAtTheSameCounterIsReadAfresh)
{
    setResponse("HIDEPAGETITLE", 1);
    EXPECT_EQ(response(Page), Blanked);
    const std::uint64_t counter = platform::registry::changeCounter();

    testsupport::TempPrefix other;
    ASSERT_EQ(m_registerDll("C:\\Program Files\\Umbravia\\Filters.dll"), 1);
    setLevel(0xFFFFFFFF);
    setResponse(nullptr, 1);
    setRequest(nullptr, 1);
    setResponse("HIDEPAGETITLE", 0);
    ASSERT_EQ(platform::registry::changeCounter(), counter) << "the case needs equal counters";
    EXPECT_EQ(response(Page), Page);
    platform::setPrefix(m_prefix.path());
}

TEST_F(SettingsCache, BrokenSettingsAreReadAgainUntilRepaired)
{
    EXPECT_EQ(response(Page), Page);
    settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_ALL_ACCESS);
    ASSERT_EQ(RegDeleteValue(main.get(), "PRIVACYLEVEL"), ERROR_SUCCESS);
    EXPECT_EQ(response(Page), std::string(Page.size(), '\0'));
    EXPECT_EQ(response(Page), std::string(Page.size(), '\0'));
    EXPECT_EQ(m_boxes->calls().size(), 2u);
    setLevel(0xFFFFFFFF);
    EXPECT_EQ(response(Page), Page);
    EXPECT_EQ(m_boxes->calls().size(), 2u);
}

} // namespace
} // namespace filters::testing
