#pragma once
// "Filter response" (dialog 131): the response filter's switches in DLLs\Filters.dll\Res
// and the banner servers with their replacements in the Banners key, saved on the host's
// OK or its page action (1124).

#include <common/ui/SettingsPage.h>

#include <optional>
#include <string>

namespace pageui {
class SortedListBox;
}

namespace filters {

class ResponseFilterPage : public pageui::SettingsPage {
public:
    static constexpr int ResourceId = 131;
    static constexpr const char* Caption = "Filter response";

    enum ControlId : UINT {
        EnableBox = 1002,
        BannersBox = 1035,
        ScriptsBox = 1037,
        PopupsBox = 1034,
        ImagesBox = 1038,
        TimerBox = 1043,
        UnloadBox = 1041,
        StatusBarBox = 1039,
        ContextMenuBox = 1040,
        PageTitleBox = 1036,
        FlashBox = 1042,
        BannerList = 1028,
        BannerAdd = 1029,
        BannerEdit = 1030,
        BannerRemove = 1031,
    };

    explicit ResponseFilterPage(QWidget* parent);

    void save() override;
    pageui::SortedListBox* bannerList() const { return m_banners; }

    // The banner server dialog (1002): "server:replacement", or nothing at Cancel.
    static std::optional<std::string> askBanner(QWidget* parent, const std::string& server,
                                                const std::string& replacement);

private:
    void buildControls();
    void load();
    void onPageAction() override;
    void onCommand(UINT id, WORD code) override;
    void updateEnabled();
    void addBanner();
    void editBanner();
    void removeBanner();
    void registryError();

    pageui::SortedListBox* m_banners = nullptr;
};

} // namespace filters
