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
    // The folder the operator chose, or the empty string when cancelled.
    virtual QString ChooseFolder(const QString& title, QWidget* parent) = 0;
};

// The platform's message box and folder chooser.
class QtUiDialogs final : public UiDialogs {
public:
    QMessageBox::StandardButton ShowMessage(const MessageBoxRequest& request, QWidget* parent) override;
    QString ChooseFolder(const QString& title, QWidget* parent) override;
};

}  // namespace quillmere::app
