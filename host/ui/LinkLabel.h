#pragma once
// The link control: an underlined, light-blue static text with the hand cursor. A click
// opens its target in the browser at C:\Program Files\Internet Explorer\iexplore.exe.
// Mode 1 is the product's web site, mode 2 its support page.

#include <QLabel>

#include <string>

namespace host::ui {

class LinkLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int WebSite = 1;
    static constexpr int Support = 2;
    static constexpr const char* WebSiteAddress = "https://umbravia.example/";
    static constexpr const char* SupportAddress = "https://umbravia.example/support";

    LinkLabel(const QString& text, int mode, QWidget* parent = nullptr);

    int mode() const { return m_mode; }
    // The command line that opens a mode's address: the drive of the application-data
    // folder, "Program Files\Internet Explorer\iexplore.exe " and the address.
    static std::string commandLine(int mode);
    // Starts that command line shown normally; false when it did not start.
    static bool open(int mode);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_mode;
};

} // namespace host::ui
