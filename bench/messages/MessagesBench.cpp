// Message delivery costs: the proxy posts to the main window on every relayed chunk, and
// outside windows send to it across processes.

#include <platform/Application.h>
#include <platform/Environment.h>
#include <platform/Window.h>
#include <platform/Windows.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr UINT kCount = WM_USER + 1;
constexpr UINT kEcho = WM_USER + 2;
constexpr const char* kClass = "UmbraviaBenchWnd";

class CountingWindow : public platform::Window {
public:
    CountingWindow() { createWindow(kClass, "bench"); }
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kCount) {
            m_count.fetch_add(1, std::memory_order_relaxed);
            return 0;
        }
        if (message == kEcho) {
            return static_cast<LRESULT>(wParam + 1);
        }
        return Window::windowProc(message, wParam, lParam);
    }
    std::atomic<long> m_count{0};
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void pump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
}

// Median cost of one PostMessage from a second thread while the owner thread drains.
double postMicroseconds()
{
    CountingWindow window;
    HWND hwnd = window.hwnd();
    constexpr int kBatches = 60;
    constexpr int kBatch = 1000;
    std::vector<double> perPost;
    std::atomic<bool> done{false};
    std::thread poster([&] {
        for (int b = 0; b < kBatches; ++b) {
            auto start = Clock::now();
            for (int i = 0; i < kBatch; ++i) {
                PostMessage(hwnd, kCount, static_cast<WPARAM>(i), 0);
            }
            std::chrono::duration<double, std::micro> took = Clock::now() - start;
            perPost.push_back(took.count() / kBatch);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done = true;
    });
    while (!done || window.m_count.load() < long{kBatches} * kBatch) {
        pump();
    }
    poster.join();
    return median(perPost);
}

pid_t startChild(const char* self)
{
    char role[] = "--child";
    char* argv[] = {const_cast<char*>(self), role, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, environ) != 0) {
        return 0;
    }
    return pid;
}

// Median round trip of a SendMessage to a window of another process.
double sendCrossProcessMicroseconds(const char* self)
{
    pid_t child = startChild(self);
    if (child == 0) {
        return -1;
    }
    HWND hwnd = 0;
    for (int i = 0; i < 1000 && hwnd == 0; ++i) {
        hwnd = FindWindow(kClass, "child");
        if (hwnd == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::vector<double> samples;
    if (hwnd != 0) {
        for (int i = 0; i < 200; ++i) {
            SendMessage(hwnd, kEcho, 1, 0); // warm up
        }
        for (int i = 0; i < 3000; ++i) {
            auto start = Clock::now();
            LRESULT r = SendMessage(hwnd, kEcho, static_cast<WPARAM>(i), 0);
            std::chrono::duration<double, std::micro> took = Clock::now() - start;
            if (r != i + 1) {
                std::fprintf(stderr, "bench: wrong answer %ld\n", static_cast<long>(r));
                break;
            }
            samples.push_back(took.count());
        }
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return samples.empty() ? -1 : median(samples);
}

int childMain()
{
    CountingWindow window;
    SetWindowText(window.hwnd(), "child");
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        return childMain();
    }
    std::string folder =
        (std::filesystem::temp_directory_path() / "umbravia-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        return 1;
    }
    platform::setPrefix(folder); // children inherit it through UMBRAVIA_PREFIX

    double post = postMicroseconds();
    double send = sendCrossProcessMicroseconds(argv[0][0] == '/' ? argv[0] : "/proc/self/exe");
    std::printf("messages.post_us %.3f us\n", post);
    std::printf("messages.send_xproc_us %.1f us\n", send);

    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return post > 0 && send > 0 ? 0 : 1;
}
