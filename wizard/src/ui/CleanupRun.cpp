#include "CleanupRun.h"

#include "HostNotifier.h"

namespace wizard::ui {

namespace {

struct KindTexts {
    const char* before;
    const char* after;
};
// By the cleaner's kind number, 1 to 17. The cleaner's own texts have no wording for the
// URL history (16) and the custom folders (17) here: those two are worded alike.
constexpr KindTexts Texts[local::TraceKindCount] = {
    {"Please Wait While Hollowmere Clears Your Temporary Internet Files...",
     "Clearing Temporary Internet Files...Done"},
    {"Please Wait While Hollowmere Clears Your Internet Cookies...",
     "Clearing Internet Cookies...Done"},
    {"Please Wait While Hollowmere Clears Yor Typed Internet URLs...",
     "Clearing Typed Internet URLs...Done"},
    {"Please Wait While Hollowmere Clears Internet Forms...", "Clearing Internet Forms...Done"},
    {"Please Wait While Hollowmere Clears Your Internet Passwords...",
     "Clearing Internet Passwords...Done"},
    {"Please Wait While Hollowmere Clears Your Internet Favorites...",
     "Clearing Internet Favorites...Done"},
    {"Please Wait While Hollowmere Clears Your Temporary System Files...",
     "Clearing Temporary System Files...Done"},
    {"Please Wait While Hollowmere Clears Your Recycle Bin...", "Clearing Recycle Bin...Done"},
    {"Please Wait While Hollowmere Clears Your Run History...", "Clearing Run History...Done"},
    {"Please Wait While Hollowmere Clears Your Recent Documents History...",
     "Clearing Recent Ddocuments History...Done"},
    {"Please Wait While Hollowmere Clears Last Logon User...", "Clearing Last Logon User...Done"},
    {"Please Wait While Hollowmere Clears Your Find Files History...",
     "Clearing Find Files History...Done"},
    {"Please Wait While Hollowmere Clears Your Find Computer History...",
     "Clearing Find Computer History...Done"},
    {"Please Wait While Hollowmere Clears Yor Network Connection History...",
     "Clearing Network Connection History...Done"},
    {"Please Wait While Hollowmere Clears Your Telnet History...",
     "Clearing Telnet History...Done"},
    {"Please Wait While Hollowmere Clears Your Internet History...",
     "Clearing Internet History...Done"},
    {"Please Wait While Hollowmere Clears Your Custom Directories...",
     "Clearing Custom Directories...Done"},
};

} // namespace

void CleaningBox::open()
{
    m_box = std::make_unique<WaitBox>(m_owner, Caption, Text);
    m_box->present();
}

void CleaningBox::setStatus(const std::string& text)
{
    if (m_box) {
        m_box->setStatus(text);
    }
}

void CleaningBox::close()
{
    if (m_box) {
        m_box->setStatus("");
        m_box->hide();
        m_box.reset();
    }
}

std::string CleaningBox::statusText(int kind, bool done) const
{
    if (kind < 1 || kind > local::TraceKindCount) {
        return {};
    }
    const KindTexts& texts = Texts[kind - 1];
    return done ? texts.after : texts.before;
}

void runCleanup(QWidget* owner, const local::CleanRequest& request)
{
    CleaningBox box(owner);
    local::HostNotifier notifier;
    local::TraceCleaner(box, notifier).run(request);
}

} // namespace wizard::ui
