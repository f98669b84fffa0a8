// The Qt presenter: a QMessageBox with the caption, text, icon and buttons of the flags,
// shown on the UI thread also when another thread asks, answering with the button used.

#include <platform/MessageBox.h>
#include <platform/QtMessageBox.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

namespace {

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool onUiThread = false;
};

// Waits on the UI thread for the next message box, notes what it shows and clicks one
// of its buttons.
class BoxClicker {
public:
    BoxClicker(QMessageBox::StandardButton click) : m_click(click)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(10);
    }
    const SeenBox& seen() const { return m_seen; }
    bool done() const { return m_done; }

private:
    void poll()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible()) {
                continue;
            }
            m_seen = {box->windowTitle(),
                      box->text(),
                      box->icon(),
                      box->standardButtons(),
                      box->defaultButton() != nullptr ? box->standardButton(box->defaultButton())
                                                      : QMessageBox::NoButton,
                      QThread::currentThread() == box->thread()};
            m_timer.stop();
            m_done = true;
            box->button(m_click)->click();
            return;
        }
    }

    QTimer m_timer;
    QMessageBox::StandardButton m_click;
    SeenBox m_seen;
    bool m_done = false;
};

class QtMessageBoxTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        platform::installQtMessageBoxPresenter();
        platform::setMessageBoxPresenter(nullptr);
    }
    void TearDown() override { platform::setDisplayMessageBoxPresenter(nullptr); }
};

TEST_F(QtMessageBoxTest, TheBoxShowsTheFlagsAndAnswersWithTheButtonClicked)
{
    BoxClicker clicker(QMessageBox::Yes);
    int answer =
        MessageBox(0, "Run the wizard?", "Umbravia", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    ASSERT_TRUE(clicker.done());
    EXPECT_EQ(answer, IDYES);
    EXPECT_EQ(clicker.seen().caption, "Umbravia");
    EXPECT_EQ(clicker.seen().text, "Run the wizard?");
    EXPECT_EQ(clicker.seen().icon, QMessageBox::Question);
    EXPECT_EQ(clicker.seen().buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(clicker.seen().defaultButton, QMessageBox::No);
}

TEST_F(QtMessageBoxTest, ABoxOfAnotherThreadIsShownOnTheUiThread)
{
    BoxClicker clicker(QMessageBox::Cancel);
    std::atomic<int> answer{0};
    std::thread worker([&answer] {
        answer = MessageBox(0, "Failed to load Dll Module", "Chian", MB_OKCANCEL | MB_ICONERROR);
    });
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (answer != 0) {
            loop.quit();
        }
    });
    check.start(10);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    worker.join();
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_TRUE(clicker.seen().onUiThread);
    EXPECT_EQ(clicker.seen().icon, QMessageBox::Critical);
    EXPECT_EQ(clicker.seen().caption, "Chian");
}

TEST_F(QtMessageBoxTest, AScriptedPresenterStillWinsInTests)
{
    platform::ScopedScriptedPresenter boxes;
    EXPECT_EQ(MessageBox(0, "quiet", "Umbravia", MB_OK), IDOK);
    EXPECT_EQ(boxes->texts(), (std::vector<std::string>{"quiet"}));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
