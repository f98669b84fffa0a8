// The handle table behind CloseHandle, as the other kinds of kernel objects use it.

#include "../src/Handles.h"

#include <platform/Files.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

using platform::detail::HandleKind;
using HandlesTest = testsupport::PrefixTest;

class Probe : public platform::detail::KernelObject {
public:
    explicit Probe(bool& destroyed) : KernelObject(HandleKind::Event), m_destroyed(destroyed) {}
    ~Probe() override { m_destroyed = true; }

private:
    bool& m_destroyed;
};

TEST_F(HandlesTest, CloseHandleDestroysTheObjectOnceAndRefusesStaleHandles)
{
    bool destroyed = false;
    HANDLE handle = platform::detail::registerHandle(std::make_shared<Probe>(destroyed));
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_NE(platform::detail::lookupHandle(handle, HandleKind::Event), nullptr);
    // Another kind's functions refuse it.
    EXPECT_EQ(platform::detail::lookupHandle(handle, HandleKind::File), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FindClose(handle));
    EXPECT_FALSE(destroyed);

    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(platform::detail::lookupHandle(handle), nullptr);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST_F(HandlesTest, AnObjectInUseOutlivesItsCloseAndDuplicatesShareIt)
{
    bool destroyed = false;
    auto object = std::make_shared<Probe>(destroyed);
    HANDLE first = platform::detail::registerHandle(object);
    HANDLE second = platform::detail::registerHandle(object);
    object.reset();
    EXPECT_NE(first, second);

    std::shared_ptr<platform::detail::KernelObject> inUse = platform::detail::lookupHandle(first);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_FALSE(destroyed); // still used by a caller
    inUse.reset();
    EXPECT_TRUE(destroyed);
}

TEST_F(HandlesTest, HandlesAreUniqueAcrossThreads)
{
    std::vector<std::vector<HANDLE>> perThread(4);
    std::vector<std::thread> threads;
    for (auto& handles : perThread) {
        threads.emplace_back([&handles] {
            for (int i = 0; i < 500; ++i) {
                bool destroyed = false;
                HANDLE h = platform::detail::registerHandle(std::make_shared<Probe>(destroyed));
                handles.push_back(h);
                CloseHandle(h);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    std::set<HANDLE> all;
    for (const auto& handles : perThread) {
        all.insert(handles.begin(), handles.end());
    }
    EXPECT_EQ(all.size(), 2000u); // never reused, even after a close
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
