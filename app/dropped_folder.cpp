#include "app/dropped_folder.h"

#include <QFileInfo>
#include <QList>
#include <QUrl>

#include "app/qt_window_port.h"

namespace quillmere::app {

QString DroppedFolder(const QMimeData& data) {
    if (!data.hasUrls()) return QString();
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return QString();
    const QString path = urls.front().toLocalFile();
    if (path.isEmpty() || !QFileInfo(path).isDir()) return QString();
    return FolderPathForBox(path);
}

}  // namespace quillmere::app
