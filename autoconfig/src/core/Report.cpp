#include "core/Report.h"

#include <platform/MessageBox.h>

#include <string>

namespace rigwright {

HRESULT reportFailure(std::string_view text, const char* caption)
{
    MessageBox(0, std::string(text).c_str(), caption, MB_ICONERROR);
    return kFalse;
}

} // namespace rigwright
