#include "AboutPage.h"

#include "LinkLabel.h"
#include "Resources.h"

#include <common/ui/SettingsPage.h>

#include <QLabel>

namespace host::ui {

namespace {

constexpr const char* ProductLine = "Umbravia 1.0";
constexpr const char* CopyrightLine = "\u00a9 Kestrani. All rights reserved.";
constexpr const char* Description =
    "Umbravia keeps your browsing private. Its local proxy removes what your requests "
    "give away, cleans the pages you receive, and can hide your address behind a chain "
    "of proxies.";
constexpr const char* WebSiteText = "Visit the Umbravia web site";
constexpr const char* SupportText = "Get help from Umbravia support";

} // namespace

AboutPage::AboutPage(QWidget* parent) : QWidget(parent)
{
    setObjectName("AboutPage");
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::WindowText, QColor(100, 100, 100));
    setPalette(colours);
    resize(pageui::PageSize);

    auto* picture = new QLabel(this);
    picture->setPixmap(Resources::bitmap(Resources::AboutPicture));
    picture->setGeometry(20, 22, 200, 150);

    auto* product = new QLabel(ProductLine, this);
    QFont title = product->font();
    title.setPixelSize(20);
    title.setBold(true);
    product->setFont(title);
    product->setGeometry(240, 26, 210, 28);

    auto* copyright = new QLabel(CopyrightLine, this);
    QFont small = copyright->font();
    small.setPixelSize(11);
    copyright->setFont(small);
    copyright->setGeometry(240, 56, 215, 18);

    auto* description = new QLabel(Description, this);
    description->setWordWrap(true);
    QFont body = description->font();
    body.setPixelSize(12);
    description->setFont(body);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    description->setGeometry(240, 84, 212, 120);

    m_webSite = new LinkLabel(WebSiteText, LinkLabel::WebSite, this);
    m_webSite->setGeometry(20, 212, 420, 22);
    m_support = new LinkLabel(SupportText, LinkLabel::Support, this);
    m_support->setGeometry(20, 240, 420, 22);

    auto* rule = new QLabel(this);
    rule->setGeometry(20, 196, 428, 1);
    rule->setStyleSheet("background: #e3e6ee;");

    auto* note = new QLabel("The links open in your web browser.", this);
    note->setFont(small);
    note->setGeometry(20, 298, 428, 18);

    attachWidget(this);
}

} // namespace host::ui
