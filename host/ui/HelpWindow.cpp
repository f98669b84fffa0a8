#include "HelpWindow.h"

#include "Resources.h"

#include <QUrl>

namespace host::ui {

namespace {
HelpWindow* g_window = nullptr; // user-interface thread only
}

HelpWindow& HelpWindow::instance()
{
    if (g_window == nullptr) {
        g_window = new HelpWindow;
    }
    return *g_window;
}

HelpWindow* HelpWindow::existing()
{
    return g_window;
}

HelpWindow::HelpWindow()
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(Title);
    setWindowIcon(Resources::icon(Resources::MainIcon));
    setOpenExternalLinks(true);
    setOpenLinks(true);
    resize(820, 640);
    document()->setDocumentMargin(18);
    attachWidget(this, ClassName);
}

HelpWindow::~HelpWindow()
{
    if (g_window == this) {
        g_window = nullptr;
    }
}

std::filesystem::path HelpWindow::contentsPage(const std::filesystem::path& document)
{
    std::error_code error;
    std::filesystem::path page = document;
    if (std::filesystem::is_directory(document, error)) {
        page = document / "index.html";
    }
    return std::filesystem::is_regular_file(page, error) ? page : std::filesystem::path();
}

bool HelpWindow::showDocument(const std::filesystem::path& document)
{
    const std::filesystem::path page = contentsPage(document);
    if (page.empty()) {
        return false;
    }
    setSearchPaths({QString::fromStdString(page.parent_path().string())});
    setSource(QUrl::fromLocalFile(QString::fromStdString(page.string())));
    return true;
}

} // namespace host::ui
