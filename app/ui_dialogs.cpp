#include "app/ui_dialogs.h"

#include <QFileDialog>

namespace quillmere::app {

QMessageBox::StandardButton QtUiDialogs::ShowMessage(const MessageBoxRequest& request, QWidget* parent) {
    const std::unique_ptr<QMessageBox> box = BuildMessageBox(request, parent);
    box->exec();
    return box->standardButton(box->clickedButton());
}

QString QtUiDialogs::ChooseFolder(const QString& title, const QString& startFolder, QWidget* parent) {
    return QFileDialog::getExistingDirectory(parent, title, startFolder, QFileDialog::ShowDirsOnly);
}

}  // namespace quillmere::app
