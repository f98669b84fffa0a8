#pragma once
// The host's module table: one module per slot (Chain, Local, Filters, IEExt), loaded
// from the PathName value of the slot's registry key, with the entry points the host
// binds once at start. Written only during start-up, read without locks afterwards.

#include <common/ModuleCatalogue.h>
#include <common/PluginContract.h>

#include <array>
#include <string>

namespace host {

using catalogue::Slot;
using catalogue::SlotOrder;

class ModuleTable {
public:
    enum class LoadOutcome { Loaded, EndProcess };

    ModuleTable() = default;
    ~ModuleTable();
    ModuleTable(const ModuleTable&) = delete;
    ModuleTable& operator=(const ModuleTable&) = delete;

    // Loads the four slots in order, binding the required entry points. A failure that
    // must end the process is shown to the user and reported as EndProcess (the caller
    // then ends with exit code 0).
    LoadOutcome load();
    // load(), and std::exit(0) on EndProcess.
    void loadOrExit();

    HMODULE module(Slot slot) const { return m_modules[static_cast<int>(slot)]; }
    bool loaded(Slot slot) const { return module(slot) != nullptr; }
    // An export looked up by name at the moment of use; null when the slot is empty or
    // the module does not export it.
    FARPROC lookup(Slot slot, const char* name) const;
    template <typename Fn> Fn lookup(Slot slot, contract::Export<Fn> entry) const
    {
        return contract::bind(module(slot), entry);
    }
    // By bare name, for exports outside the contract (test modules).
    template <typename Fn> Fn lookup(Slot slot, const char* name) const
    {
        return reinterpret_cast<Fn>(lookup(slot, name));
    }

    // For each loaded slot in order: OnProgramExit when exported, then unload (unless
    // keepLoaded() was called).
    void exitAndUnload();
    // From now on nothing is unloaded, not even by the destructor: a thread may still run
    // in a module, so its code must stay mapped until the process ends.
    void keepLoaded() { m_keepLoaded = true; }

    // Bound at start (null when the slot is empty).
    CreateChainFn createChain = nullptr;
    FilterRequestFn filterRequest = nullptr;
    FilterResponseFn filterResponse = nullptr;
    FreeFilteredDataBufFn freeFilteredDataBuf = nullptr;

private:
    LoadOutcome loadSlot(Slot slot);

    std::array<HMODULE, 4> m_modules{};
    bool m_keepLoaded = false;
};

} // namespace host
