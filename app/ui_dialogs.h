#pragma once
// The two services that wait for the operator: a message box and the folder
// chooser. The window port reaches them only through this interface, so
// tests answer them without a real dialog ever waiting.

#include <QMessageBox>
#include <QString>

#include "app/message_box_request.h"

namespace quillmere::app {

class UiDialogs {
public:
    virtual ~UiDialogs() = default;
    // Shows the box modally and returns the button that closed it.
    virtual QMessageBox::StandardButton ShowMessage(const MessageBoxRequest& request, QWidget* parent) = 0;
    // The folder the operator chose, or the empty string when cancelled;
    // the chooser opens at startFolder.
    virtual QString ChooseFolder(const QString& title, const QString& startFolder, QWidget* parent) = 0;
};

// The platform's message box and folder chooser.
class QtUiDialogs final : public UiDialogs {
public:
    QMessageBox::StandardButton ShowMessage(const MessageBoxRequest& request, QWidget* parent) override;
    // The desktop's own chooser where the platform theme offers one (GTK,
    // the desktop portal, KDE), else Qt's.
    QString ChooseFolder(const QString& title, const QString& startFolder, QWidget* parent) override;
};

}  // namespace quillmere::app
