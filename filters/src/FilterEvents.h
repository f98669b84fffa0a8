#pragma once
// Where the filters report their edits: the main window in the module, a counter in
// tests.

namespace filters {

class FilterEvents {
public:
    virtual ~FilterEvents() = default;
    // A header line was removed or the address masked (WM_REQUEST_FILTERED).
    virtual void requestFiltered() = 0;
    // Content was rewritten (WM_RESPONSE_FILTERED).
    virtual void responseFiltered() = 0;
};

} // namespace filters
