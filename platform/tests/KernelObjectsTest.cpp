// Events and sections, unnamed and named, within a process and across processes.

#include "WindowsTestSupport.h"

#include <platform/KernelObjects.h>

#include <signal.h>

#include <cstdio>
#include <cstring>
#include <future>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr const char* kStartedEvent = "KestraniHollowmereStartedEvent";
constexpr const char* kMainWndSection = "hKestraniHollowmereMainWnd";

int setEventChild(const std::vector<std::string>& args)
{
    HANDLE event = OpenEvent(EVENT_MODIFY_STATE, FALSE, args.at(0).c_str());
    if (event == nullptr) {
        return 2;
    }
    SetEvent(event);
    CloseHandle(event);
    return 0;
}
wintest::ChildRole g_set("set-event", setEventChild);

int waitEventChild(const std::vector<std::string>& args)
{
    HANDLE event = OpenEvent(SYNCHRONIZE, FALSE, args.at(0).c_str());
    if (event == nullptr) {
        return 2;
    }
    std::printf("waiting\n");
    std::fflush(stdout);
    DWORD r = WaitForSingleObject(event, static_cast<DWORD>(std::stoul(args.at(1))));
    CloseHandle(event);
    return r == WAIT_OBJECT_0 ? 0 : 1;
}
wintest::ChildRole g_wait("wait-event", waitEventChild);

// Holds a named event until killed.
int holdEventChild(const std::vector<std::string>& args)
{
    HANDLE event = CreateEvent(nullptr, FALSE, FALSE, args.at(0).c_str());
    if (event == nullptr) {
        return 2;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(60s);
    return 0;
}
wintest::ChildRole g_hold("hold-event", holdEventChild);

// Reads the section's 4 bytes, prints them, writes them back plus one.
int sectionChild(const std::vector<std::string>& args)
{
    HANDLE section = OpenFileMapping(FILE_MAP_ALL_ACCESS, FALSE, args.at(0).c_str());
    if (section == nullptr) {
        return 2;
    }
    auto* view = static_cast<DWORD*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 4));
    if (view == nullptr) {
        return 3;
    }
    std::printf("%u\n", *view);
    *view += 1;
    UnmapViewOfFile(view);
    CloseHandle(section);
    return 0;
}
wintest::ChildRole g_section("section", sectionChild);

class KernelObjectsTest : public testsupport::PrefixTest {};

} // namespace

TEST_F(KernelObjectsTest, AutoResetEventReleasesOneWaitThenResets)
{
    HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 10), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(KernelObjectsTest, ManualResetEventStaysSignalledUntilReset)
{
    HANDLE event = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST_F(KernelObjectsTest, InfiniteWaitEndsWhenAnotherThreadSets)
{
    HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    auto waiter =
        std::async(std::launch::async, [event] { return WaitForSingleObject(event, INFINITE); });
    EXPECT_EQ(waiter.wait_for(20ms), std::future_status::timeout);
    SetEvent(event);
    ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiter.get(), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST_F(KernelObjectsTest, NamedEventsAreOpenedAgainAndFreedWithTheLastHandle)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    HANDLE first = CreateEvent(nullptr, FALSE, FALSE, kStartedEvent);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEvent(nullptr, TRUE, TRUE, kStartedEvent);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    // The existing event keeps its mode and state: not signalled, auto-reset.
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);

    // Names are case-sensitive, as on Windows.
    EXPECT_EQ(OpenEvent(SYNCHRONIZE, FALSE, "kestranihollowmerestartedevent"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    CloseHandle(first);
    SetEvent(second);
    CloseHandle(second);
    EXPECT_EQ(OpenEvent(SYNCHRONIZE, FALSE, kStartedEvent), nullptr);
    HANDLE fresh = CreateEvent(nullptr, FALSE, FALSE, kStartedEvent);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_TIMEOUT) << "a new event, not the old state";
    CloseHandle(fresh);
}

TEST_F(KernelObjectsTest, ANamedEventSetByOneProcessEndsTheWaitOfAnother)
{
    HANDLE event = CreateEvent(nullptr, FALSE, FALSE, kStartedEvent);
    ASSERT_NE(event, nullptr);
    auto set = testsupport::runProcess(wintest::childCommand("set-event", {kStartedEvent}));
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);

    // And the other way round: the child waits, we set.
    testsupport::ChildProcess waiter(wintest::childCommand("wait-event", {kStartedEvent, "10000"}));
    ASSERT_TRUE(testsupport::waitFor([&] { return waiter.out().find("waiting") == 0; }));
    SetEvent(event);
    auto result = waiter.wait(10s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, 0) << result->err;
    CloseHandle(event);
}

TEST_F(KernelObjectsTest, ANameHeldOnlyByAKilledProcessIsFreeAgain)
{
    testsupport::ChildProcess holder(wintest::childCommand("hold-event", {"HeldEvent"}));
    ASSERT_TRUE(testsupport::waitFor([&] { return holder.out().find("holding") == 0; }))
        << holder.err();
    HANDLE opened = OpenEvent(SYNCHRONIZE, FALSE, "HeldEvent");
    ASSERT_NE(opened, nullptr);
    CloseHandle(opened);
    holder.signal(SIGKILL);
    ASSERT_TRUE(holder.wait(10s).has_value());
    EXPECT_EQ(OpenEvent(SYNCHRONIZE, FALSE, "HeldEvent"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(KernelObjectsTest, TheNamedSectionIsSharedBetweenProcesses)
{
    HANDLE section =
        CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kMainWndSection);
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    auto* view = static_cast<DWORD*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(*view, 0u) << "a new section is zero-filled";
    *view = 0x1234;
    EXPECT_TRUE(UnmapViewOfFile(view));

    auto result = testsupport::runProcess(wintest::childCommand("section", {kMainWndSection}));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "4660\n");

    view = static_cast<DWORD*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 4));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(*view, 0x1235u);
    // A view keeps the section alive after its handle is closed.
    EXPECT_TRUE(CloseHandle(section));
    auto* second = static_cast<DWORD*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 4));
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(*view, 0x1235u);
    HANDLE again = OpenFileMapping(FILE_MAP_READ, FALSE, kMainWndSection);
    ASSERT_NE(again, nullptr);
    CloseHandle(again);
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(OpenFileMapping(FILE_MAP_READ, FALSE, kMainWndSection), nullptr);
}

TEST_F(KernelObjectsTest, TwoViewsOfOneSectionSeeTheSameBytes)
{
    HANDLE section =
        CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192, nullptr);
    ASSERT_NE(section, nullptr);
    auto* a = static_cast<char*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0));
    auto* b = static_cast<char*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 4096, 16));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a + 4096, b);
    std::strcpy(a + 4096, "shared");
    EXPECT_STREQ(b, "shared");
    EXPECT_EQ(MapViewOfFile(section, FILE_MAP_READ, 0, 8192, 0), nullptr);
    EXPECT_EQ(MapViewOfFile(section, FILE_MAP_READ, 0, 8000, 500), nullptr);
    UnmapViewOfFile(a);
    UnmapViewOfFile(b);
    CloseHandle(section);
}

TEST_F(KernelObjectsTest, SectionsNeedThePagingFileAndASize)
{
    EXPECT_EQ(
        CreateFileMapping(reinterpret_cast<HANDLE>(0x100), nullptr, PAGE_READWRITE, 0, 4, "x"),
        nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, "x"), nullptr);
    EXPECT_EQ(MapViewOfFile(nullptr, FILE_MAP_READ, 0, 0, 0), nullptr);
    EXPECT_EQ(OpenFileMapping(FILE_MAP_READ, FALSE, "missing"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // Names with any character, including the namespace prefixes, work.
    HANDLE odd = CreateEvent(nullptr, TRUE, FALSE, "Global\\odd/name with blanks");
    ASSERT_NE(odd, nullptr);
    HANDLE same = OpenEvent(SYNCHRONIZE, FALSE, "odd/name with blanks");
    EXPECT_NE(same, nullptr);
    CloseHandle(same);
    CloseHandle(odd);
}

UMBRAVIA_WINDOWS_TEST_MAIN()
