#pragma once
// Hooks between the pieces of the core library (not part of its interface).

namespace platform::detail {

// Called by setPrefix: every piece drops the state it keeps for the old prefix.
void resetRegistryStore();
void resetEnvironmentCaches();

} // namespace platform::detail
