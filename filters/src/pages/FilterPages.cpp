// The page exports of Filters.dll: CreateTabDlg makes the request and the response page,
// OnProgramExit destroys every page the module made. Kept apart from the filter exports
// so that the filters themselves build without Qt (the fuzzers).

#include "RequestFilterPage.h"
#include "ResponseFilterPage.h"

#include <common/PluginContract.h>
#include <common/ui/ModulePages.h>

namespace {

constexpr int PageCount = 2;

pageui::ModulePages& pages()
{
    static pageui::ModulePages instance;
    return instance;
}

} // namespace

UMBRAVIA_EXPORT int CreateTabDlg(PageWindow* parent, PageWindow** array) noexcept
{
    return pages().createTabs(array, PageCount, [parent](int index) -> PageWindow* {
        if (index == 0) {
            return new filters::RequestFilterPage(parent);
        }
        return new filters::ResponseFilterPage(parent);
    });
}

UMBRAVIA_EXPORT void OnProgramExit() noexcept
{
    pages().exitPages();
}
