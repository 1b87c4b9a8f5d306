#include "app/message_box_request.h"

namespace quillmere::app {

MessageBoxRequest MessageFor(const QString& text, workflow::MessageKind kind) {
    MessageBoxRequest request;
    request.caption = QString::fromUtf8(kDefaultMessageCaption);
    request.text = text;
    request.icon = kind == workflow::MessageKind::Warning ? QMessageBox::Warning : QMessageBox::NoIcon;
    return request;
}

std::unique_ptr<QMessageBox> BuildMessageBox(const MessageBoxRequest& request, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(request.icon, request.caption, request.text, request.buttons, parent);
    box->setWindowModality(Qt::ApplicationModal);
    box->setTextFormat(Qt::PlainText);
    return box;
}

}  // namespace quillmere::app
