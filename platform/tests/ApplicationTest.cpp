// Program start-up without a display: offscreen Qt, headless message boxes.

#include "WindowsTestSupport.h"

#include <platform/Environment.h>
#include <platform/MessageBox.h>

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {

int reportChild(const std::vector<std::string>&)
{
    std::printf("platform=%s\n", QGuiApplication::platformName().toStdString().c_str());
    std::printf("command=%s\n", GetCommandLine());
    std::fflush(stdout);
    return MessageBox(0, "First line\nsecond line", "Umbravia", MB_YESNO | MB_ICONQUESTION);
}
wintest::ChildRole g_report("report", reportChild);

} // namespace

TEST(ApplicationTest, WithoutADisplayProgramsRunOffscreenWithHeadlessBoxes)
{
    testsupport::TempPrefix prefix;
    testsupport::ProcessOptions options;
    options.env["DISPLAY"] = "";
    options.env["WAYLAND_DISPLAY"] = "";
    options.env["QT_QPA_PLATFORM"] = "";
    options.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = "no";
    auto result = testsupport::runProcess(wintest::childCommand("report"), options);
    EXPECT_EQ(result.exitCode, IDNO) << result.err;
    EXPECT_NE(result.out.find("platform=offscreen\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("--child report"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("MessageBox [Umbravia] First line\\nsecond line\n"),
              std::string::npos)
        << result.err;
}

UMBRAVIA_WINDOWS_TEST_MAIN()
