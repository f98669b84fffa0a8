#pragma once
// Removes the browser's AutoComplete form data from the Protected Storage branch of the
// registry. The system guards the user's keys there with rights that leave the user
// out, so the cleaner widens them for the deletion and then puts the old rights back.

#include <platform/Security.h>

#include <string>
#include <vector>

namespace local {

inline constexpr const char* ProtectedStorageKey =
    "Software\\Microsoft\\Protected Storage System Provider\\";
inline constexpr const char* AutoCompleteDataKey = "\\Data\\e161255a-37c3-11d2-bcaa-00c04fd929db";

class AutoCompleteCleaner {
public:
    // On the NT family: widen, delete and restore under HKEY_CURRENT_USER; on every
    // system: delete the user-name branch under HKEY_LOCAL_MACHINE.
    void run();

    // "S-1-<last authority byte>-<sub-authority>-..." in decimal.
    static std::string sidText(PSID sid);

private:
    void clearUserBranch();
    static std::vector<BYTE> currentUserSid();
    static std::vector<BYTE> saveDacl(const std::string& key);
    static void applyDacl(const std::string& key, PSECURITY_DESCRIPTOR descriptor, bool subkeys);
};

} // namespace local
