#pragma once
// A registry subtree as sorted text lines, for tests that compare what a registration
// left behind: "Key\\Sub" for a key, "Key\\Sub = text" for its default value and
// "Key\\Sub [Name] = text" for a named value (DWORDs in decimal, binary data in hex).

#include <platform/Registry.h>

#include <string>
#include <vector>

namespace testsupport {

// Every key below root\subKey (subKey itself included when given), names relative to
// root. Empty when the key does not exist.
std::vector<std::string> registryTree(HKEY root, const std::string& subKey);

} // namespace testsupport
