#pragma once
// The prefix's window table: one file in the run folder, mapped by every process of the
// prefix, listing every window with its owner (pid and start time), thread, class and
// title. Handles are allocated here, so they are unique within the prefix: the low bits
// name the table slot, the high bits count the slot's reuses.

#include "../src/KernelObjectsShared.h"

#include <platform/Environment.h>
#include <platform/Result.h>
#include <platform/WinTypes.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform::detail {

struct WindowRecord {
    HWND hwnd = 0;
    HWND parent = 0;
    bool topLevel = true;
    bool visible = false;
    ProcessIdentity owner;
    DWORD threadId = 0;
    std::string className;
    std::string title;
};

class WindowTable {
public:
    ~WindowTable();
    static Result<std::shared_ptr<WindowTable>> open(const HostPath& runFolder);

    // Lists the window under a new handle (record.hwnd is ignored); 0 when the table is
    // full.
    HWND add(const WindowRecord& record);
    void remove(HWND hwnd);
    // Drops every window of the process (its normal end).
    void removeProcess(const ProcessIdentity& process);
    // The window's row, without looking at its owner.
    std::optional<WindowRecord> lookup(HWND hwnd);
    // The row when its owner still runs; rows of dead processes are dropped.
    std::optional<WindowRecord> lookupLive(HWND hwnd);
    // The most recently made live top-level window of that class and title (null
    // matches any; both without regard to case).
    HWND find(const char* className, const char* title);
    // The same among the children of parent.
    HWND findChild(HWND parent, const char* className, const char* title);
    void setTitle(HWND hwnd, std::string_view title);
    void setVisible(HWND hwnd, bool visible);

private:
    explicit WindowTable(std::unique_ptr<SharedRegion> region);
    HWND findMatching(const char* className, const char* title, std::optional<HWND> parent);
    struct Layout;
    Layout* layout() const;
    std::unique_ptr<SharedRegion> m_region;
};

} // namespace platform::detail
