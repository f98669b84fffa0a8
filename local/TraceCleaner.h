#pragma once
// The cleaning engine: the trace kinds 1 to 17 in their fixed order, each announced on
// the progress display before it runs and marked "Done" after it.

#include "AutoCompleteCleaner.h"
#include "FolderSweeper.h"
#include "LocalSettings.h"
#include "UrlCacheSweeper.h"

#include <platform/WinTypes.h>

#include <string>

namespace local {

class HostNotifier;

// Where a run shows its progress (the progress window, or a recorder in tests).
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void open() = 0;                             // created and shown, status empty
    virtual void setStatus(const std::string& text) = 0; // shown and repainted at once
    virtual void close() = 0;                            // status emptied, hidden, destroyed
    // The status line before kind 1 to 17 runs and after it (done); the settings wizard
    // words its own.
    virtual std::string statusText(int kind, bool done) const;
};

class TraceCleaner {
public:
    TraceCleaner(ProgressSink& progress, HostNotifier& notifier);

    // One run: opens the progress display, runs every selected kind in order (each to
    // its end, whatever fails inside it) and closes the display.
    void run(const CleanRequest& request);

    // The progress text of kind 1 to 17.
    static const char* progressText(int kind);
    static constexpr const char* DoneSuffix = "Done";

private:
    void runKind(int kind, const CleanRequest& request);
    void sweepSpecialFolder(int csidl, SweepOptions options);
    void clearTempInternetFiles();
    void clearCookies();
    void clearFavorites();
    void clearTempSystemFiles();
    void clearRecycleBin();
    void clearDocumentHistory();
    void clearLastLogonUser();
    void clearNetworkConnections();
    void clearTelnetHistory();
    void clearInternetHistory();
    void clearCustomFolders(const CleanRequest& request);

    ProgressSink& m_progress;
    HostNotifier& m_notifier;
    FolderSweeper m_sweeper;
    UrlCacheSweeper m_urlCache;
};

} // namespace local
