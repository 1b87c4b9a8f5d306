#pragma once
// What a drag from the file manager carries, as the folder box would take
// it: exactly one local folder. Files, several items, remote places and
// plain text are not a folder to take.

#include <QMimeData>
#include <QString>

namespace quillmere::app {

// The folder's path as the chooser would give it, or the empty string when
// the drag is not exactly one local folder.
QString DroppedFolder(const QMimeData& data);

}  // namespace quillmere::app
