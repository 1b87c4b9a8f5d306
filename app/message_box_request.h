#pragma once
// What a message box shows, made from the kind of message the workflow
// passes. Kept apart from showing it, so the box built from a request can be
// checked without waiting on a dialog.

#include <QMessageBox>
#include <QString>

#include <memory>

#include "workflow/window_port.h"

namespace quillmere::app {

// The caption a box gets when the caller names none.
inline constexpr const char* kDefaultMessageCaption = "信息：";

struct MessageBoxRequest {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

// An OK box with the default caption: no icon for a plain message, the
// warning icon for a warning.
MessageBoxRequest MessageFor(const QString& text, workflow::MessageKind kind);

// The box for a request, modal for the whole program, not yet shown.
std::unique_ptr<QMessageBox> BuildMessageBox(const MessageBoxRequest& request, QWidget* parent);

}  // namespace quillmere::app
