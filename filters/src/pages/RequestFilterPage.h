#pragma once
// "Filter request" (dialog 129): the request filter's switches, the fake address and its
// three lists (custom header filters, server stop list, trusted cookie servers), saved
// into DLLs\Filters.dll\Req on the host's OK or its page action (1124).

#include <common/ui/SettingsPage.h>

#include <map>
#include <optional>
#include <string>

namespace pageui {
class IpAddressEdit;
class SortedListBox;
} // namespace pageui

namespace filters {

class RequestFilterPage : public pageui::SettingsPage {
public:
    static constexpr int ResourceId = 129;
    static constexpr const char* Caption = "Filter request";

    enum ControlId : UINT {
        EnableBox = 1009,
        BrowserShieldBox = 1001,
        OsShieldBox = 1002,
        ReferrerBox = 1003,
        IpMaskingBox = 1004,
        FakeIpControl = 1026,
        InternetCacheBox = 1010,
        AllCookiesBox = 1005,
        UnsafeCookiesBox = 1006,
        TrustedList = 1034,
        TrustedAdd = 1035,
        TrustedEdit = 1036,
        TrustedRemove = 1037,
        CustomFiltersBox = 1007,
        CustomList = 1030,
        CustomAdd = 1031,
        CustomEdit = 1033,
        CustomRemove = 1032,
        StopListBox = 1008,
        StopList = 1025,
        StopAdd = 1027,
        StopEdit = 1029,
        StopRemove = 1028,
    };

    explicit RequestFilterPage(QWidget* parent);

    void save() override;

    pageui::SortedListBox* list(UINT id) const;
    pageui::IpAddressEdit* addressControl() const { return m_address; }

    // The custom filter dialog (1000): name and value, or nothing at Cancel.
    static std::optional<std::pair<std::string, std::string>>
    askCustomFilter(QWidget* parent, const std::string& name, const std::string& value);
    // The server dialog (1001): one text, or nothing at Cancel.
    static std::optional<std::string> askServer(QWidget* parent, const std::string& text);

private:
    void buildControls();
    void load();
    void onPageAction() override;
    void onCommand(UINT id, WORD code) override;
    void updateEnabled();
    void addCustomFilter();
    void editCustomFilter();
    void addServer(UINT listId);
    void editServer(UINT listId);
    void removeSelected(UINT listId);
    void registryError(bool secondBox, const char* second);

    pageui::SortedListBox* m_custom = nullptr;
    pageui::SortedListBox* m_stop = nullptr;
    pageui::SortedListBox* m_trusted = nullptr;
    pageui::IpAddressEdit* m_address = nullptr;
};

} // namespace filters
