#include "app/message_box_request.h"

namespace quillmere::app {

namespace {

constexpr int kSystemModal = 0x1000;

QMessageBox::StandardButtons ButtonsOf(int flags) {
    switch (flags & 0x0F) {
        case 1: return QMessageBox::Ok | QMessageBox::Cancel;
        case 2: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        case 3: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case 4: return QMessageBox::Yes | QMessageBox::No;
        case 5: return QMessageBox::Retry | QMessageBox::Cancel;
        default: return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconOf(int flags) {
    switch (flags & 0xF0) {
        case 0x10: return QMessageBox::Critical;
        case 0x20: return QMessageBox::Question;
        case 0x30: return QMessageBox::Warning;
        case 0x40: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

}  // namespace

MessageBoxRequest DecodeMessageBox(const QString& text, int flags, const QString& caption) {
    MessageBoxRequest request;
    request.caption = caption.isEmpty() ? QString::fromUtf8(kDefaultMessageCaption) : caption;
    request.text = text;
    request.icon = IconOf(flags);
    request.buttons = ButtonsOf(flags);
    request.systemModal = (flags & kSystemModal) != 0;
    return request;
}

std::unique_ptr<QMessageBox> BuildMessageBox(const MessageBoxRequest& request, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(request.icon, request.caption, request.text, request.buttons, parent);
    box->setWindowModality(Qt::ApplicationModal);
    box->setTextFormat(Qt::PlainText);
    if (request.systemModal) box->setWindowFlag(Qt::WindowStaysOnTopHint);
    return box;
}

int MessageBoxResult(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Cancel: return 1;
        case QMessageBox::Abort: return 2;
        case QMessageBox::Retry: return 3;
        case QMessageBox::Ignore: return 4;
        case QMessageBox::Yes: return 5;
        case QMessageBox::No: return 6;
        default: return 0;
    }
}

}  // namespace quillmere::app
