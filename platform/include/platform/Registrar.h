#pragma once
// The registrar: runs a registration script, the text form in-process servers carry to
// describe their registry entries, for registration and for its undoing.
//
//   HKCR
//   {
//       Sample.Object.1 = s 'Sample Object'
//       {
//           CLSID = s '{...}'
//       }
//       NoRemove CLSID
//       {
//           ForceRemove {...} = s 'Sample Object'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// Roots: HKCR, HKCU, HKLM, HKU (or their HKEY_ names). A key is a bare word or a quoted
// text ('...', '' for a quote), optionally "= <type> '<data>'" for its default value,
// optionally a block of named values ("val NAME = <type> '<data>'") and subkeys. Types:
// s (REG_SZ), e (REG_EXPAND_SZ), d (REG_DWORD, decimal or 0x hexadecimal), b (REG_BINARY,
// hexadecimal digit pairs). Tokens are separated by blanks, so "{...}" is a key name and
// only a lone "{" opens a block. %NAME% is replaced from the replacement table (%% is a
// percent sign); an unknown name is an error.
//
// Registering creates every key and value (an existing key is reused, so registering
// twice leaves one set); a ForceRemove key is first deleted with its subtree; a Delete
// key is deleted. Unregistering deletes a ForceRemove key with its subtree, and any
// other key after its own subkeys when nothing else is left below it; NoRemove keys
// (and the roots) stay, their listed named values are deleted. Missing keys are skipped.
//
// The whole script is read before the registry is touched: a script with an error
// changes nothing (E_INVALIDARG). A registration that fails half way is undone.

#include <platform/Com.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

using RegistrarReplacements = std::vector<std::pair<std::string, std::string>>;

[[nodiscard]] HRESULT updateRegistryFromScript(std::string_view script,
                                               const RegistrarReplacements& replacements,
                                               bool doRegister) noexcept;

// Why the last script on this thread was refused (empty when it ran).
std::string registrarError();

} // namespace platform
