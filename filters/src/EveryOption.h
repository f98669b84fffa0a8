#pragma once
// Every request and response option of the module switched on, with a fake address for
// the IP masking and no privacy level: the settings the benchmark and the fuzzers run
// the filters with (each adds its own lists).

#include <common/Settings.h>

namespace filters {

inline void switchEveryOptionOn()
{
    settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey)
        .writeDword(settings::PrivacyLevelValue, 0xFFFFFFFF);
    const settings::Key req = settings::Key::create(HKEY_LOCAL_MACHINE, settings::RequestKey);
    for (const char* name :
         {"", "BROWSERSHIELD", "OSSHIELD", "DISABLEALLCOOKIES", "DISABLEUNSAFECOOKIES", "IPMASKING",
          "REFERRERBLOCK", "DISABLEINTERNETCACHE"}) {
        req.writeDword(name, 1);
    }
    req.writeDword("FAKEIP", 0xC0A80001);
    const settings::Key res = settings::Key::create(HKEY_LOCAL_MACHINE, settings::ResponseKey);
    for (const char* name : {"", "BLOCKIMAGES", "BLOCKBANNERS", "BLOCKSCRIPTS", "DISABLEONUNLOAD",
                             "HIDEPAGETITLE", "BLOCKPOPUPS", "REMOVECTXMENUDIS", "REMOVEFLASH",
                             "REMOVESTATUSMODS", "DISABLETIMERPROC"}) {
        res.writeDword(name, 1);
    }
}

} // namespace filters
