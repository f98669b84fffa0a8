#pragma once
// The start of every program of the suite: records the command line (GetCommandLine,
// GetModuleFileName), selects Qt's offscreen platform when there is no display
// (DISPLAY and WAYLAND_DISPLAY unset), creates the Qt application, and shows message
// boxes as Qt boxes when the program has a screen (headless lines on standard error
// otherwise).
//
//     int main(int argc, char** argv)
//     {
//         platform::Application app(argc, argv);
//         ...
//     }

#include <memory>

class QApplication;

namespace platform {

class Application {
public:
    Application(int& argc, char** argv);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    QApplication& qt() { return *m_app; }
    // Runs the main thread's event loop until PostQuitMessage; as on Windows, closing the
    // last window does not end it by itself.
    int exec();
    // Whether the program shows its windows on a screen (false on the offscreen platform).
    bool hasScreen() const { return m_hasScreen; }

    // Whether a display is there to show windows on.
    static bool displayAvailable();

private:
    std::unique_ptr<QApplication> m_app;
    bool m_hasScreen = false;
};

} // namespace platform
