// Renders every page and small dialog of the settings wizard offscreen to PNG files for
// review (wizard-*.png).
//
// Usage: umbravia_wizard_screenshots OUTPUT_FOLDER [BIN_FOLDER]
// BIN_FOLDER (default: ../bin beside this program) holds res/. The tool fails when a
// picture of the wizard is missing, so that no unfinished page passes for a finished one.

#include "ui/AdvancedProxyDialog.h"
#include "ui/BrowserCleanupPage.h"
#include "ui/ChoicePage.h"
#include "ui/CleanupRun.h"
#include "ui/CustomListsPage.h"
#include "ui/FinishPage.h"
#include "ui/HowDialog.h"
#include "ui/ProgramsPage.h"
#include "ui/ProxyChainPage.h"
#include "ui/RequestFilterPage.h"
#include "ui/ResponseFilterPage.h"
#include "ui/WaitBox.h"
#include "ui/WelcomePage.h"
#include "ui/WindowsCleanupPage.h"

#include <common/ui/EntryDialog.h>
#include <common/ui/Resources.h>
#include <common/ui/SortedListBox.h>
#include <platform/Application.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>

#include <CustomDirectoryDialog.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

using namespace wizard::ui;

QDir g_output;
int g_failures = 0;

void save(QWidget& widget, const char* name)
{
    widget.show();
    QCoreApplication::processEvents();
    const QString file = g_output.filePath(QString("wizard-%1.png").arg(name));
    if (!widget.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(file));
    widget.hide();
}

bool artworkPresent()
{
    const char* pictures[] = {"PAGE102", "PAGE144", "PAGE180", "PAGE181", "PAGE150", "PAGE151",
                              "PAGE152", "PAGE153", "PAGE215", "PAGE154", "BACKU",   "BACKD",
                              "BACKX",   "NEXTU",   "NEXTD",   "NEXTX",   "FINISHU", "FINISHD",
                              "FINISHX", "CANCELU", "CANCELD", "CANCELX", "203",     "220"};
    bool present = true;
    for (const char* picture : pictures) {
        if (pageui::Resources::pixmap(picture).isNull()) {
            std::fprintf(stderr, "missing artwork: %s\n", picture);
            present = false;
        }
    }
    return present;
}

// A model that shows every kind of entry.
void fillModel(wizard::SettingsModel& model)
{
    model.windowsCleanup.recycleBin = 1;
    model.windowsCleanup.documentHistory = 1;
    model.windowsCleanup.customDirectories = 1;
    model.windowsCleanup.directories = {"C:\\Scratch", "D:\\Downloads\\Old"};
    model.browserCleanup.cookies = 1;
    model.browserCleanup.tempInternetFiles = 1;
    model.response.blockPopups = 1;
    model.response.removeFlash = 1;
    model.request.browserShield = 1;
    model.request.ipMasking = 1;
    model.request.fakeIp = 0x0A000001;
    model.lists.customFilters = 1;
    model.lists.filters = {"Accept-Language: en", "User-Agent: Mozilla/4.0"};
    model.lists.stopServers = 1;
    model.lists.servers = {"ads.example.com", "tracker.example.net"};
    model.chain.connectChain = 1;
    model.chain.useOneProxy = 0;
    model.chain.pathLength = 3;
    model.chain.updateEvery = 2;
}

void renderPages(Session& session)
{
    WelcomePage welcome(session);
    save(welcome, "welcome");
    ProgramsPage programs(&welcome, session);
    save(programs, "programs");
    ChoicePage choice(&programs, session);
    choice.checkBox(ChoicePage::CustomBox)->setChecked(true);
    save(choice, "choice");
    ProxyChainPage chain(&choice, session);
    save(chain, "proxy-chain");
    WindowsCleanupPage windows(&chain, session);
    save(windows, "windows-cleanup");
    BrowserCleanupPage browser(&windows, session);
    save(browser, "ie-cleanup");
    ResponseFilterPage response(&browser, session);
    save(response, "response-filter");
    RequestFilterPage request(&response, session);
    save(request, "request-filter");
    CustomListsPage lists(&request, session);
    save(lists, "custom-lists");
    FinishPage finish(&lists, session);
    save(finish, "finish");

    AdvancedProxyDialog advanced(&chain, session.model.chain);
    save(advanced, "advanced-183");
    HowDialog how(&chain);
    save(how, "how-203");
    local::CustomDirectoryDialog directory(&windows, "C:\\Scratch",
                                           {WindowsCleanupPage::DirectoryDialogTitle,
                                            "Directory :", WindowsCleanupPage::DirectoryEditId});
    save(directory, "directory-170");
    pageui::EntryDialog filter(&lists, CustomListsPage::FilterDialogTitle,
                               {{"Variable :", CustomListsPage::NameEdit},
                                {"Custom Values :", CustomListsPage::ValuesEdit}});
    filter.setText(0, "Accept-Language");
    filter.setText(1, "en");
    save(filter, "filter-169");
    pageui::EntryDialog server(&lists, CustomListsPage::ServerDialogTitle,
                               {{"Server URL :", CustomListsPage::NameEdit}});
    server.setText(0, "ads.example.com");
    save(server, "server-172");
    WaitBox cleaning(&windows, CleaningBox::Caption, CleaningBox::Text);
    cleaning.setStatus("Please Wait While Hollowmere Clears Your Recycle Bin...");
    save(cleaning, "cleaning-171");
    WaitBox saving(&finish, FinishPage::SavingCaption, FinishPage::SavingText);
    save(saving, "saving-155");
}

} // namespace

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [BIN_FOLDER]\n", argv[0]);
        return 2;
    }
    g_output = QDir(QString::fromLocal8Bit(argv[1]));
    if (!g_output.mkpath(".")) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const std::filesystem::path bin =
        argc > 2 ? std::filesystem::absolute(argv[2]) : platform::programFolder() / ".." / "bin";
    pageui::Resources::setFolder(bin / "res");
    if (!artworkPresent()) {
        return 1;
    }
    // Boxes would wait for an answer nobody gives here.
    platform::setMessageBoxPresenter(std::make_shared<platform::ScriptedPresenter>());
    Session session;
    fillModel(session.model);
    renderPages(session);
    return g_failures == 0 ? 0 : 1;
}
