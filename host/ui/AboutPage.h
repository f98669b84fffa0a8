#pragma once
// The about page of the main window (dialog 211): the picture, a few lines about the
// program in grey, and the two links (1025 web site, 1026 support page).

#include <platform/Window.h>

#include <QWidget>

namespace host::ui {

class LinkLabel;

class AboutPage : public QWidget, public platform::Window {
    Q_OBJECT
public:
    static constexpr int ResourceId = 211;
    static constexpr UINT WebSiteLinkId = 1025;
    static constexpr UINT SupportLinkId = 1026;

    explicit AboutPage(QWidget* parent = nullptr);

    LinkLabel* webSiteLink() const { return m_webSite; }
    LinkLabel* supportLink() const { return m_support; }

private:
    LinkLabel* m_webSite = nullptr;
    LinkLabel* m_support = nullptr;
};

} // namespace host::ui
