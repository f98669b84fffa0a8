#pragma once
// Classes the layer ships as Windows does, registered in every prefix that uses COM.

namespace platform::detail {

// Makes sure the shipped classes are registered in the current prefix (once per prefix
// and process; a registration that points elsewhere is renewed).
void registerShippedClasses() noexcept;

} // namespace platform::detail
