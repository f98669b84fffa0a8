// Window geometry over real widgets on Qt's offscreen platform: client and window
// rectangles, client-to-screen, descendants in creation order, the desktop and the work
// area, and the same answers for a caller on another thread.

#include "WindowsTestSupport.h"

#include <platform/Window.h>
#include <platform/Windows.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// RECT lives in the global namespace: its comparison and printing must too.
static bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

[[maybe_unused]] static void PrintTo(const RECT& r, std::ostream* os)
{
    *os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

namespace {

class Handle final : public platform::Window {};

// A top-level widget at (120, 80), 300 x 200, with two children; the first has a child
// of its own.
class WindowGeometryTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        m_top = std::make_unique<QWidget>();
        m_top->setGeometry(120, 80, 300, 200);
        attach(m_top.get(), "GeometryTop");
        m_first = new QWidget(m_top.get());
        m_first->setGeometry(10, 20, 50, 40);
        attach(m_first, "GeometryFirst");
        m_inner = new QWidget(m_first);
        m_inner->setGeometry(5, 5, 10, 10);
        attach(m_inner, "GeometryInner");
        m_second = new QWidget(m_top.get());
        m_second->setGeometry(100, 150, 200, 50);
        attach(m_second, "GeometrySecond");
        m_top->show();
    }

    void TearDown() override
    {
        m_handles.clear();
        m_top.reset();
    }

    HWND attach(QWidget* widget, const char* className)
    {
        auto handle = std::make_unique<Handle>();
        EXPECT_TRUE(handle->attachWidget(widget, className));
        m_handles.push_back(std::move(handle));
        return m_handles.back()->hwnd();
    }

    HWND hwnd(std::size_t index) const { return m_handles[index]->hwnd(); }

    std::unique_ptr<QWidget> m_top;
    QWidget* m_first = nullptr;
    QWidget* m_inner = nullptr;
    QWidget* m_second = nullptr;
    std::vector<std::unique_ptr<Handle>> m_handles;
};

BOOL collect(HWND child, LPARAM param)
{
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    return TRUE;
}

BOOL stopAtFirst(HWND child, LPARAM param)
{
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    return FALSE;
}

TEST_F(WindowGeometryTest, RectanglesAndPointsAreInScreenPixels)
{
    RECT rect{};
    ASSERT_TRUE(GetClientRect(hwnd(0), &rect));
    EXPECT_EQ(rect, (RECT{0, 0, 300, 200}));
    // The whole window holds the client area and whatever frame the platform draws.
    ASSERT_TRUE(GetWindowRect(hwnd(0), &rect));
    EXPECT_LE(rect.left, 120);
    EXPECT_LE(rect.top, 80);
    EXPECT_GE(rect.right, 420);
    EXPECT_GE(rect.bottom, 280);
    ASSERT_TRUE(GetWindowRect(hwnd(1), &rect));
    EXPECT_EQ(rect, (RECT{130, 100, 180, 140}));
    ASSERT_TRUE(GetWindowRect(hwnd(2), &rect)); // a grandchild
    EXPECT_EQ(rect, (RECT{135, 105, 145, 115}));
    ASSERT_TRUE(GetClientRect(hwnd(3), &rect));
    EXPECT_EQ(rect, (RECT{0, 0, 200, 50}));

    POINT point{5, 7};
    ASSERT_TRUE(ClientToScreen(hwnd(0), &point));
    EXPECT_EQ(point.x, 125);
    EXPECT_EQ(point.y, 87);
    point = {0, 0};
    ASSERT_TRUE(ClientToScreen(hwnd(3), &point));
    EXPECT_EQ(point.x, 220);
    EXPECT_EQ(point.y, 230);

    // Moving the window moves what the functions report.
    m_top->setGeometry(140, 90, 300, 200);
    ASSERT_TRUE(GetWindowRect(hwnd(1), &rect));
    EXPECT_EQ(rect, (RECT{150, 110, 200, 150}));
}

TEST_F(WindowGeometryTest, WindowsWithoutAWidgetAndBadArgumentsAreRefused)
{
    wintest::RecordingWindow plain;
    RECT rect{};
    EXPECT_FALSE(GetClientRect(plain.hwnd(), &rect));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(GetWindowRect(0x7FFFFFFF, &rect));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(GetClientRect(hwnd(0), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(ClientToScreen(hwnd(0), nullptr));
    EXPECT_FALSE(EnumChildWindows(hwnd(0), nullptr, 0));
}

TEST_F(WindowGeometryTest, DescendantsAreEnumeratedInCreationOrder)
{
    std::vector<HWND> children;
    EXPECT_TRUE(EnumChildWindows(hwnd(0), collect, reinterpret_cast<LPARAM>(&children)));
    EXPECT_EQ(children, (std::vector<HWND>{hwnd(1), hwnd(2), hwnd(3)}));

    children.clear();
    EXPECT_TRUE(EnumChildWindows(hwnd(1), collect, reinterpret_cast<LPARAM>(&children)));
    EXPECT_EQ(children, std::vector<HWND>{hwnd(2)});

    children.clear();
    EXPECT_TRUE(EnumChildWindows(hwnd(0), stopAtFirst, reinterpret_cast<LPARAM>(&children)));
    EXPECT_EQ(children, std::vector<HWND>{hwnd(1)});

    children.clear();
    EXPECT_FALSE(EnumChildWindows(hwnd(3), collect, reinterpret_cast<LPARAM>(&children)));
    EXPECT_TRUE(children.empty());

    // A hidden child is listed, and reported hidden.
    m_second->hide();
    children.clear();
    EnumChildWindows(hwnd(0), collect, reinterpret_cast<LPARAM>(&children));
    EXPECT_EQ(children.size(), 3u);
    EXPECT_FALSE(IsWindowVisible(hwnd(3)));
    EXPECT_TRUE(IsWindowVisible(hwnd(1)));
}

TEST_F(WindowGeometryTest, DesktopAndWorkAreaAreThePrimaryScreens)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    RECT rect{};
    ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &rect));
    EXPECT_EQ(rect, (RECT{0, 0, screen->geometry().width(), screen->geometry().height()}));

    const QRect available = screen->availableGeometry();
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &rect, 0));
    EXPECT_EQ(rect, (RECT{available.x(), available.y(), available.x() + available.width(),
                          available.y() + available.height()}));
    EXPECT_FALSE(SystemParametersInfo(SPI_GETWORKAREA, 0, nullptr, 0));
    EXPECT_FALSE(SystemParametersInfo(0x0001, 0, &rect, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(WindowGeometryTest, AnotherThreadGetsTheSameAnswers)
{
    std::atomic<bool> done{false};
    RECT rect{};
    POINT point{1, 1};
    std::vector<HWND> children;
    std::thread other([&] {
        GetWindowRect(hwnd(1), &rect);
        ClientToScreen(hwnd(0), &point);
        EnumChildWindows(hwnd(0), collect, reinterpret_cast<LPARAM>(&children));
        done = true;
    });
    // The widgets answer from this thread's event loop.
    EXPECT_TRUE(wintest::pumpUntil([&] { return done.load(); }));
    other.join();
    EXPECT_EQ(rect, (RECT{130, 100, 180, 140}));
    EXPECT_EQ(point.x, 121);
    EXPECT_EQ(point.y, 81);
    EXPECT_EQ(children.size(), 3u);
}

} // namespace

UMBRAVIA_WINDOWS_TEST_MAIN()
