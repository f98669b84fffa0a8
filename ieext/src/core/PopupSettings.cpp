#include "PopupSettings.h"

#include <common/BrowserHelper.h>
#include <common/Settings.h>

#include <string>

namespace ieext {

namespace {

using namespace browserhelper;

DWORD dword(const settings::Key& key, const char* name)
{
    return key.readDword(name).value_or(0);
}

settings::Key ruleKey(const settings::Key& main, const char* name)
{
    HKEY rule = nullptr;
    if (RegOpenKeyEx(main.get(), name, 0, KEY_READ, &rule) != ERROR_SUCCESS) {
        return settings::Key();
    }
    return settings::Key(rule);
}

// The list's end: ERROR_NO_MORE_ITEMS when it was read through (or has no subkey).
LONG readRuleList(const settings::Key& rule, std::vector<std::string>& entries)
{
    if (!rule) {
        return ERROR_NO_MORE_ITEMS;
    }
    return settings::readListEntries(rule.get(), ListNameBytes, ListEntryBytes, entries);
}

} // namespace

std::optional<PopupSettings> readPopupSettings()
{
    const settings::Key main =
        settings::Key::open(HKEY_LOCAL_MACHINE, settings::IEExtKey, KEY_READ);
    if (!main) {
        return std::nullopt;
    }
    PopupSettings s;
    s.killAllPopups = dword(main, KillAllPopups);
    s.windowResizable = dword(main, WindowResizable);
    s.showAddressBar = dword(main, ShowAddressBar);
    s.showMenuBar = dword(main, ShowMenuBar);
    s.showStatusBar = dword(main, ShowStatusBar);
    s.showToolBar = dword(main, ShowToolBar);

    if (const settings::Key size = ruleKey(main, SizeRuleKey)) {
        s.sizeRule = dword(size, nullptr);
        s.sizeThreshold = dword(size, SizeThreshold);
    }
    const settings::Key url = ruleKey(main, UrlRuleKey);
    if (url) {
        s.urlRule = dword(url, nullptr);
    }
    (void)readRuleList(url, s.urlPatterns); // a bad entry only ends the list
    const settings::Key title = ruleKey(main, TitleRuleKey);
    if (title) {
        s.titleRule = dword(title, nullptr);
    }
    if (readRuleList(title, s.titles) != ERROR_NO_MORE_ITEMS) {
        return std::nullopt;
    }
    return s;
}

} // namespace ieext
