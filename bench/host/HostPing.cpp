// Sends the main window of the running host message 1226 (accepted and ignored) once
// every INTERVAL_MS for SECONDS and prints the median and the worst round trip:
//   host_ping SECONDS INTERVAL_MS
// in the prefix named by UMBRAVIA_PREFIX. A window that keeps up with thousands of
// notifications a second answers within a few milliseconds.

#include <common/HostMessages.h>
#include <platform/Application.h>
#include <platform/Windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: host_ping SECONDS INTERVAL_MS\n");
        return 2;
    }
    platform::Application application(argc, argv);
    const HWND window = FindWindow(DIALOG_CLASS, hostlink::MainWindowTitle);
    if (window == 0) {
        std::fprintf(stderr, "host_ping: no main window\n");
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::seconds(std::atoi(argv[1]));
    const auto interval = std::chrono::milliseconds(std::atoi(argv[2]));
    std::vector<double> trips;
    int failures = 0;
    while (Clock::now() < end) {
        const auto start = Clock::now();
        SetLastError(0);
        SendMessage(window, msg::Reserved1226, 0, 0);
        if (GetLastError() != 0) {
            ++failures;
        }
        trips.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::this_thread::sleep_for(interval);
    }
    if (trips.empty()) {
        return 1;
    }
    std::sort(trips.begin(), trips.end());
    std::printf("%.2f %.2f %d\n", trips[trips.size() / 2], trips.back(), failures);
    return 0;
}
