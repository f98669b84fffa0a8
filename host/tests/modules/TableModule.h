#pragma once
// Building blocks of the small modules that the module-table tests load: each records
// its OnProgramExit in $UMBRAVIA_PREFIX/exit-order.log so that the order can be checked.

#include <common/PluginContract.h>

#include <cstdio>
#include <cstdlib>
#include <string>

inline void recordExit(const char* name)
{
    const char* prefix = std::getenv("UMBRAVIA_PREFIX");
    if (prefix == nullptr) {
        return;
    }
    std::string path = std::string(prefix) + "/exit-order.log";
    if (std::FILE* f = std::fopen(path.c_str(), "a")) {
        std::fprintf(f, "%s\n", name);
        std::fclose(f);
    }
}

#define TABLE_MODULE_EXIT(NAME)                                                                    \
    UMBRAVIA_EXPORT void OnProgramExit() noexcept                                                  \
    {                                                                                              \
        recordExit(NAME);                                                                          \
    }

#define TABLE_MODULE_CHAIN                                                                         \
    UMBRAVIA_EXPORT SOCKET CreateChain() noexcept                                                  \
    {                                                                                              \
        return INVALID_SOCKET;                                                                     \
    }                                                                                              \
    UMBRAVIA_EXPORT void SetVendor(int) noexcept {}

#define TABLE_MODULE_FILTER_REQUEST                                                                \
    UMBRAVIA_EXPORT char* FilterRequest(char*, int, unsigned int*, const char*) noexcept           \
    {                                                                                              \
        return nullptr;                                                                            \
    }
#define TABLE_MODULE_FILTER_RESPONSE                                                               \
    UMBRAVIA_EXPORT void FilterResponse(char*, int) noexcept {}
#define TABLE_MODULE_FREE_BUFFER                                                                   \
    UMBRAVIA_EXPORT void FreeFilteredDataBuf(char*) noexcept {}
