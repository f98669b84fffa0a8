#include <common/ui/Resources.h>
#include <platform/Environment.h>

#include <QFileInfo>
#include <QPixmapCache>

#include <mutex>

namespace pageui {

namespace {

std::mutex g_folderMutex; // guards g_folder
std::filesystem::path g_folder;

QString pictureFile(const QString& name)
{
    const std::filesystem::path folder = Resources::folder();
    for (const char* extension : {".bmp", ".png"}) {
        const QString file =
            QString::fromStdString((folder / (name.toStdString() + extension)).string());
        if (QFileInfo::exists(file)) {
            return file;
        }
    }
    return {};
}

} // namespace

std::filesystem::path Resources::folder()
{
    std::lock_guard lock(g_folderMutex);
    return g_folder.empty() ? platform::programFolder() / "res" : g_folder;
}

void Resources::setFolder(const std::filesystem::path& folder)
{
    {
        std::lock_guard lock(g_folderMutex);
        g_folder = folder;
    }
    QPixmapCache::clear();
}

QPixmap Resources::pixmap(const QString& name)
{
    const QString file = pictureFile(name);
    if (file.isEmpty()) {
        return {};
    }
    QPixmap picture;
    if (!QPixmapCache::find(file, &picture)) {
        picture.load(file);
        QPixmapCache::insert(file, picture);
    }
    return picture;
}

QIcon Resources::icon(const QString& name)
{
    const QPixmap picture = pixmap(name);
    return picture.isNull() ? QIcon() : QIcon(picture);
}

} // namespace pageui
