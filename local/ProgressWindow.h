#pragma once
// The progress window of a cleaning run: "Please Wait ..." in large type and a status
// line (control 1002) below it, a small modeless child of the host's main window (of
// the page for Clear Now). Without a Qt application on this thread (a program without
// windows calling TakeAction) the run shows nothing.

#include "TraceCleaner.h"

#include <QPointer>
#include <QWidget>

class QLabel;

namespace local {

class ProgressWindow : public ProgressSink {
public:
    // parent null: a small tool window of its own.
    explicit ProgressWindow(QWidget* parent);
    ~ProgressWindow() override;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    void open() override;
    void setStatus(const std::string& text) override;
    void close() override;

    static constexpr int StatusId = 1002;
    static constexpr const char* PleaseWaitText = "Please Wait ...";
    // The widget while the window exists (tests).
    QWidget* widget() const { return m_window; }

private:
    QPointer<QWidget> m_parent;
    QPointer<QWidget> m_window;
    QLabel* m_status = nullptr;
};

} // namespace local
