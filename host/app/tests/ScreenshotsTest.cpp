// The screenshot tool as the README runs it, from the build folder's parent with a
// relative bin folder: every picture is written, with its artwork and the modules' pages.

#include "TestSupport.h"

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(ScreenshotsTest, RelativeBinFolderGivesFinishedPictures)
{
    testsupport::TempPrefix prefix;
    testsupport::TempDir output;
    const fs::path build = testsupport::binDir().parent_path();
    testsupport::ProcessOptions options;
    options.workingDir = build.parent_path();
    options.env["QT_QPA_PLATFORM"] = "offscreen";
    options.timeout = std::chrono::milliseconds(120000);
    const fs::path relativeBin = build.filename() / testsupport::binDir().filename();
    const testsupport::ProcessResult result =
        testsupport::runProcess({(build / "tools" / "umbravia_screenshots").string(),
                                 output.path().string(), relativeBin.string()},
                                options);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    for (const char* picture :
         {"main-general", "main-chain", "main-filter-response", "settings-dialog", "artwork"}) {
        const fs::path file = output.path() / (std::string(picture) + ".png");
        EXPECT_TRUE(fs::exists(file) && fs::file_size(file) > 0) << picture;
    }
}

} // namespace
