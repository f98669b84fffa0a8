#pragma once
// The suite's pictures, loaded from the res/ folder beside the program (rendered there
// from SVG at build time). A bitmap resource is found by its name ("APPLYU", "back2") or
// its number (152), as "<name>.bmp" or "<name>.png"; an icon by its number ("229.png").

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <filesystem>

namespace pageui {

class Resources {
public:
    // Resource numbers of the pictures.
    static constexpr int MainIcon = 128;
    static constexpr int LedStrip = 152;
    static constexpr int AboutPicture = 212;
    static constexpr int TrayRunning = 229;
    static constexpr int TrayStopped = 230;

    // The folder pictures are read from: <program folder>/res unless set otherwise.
    static std::filesystem::path folder();
    // Points the lookup at another folder (tests and tools that do not live in the bin
    // folder); an empty path goes back to the program folder's res/.
    static void setFolder(const std::filesystem::path& folder);

    // A null pixmap when the picture is missing.
    static QPixmap pixmap(const QString& name);
    static QPixmap bitmap(int id) { return pixmap(QString::number(id)); }
    // A null icon when the picture is missing.
    static QIcon icon(const QString& name);
    static QIcon icon(int id) { return icon(QString::number(id)); }
};

} // namespace pageui
