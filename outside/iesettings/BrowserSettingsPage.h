#pragma once
// "Browser settings": the page of the Internet Explorer settings module. It edits every
// value that the browser helper object reads from DLLs\IEExt.dll: the pop-up rules (every
// new window, windows below a share of the screen, address patterns, title texts) and
// the window chrome switches. Saved on the host's OK and on its page action (1124).

#include <common/ui/SettingsPage.h>

#include <optional>
#include <string>

class QLineEdit;

namespace pageui {
class SortedListBox;
}

namespace iesettings {

class BrowserSettingsPage : public pageui::SettingsPage {
public:
    static constexpr const char* Caption = "Browser settings";

    enum ControlId : UINT {
        KillAllBox = 2001,
        SizeRuleBox = 2002,
        ThresholdEdit = 2003,
        UrlRuleBox = 2004,
        UrlList = 2005,
        UrlAdd = 2006,
        UrlEdit = 2007,
        UrlRemove = 2008,
        TitleRuleBox = 2009,
        TitleList = 2010,
        TitleAdd = 2011,
        TitleEdit = 2012,
        TitleRemove = 2013,
        ToolBarBox = 2014,
        MenuBarBox = 2015,
        AddressBarBox = 2016,
        StatusBarBox = 2017,
        ResizableBox = 2018,
    };
    // The threshold in percent of the screen area when the key holds none.
    static constexpr DWORD DefaultThreshold = 25;
    // The helper object reads entries into 260 bytes, the terminating zero included.
    static constexpr int MaxEntryLength = 259;

    explicit BrowserSettingsPage(QWidget* parent);

    void save() override;
    pageui::SortedListBox* list(UINT id) const;
    QLineEdit* thresholdEdit() const { return m_threshold; }

private:
    void buildControls();
    void load();
    void onPageAction() override { save(); }
    void onCommand(UINT id, WORD code) override;
    void updateEnabled();
    void addEntry(UINT listId);
    void editEntry(UINT listId);
    void removeEntry(UINT listId);
    std::optional<std::string> askEntry(UINT listId, const std::string& text);
    void registryError();

    QLineEdit* m_threshold = nullptr;
};

} // namespace iesettings
