// The wizard's screenshot tool as scripts/screenshots.sh runs it: a picture of every page
// and small dialog, drawn with the generated artwork.

#include <QImage>

#include <TestSupport.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(WizardScreenshotPageTest, EveryPageAndDialogIsPictured)
{
    testsupport::TempPrefix prefix;
    testsupport::TempDir output;
    const fs::path build = testsupport::binDir().parent_path();
    testsupport::ProcessOptions options;
    options.env["QT_QPA_PLATFORM"] = "offscreen";
    options.timeout = std::chrono::milliseconds(120000);
    const testsupport::ProcessResult result =
        testsupport::runProcess({(build / "tools" / "umbravia_wizard_screenshots").string(),
                                 output.path().string(), testsupport::binDir().string()},
                                options);
    ASSERT_FALSE(result.timedOut);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* picture :
         {"welcome", "programs", "choice", "proxy-chain", "windows-cleanup", "ie-cleanup",
          "response-filter", "request-filter", "custom-lists", "finish", "advanced-183", "how-203",
          "directory-170", "filter-169", "server-172", "cleaning-171", "saving-155"}) {
        const fs::path file = output.path() / ("wizard-" + std::string(picture) + ".png");
        ASSERT_TRUE(fs::exists(file)) << picture;
        const QImage image(QString::fromStdString(file.string()));
        EXPECT_FALSE(image.isNull()) << picture;
    }
    // A page is drawn at its full size, its header picture across the top.
    const QImage welcome(QString::fromStdString((output.path() / "wizard-welcome.png").string()));
    EXPECT_EQ(welcome.size(), QSize(607, 411));
    EXPECT_LT(QColor(welcome.pixel(300, 20)).lightness(), 80);     // the dark header band
    EXPECT_EQ(QColor(welcome.pixel(300, 320)), QColor(Qt::white)); // below the text
}

TEST(WizardScreenshotPageTest, MissingArtworkFailsTheTool)
{
    testsupport::TempPrefix prefix;
    testsupport::TempDir output;
    testsupport::TempDir emptyBin;
    testsupport::ProcessOptions options;
    options.env["QT_QPA_PLATFORM"] = "offscreen";
    const testsupport::ProcessResult result = testsupport::runProcess(
        {(testsupport::binDir().parent_path() / "tools" / "umbravia_wizard_screenshots").string(),
         output.path().string(), emptyBin.path().string()},
        options);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("missing artwork: NEXTU"), std::string::npos) << result.err;
}

} // namespace
