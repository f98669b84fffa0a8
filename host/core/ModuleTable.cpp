#include "ModuleTable.h"

#include "ProcessEnd.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>

#include <cstdlib>
#include <string>

namespace host {

namespace {

constexpr const char* Caption = "Umbravia";
constexpr const char* FailedLoadChain = "Failed to load Chain.dll";
constexpr const char* FailedCreateChain = "Failed to create proxy chain";
constexpr const char* FailedLoadFilters = "Failed to load Filters.dll";
constexpr const char* FailedFilterRequest = "Failed to create filter request";
constexpr const char* FailedFilterResponse = "Failed to create filter response";
constexpr const char* FailedInitFilters = "Failed to initialize filters";

// PathName is at most 260 bytes, as the host reads it into a MAX_PATH buffer.
constexpr DWORD PathNameMax = MAX_PATH;

ModuleTable::LoadOutcome fail(const char* text)
{
    MessageBox(0, text, Caption, MB_OK | MB_ICONERROR);
    return ModuleTable::LoadOutcome::EndProcess;
}

} // namespace

ModuleTable::~ModuleTable()
{
    if (m_keepLoaded) {
        return;
    }
    for (HMODULE& module : m_modules) {
        if (module != nullptr) {
            FreeLibrary(module);
            module = nullptr;
        }
    }
}

ModuleTable::LoadOutcome ModuleTable::load()
{
    for (Slot slot : SlotOrder) {
        if (loadSlot(slot) == LoadOutcome::EndProcess) {
            return LoadOutcome::EndProcess;
        }
    }
    return LoadOutcome::Loaded;
}

void ModuleTable::loadOrExit()
{
    if (load() == LoadOutcome::EndProcess) {
        endProcessNow(0);
    }
}

ModuleTable::LoadOutcome ModuleTable::loadSlot(Slot slot)
{
    const catalogue::Module& entry = catalogue::module(slot);
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, entry.key, KEY_READ);
    if (!key) {
        return LoadOutcome::Loaded; // no key: the slot stays empty, every use is skipped
    }
    const char* loadFailure = slot == Slot::Chain ? FailedLoadChain : FailedLoadFilters;

    std::optional<std::string> path = key.readString(settings::PathNameValue, PathNameMax);
    HMODULE module = path ? LoadLibrary(path->c_str()) : nullptr;
    if (module == nullptr) {
        return entry.required ? fail(loadFailure) : LoadOutcome::Loaded;
    }
    m_modules[static_cast<int>(slot)] = module;

    if (slot == Slot::Chain) {
        createChain = contract::bind(module, contract::CreateChain);
        if (createChain == nullptr) {
            return fail(FailedCreateChain);
        }
    } else if (slot == Slot::Filters) {
        filterRequest = contract::bind(module, contract::FilterRequest);
        if (filterRequest == nullptr) {
            return fail(FailedFilterRequest);
        }
        filterResponse = contract::bind(module, contract::FilterResponse);
        if (filterResponse == nullptr) {
            return fail(FailedFilterResponse);
        }
        freeFilteredDataBuf = contract::bind(module, contract::FreeFilteredDataBuf);
        if (freeFilteredDataBuf == nullptr) {
            return fail(FailedInitFilters);
        }
    }
    return LoadOutcome::Loaded;
}

FARPROC ModuleTable::lookup(Slot slot, const char* name) const
{
    HMODULE m = module(slot);
    return m != nullptr ? GetProcAddress(m, name) : nullptr;
}

void ModuleTable::exitAndUnload()
{
    for (Slot slot : SlotOrder) {
        HMODULE& module = m_modules[static_cast<int>(slot)];
        if (module == nullptr) {
            continue;
        }
        if (auto onExit = contract::bind(module, contract::OnProgramExit)) {
            onExit();
        }
        if (m_keepLoaded) {
            continue;
        }
        FreeLibrary(module);
        module = nullptr;
        if (slot == Slot::Chain) {
            createChain = nullptr;
        } else if (slot == Slot::Filters) {
            filterRequest = nullptr;
            filterResponse = nullptr;
            freeFilteredDataBuf = nullptr;
        }
    }
}

} // namespace host
