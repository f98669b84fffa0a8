#include <common/ModuleCatalogue.h>

#include <strings.h>

#include <string>

namespace catalogue {

const Module* moduleByFileName(std::string_view fileName)
{
    const std::string name(fileName);
    for (const Module& entry : Modules) {
        if (strcasecmp(entry.fileName, name.c_str()) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace catalogue
