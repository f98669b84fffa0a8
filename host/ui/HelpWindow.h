#pragma once
// The help viewer: a window of class "HH Parent" titled "Umbravia" that shows the HTML
// user guide installed beside the program as "Umbravia Help.chm" (a folder of pages
// opened at its index.html, or a single HTML file of that name). One viewer per process;
// opening help again brings it back at the contents page.

#include <platform/Window.h>

#include <QTextBrowser>

#include <filesystem>

namespace host::ui {

class HelpWindow : public QTextBrowser, public platform::Window {
    Q_OBJECT
public:
    static constexpr const char* ClassName = "HH Parent";
    static constexpr const char* Title = "Umbravia";

    // The viewer of this process, made on first use (on the user-interface thread).
    static HelpWindow& instance();
    // The viewer if it exists (tests and shutdown).
    static HelpWindow* existing();

    // The page a document opens at (its index.html when it is a folder); empty when
    // there is no such document.
    static std::filesystem::path contentsPage(const std::filesystem::path& document);
    // Shows the document's contents page; false when there is no document there.
    bool showDocument(const std::filesystem::path& document);

    ~HelpWindow() override;

private:
    HelpWindow();
};

} // namespace host::ui
