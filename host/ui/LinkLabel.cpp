#include "LinkLabel.h"

#include <platform/Environment.h>
#include <platform/Processes.h>
#include <platform/Windows.h>

#include <QMouseEvent>

namespace host::ui {

namespace {
constexpr const char* BrowserPath = "Program Files\\Internet Explorer\\iexplore.exe ";
}

LinkLabel::LinkLabel(const QString& text, int mode, QWidget* parent)
    : QLabel(text, parent), m_mode(mode)
{
    QFont font = this->font();
    font.setPixelSize(15);
    font.setWeight(QFont::Thin);
    font.setUnderline(true);
    setFont(font);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, QColor(0x77, 0x77, 0xFF));
    setPalette(colours);
    setCursor(Qt::PointingHandCursor);
}

std::string LinkLabel::commandLine(int mode)
{
    char appData[MAX_PATH] = {};
    if (!SHGetSpecialFolderPath(0, appData, CSIDL_APPDATA, FALSE)) {
        return {};
    }
    return std::string(appData).substr(0, 3) + BrowserPath +
           (mode == Support ? SupportAddress : WebSiteAddress);
}

bool LinkLabel::open(int mode)
{
    const std::string command = commandLine(mode);
    // A browser that is not where it should be simply does not start.
    return !command.empty() && WinExec(command.c_str(), SW_SHOWNORMAL) > 31;
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        open(m_mode);
    }
    QLabel::mouseReleaseEvent(event);
}

} // namespace host::ui
