#pragma once
// RunNow on the clean-up pages: the trace cleaner of Local.dll runs the page's ticked
// items at once while box 171 shows the wizard's progress texts.

#include "TraceCleaner.h"
#include "WaitBox.h"

#include <memory>

namespace wizard::ui {

class CleaningBox : public local::ProgressSink {
public:
    static constexpr int ResourceId = 171;
    static constexpr const char* Text = "Please wait while Umbravia perform cleaning";
    static constexpr const char* Caption = "Umbravia";

    explicit CleaningBox(QWidget* owner) : m_owner(owner) {}

    void open() override;
    void setStatus(const std::string& text) override;
    void close() override;
    // "Please Wait While Hollowmere Clears ..." before a kind, "Clearing ...Done" after.
    std::string statusText(int kind, bool done) const override;

private:
    QWidget* m_owner;
    std::unique_ptr<WaitBox> m_box;
};

// One run of the cleaner over these kinds (and custom folders), shown in box 171.
void runCleanup(QWidget* owner, const local::CleanRequest& request);

} // namespace wizard::ui
