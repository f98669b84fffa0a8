#pragma once
// The desktop tests' ground: a prefix and a home folder of the test's own. GSettings is
// never reached from a test process itself: GIO would pick its back end and read HOME
// once per process, so the GNOME cases run desktop_probe in a process of their own, and
// here the memory back end makes the GNOME target absent.

#include "TestSupport.h"

#include <desktop/DesktopIntegration.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace desktoptest {

// Variables that make a target count as present; the tests decide that themselves.
class SessionVariables {
public:
    SessionVariables()
    {
        for (const char* name : {"XDG_CURRENT_DESKTOP", "KDE_FULL_SESSION"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value != nullptr ? std::optional<std::string>(value)
                                                        : std::nullopt);
            ::unsetenv(name);
        }
    }
    ~SessionVariables()
    {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Before GIO's first use in this process, which picks the back end for good.
        ::setenv("GSETTINGS_BACKEND", "memory", 1);
        ASSERT_TRUE(testsupport::insideTemporaryFolder(m_home.path()));
        ASSERT_EQ(std::string(std::getenv("HOME")), m_home.path().string());
        // Without systemd's generator the login environment counts only with its folder.
        if (!desktop::detected(desktop::Target::Environment)) {
            std::filesystem::create_directories(config() / "environment.d");
        }
    }

    std::filesystem::path home() const { return m_home.path(); }
    std::filesystem::path config() const { return m_home.config(); }

    static void write(const std::filesystem::path& file, const std::string& bytes,
                      unsigned mode = 0644)
    {
        std::filesystem::create_directories(file.parent_path());
        testsupport::writeFile(file, bytes);
        ::chmod(file.c_str(), mode);
    }
    static std::optional<std::string> contents(const std::filesystem::path& file)
    {
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec))) {
            return std::nullopt;
        }
        return testsupport::readFile(file);
    }
    static unsigned modeOf(const std::filesystem::path& file)
    {
        struct stat st {};
        return ::stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
    }

    testsupport::TempPrefix m_prefix;
    testsupport::TempHome m_home;
    SessionVariables m_session;
};

} // namespace desktoptest
