#pragma once
// Where the folder chooser opens: at the folder in 图像文件夹编辑框 when that
// is a folder, else at the last folder chosen in this session, else at the
// home folder.

#include <QString>

namespace quillmere::app {

class FolderChooserStart {
public:
    QString StartFolder(const QString& folderBoxText) const;
    // A chosen folder; a cancelled chooser ("") changes nothing.
    void Remember(const QString& chosen);

private:
    QString lastChosen_;
};

}  // namespace quillmere::app
