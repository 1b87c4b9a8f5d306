#include "app/folder_chooser_start.h"

#include <QDir>
#include <QFileInfo>

namespace quillmere::app {

namespace {

bool IsFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

}  // namespace

QString FolderChooserStart::StartFolder(const QString& folderBoxText) const {
    if (IsFolder(folderBoxText)) return QFileInfo(folderBoxText).absoluteFilePath();
    if (IsFolder(lastChosen_)) return lastChosen_;
    return QDir::homePath();
}

void FolderChooserStart::Remember(const QString& chosen) {
    if (!chosen.isEmpty()) lastChosen_ = chosen;
}

}  // namespace quillmere::app
