// Message boxes: the scripted presenter of tests, the buttons of each box type, and the
// headless presenter (one line on standard error, answered by default or by
// UMBRAVIA_MESSAGEBOX_ANSWER) seen from a child process.

#include <platform/MessageBox.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

namespace {

using MessageBoxTest = testsupport::PrefixTest;

TEST_F(MessageBoxTest, TheScriptedPresenterRecordsAndAnswers)
{
    platform::ScopedScriptedPresenter boxes;
    boxes->queueAnswer(IDNO);
    EXPECT_EQ(MessageBox(12, "Run the wizard?", "Umbravia", MB_YESNO | MB_ICONQUESTION), IDNO);
    // Nothing queued: the default button answers.
    EXPECT_EQ(MessageBox(0, "Inavlid registry data", "Umbravia", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(MessageBox(0, "Sure?", "Umbravia", MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
    boxes->setAnswerFunction([](const platform::MessageBoxCall& call) {
        return call.text == "Retry?" ? IDCANCEL : IDOK;
    });
    EXPECT_EQ(MessageBox(0, "Retry?", nullptr, MB_RETRYCANCEL), IDCANCEL);

    std::vector<platform::MessageBoxCall> calls = boxes->calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].owner, 12u);
    EXPECT_EQ(calls[0].caption, "Umbravia");
    EXPECT_EQ(calls[0].buttons(), MB_YESNO);
    EXPECT_EQ(calls[0].icon(), MB_ICONQUESTION);
    EXPECT_EQ(calls[1].icon(), MB_ICONERROR);
    EXPECT_EQ(calls[3].caption, "Error"); // no caption given, as on Windows
    EXPECT_EQ(boxes->texts(), (std::vector<std::string>{"Run the wizard?", "Inavlid registry data",
                                                        "Sure?", "Retry?"}));
    boxes->clear();
    EXPECT_TRUE(boxes->calls().empty());
}

TEST_F(MessageBoxTest, ScopesNestAndRestoreThePresenterBefore)
{
    std::shared_ptr<platform::MessageBoxPresenter> before = platform::messageBoxPresenter();
    {
        platform::ScopedScriptedPresenter outer;
        {
            platform::ScopedScriptedPresenter inner;
            MessageBox(0, "inner", "T", MB_OK);
            EXPECT_EQ(inner->texts().size(), 1u);
        }
        // Boxes of other threads reach the presenter in use as well.
        std::thread([] { MessageBox(0, "outer", "T", MB_OK); }).join();
        EXPECT_EQ(outer->texts(), (std::vector<std::string>{"outer"}));
    }
    EXPECT_EQ(platform::messageBoxPresenter(), before);
}

TEST_F(MessageBoxTest, EveryBoxTypeHasItsButtonsAndDefault)
{
    EXPECT_EQ(platform::defaultAnswer(MB_OK), IDOK);
    EXPECT_EQ(platform::defaultAnswer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(platform::defaultAnswer(MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
    EXPECT_EQ(platform::defaultAnswer(MB_YESNOCANCEL), IDYES);
    EXPECT_EQ(platform::defaultAnswer(MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(platform::defaultAnswer(MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(platform::defaultAnswer(MB_YESNO | MB_DEFBUTTON3), IDYES); // no third button
    EXPECT_TRUE(platform::hasButton(MB_YESNO, IDNO));
    EXPECT_FALSE(platform::hasButton(MB_YESNO, IDCANCEL));
    EXPECT_FALSE(platform::hasButton(MB_OK, IDCANCEL));
    EXPECT_TRUE(platform::hasButton(MB_ABORTRETRYIGNORE, IDABORT));
}

TEST_F(MessageBoxTest, TheHeadlessLineWritesLineBreaksAsBackslashN)
{
    platform::MessageBoxCall call;
    call.caption = "Umbravia";
    call.text = "first line\nsecond\r\nthird\rfourth";
    EXPECT_EQ(platform::headlessMessageBoxLine(call),
              "MessageBox [Umbravia] first line\\nsecond\\nthird\\nfourth\n");
}

// Run only as the child of the test below: shows three boxes and prints the answers.
TEST(MessageBoxChild, DISABLED_ShowBoxes)
{
    platform::setMessageBoxPresenter(nullptr);
    int a =
        MessageBox(0, "This is the first time\nRun it?", "Umbravia", MB_YESNO | MB_ICONQUESTION);
    int b = MessageBox(0, "Failed to load Chain.dll", "Umbravia", MB_OK | MB_ICONERROR);
    int c = MessageBox(0, "Save?", "Chian", MB_OKCANCEL | MB_DEFBUTTON2);
    std::printf("answers %d %d %d\n", a, b, c);
}

TEST_F(MessageBoxTest, HeadlessBoxesGoToStandardErrorAndAnswerByDefaultOrAsTold)
{
    std::vector<std::string> child{testsupport::selfPath().string(),
                                   "--gtest_filter=MessageBoxChild.DISABLED_ShowBoxes",
                                   "--gtest_also_run_disabled_tests"};
    const std::string lines = "MessageBox [Umbravia] This is the first time\\nRun it?\n"
                              "MessageBox [Umbravia] Failed to load Chain.dll\n"
                              "MessageBox [Chian] Save?\n";

    testsupport::ProcessOptions byDefault;
    byDefault.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = "";
    testsupport::ProcessResult result = testsupport::runProcess(child, byDefault);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.err, lines);
    EXPECT_NE(result.out.find("answers 6 1 2\n"), std::string::npos) << result.out;

    // "no" answers the box that has a No button; the others keep their default.
    testsupport::ProcessOptions no;
    no.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = "no";
    result = testsupport::runProcess(child, no);
    EXPECT_EQ(result.err, lines);
    EXPECT_NE(result.out.find("answers 7 1 2\n"), std::string::npos) << result.out;

    testsupport::ProcessOptions ok;
    ok.env["UMBRAVIA_MESSAGEBOX_ANSWER"] = "ok";
    result = testsupport::runProcess(child, ok);
    EXPECT_NE(result.out.find("answers 6 1 1\n"), std::string::npos) << result.out;
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
