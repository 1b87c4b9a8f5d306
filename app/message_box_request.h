#pragma once
// What a message box shows, decoded from the flags the workflow passes: the
// low four bits choose the buttons, the next four the icon, 0x1000 asks for
// a box above every window. Kept apart from showing it, so the decoding and
// the box built from it can be checked without waiting on a dialog.

#include <QMessageBox>
#include <QString>

#include <memory>

namespace quillmere::app {

// The caption a box gets when the caller names none.
inline constexpr const char* kDefaultMessageCaption = "信息：";

struct MessageBoxRequest {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // 0x1000: kept above every window; otherwise modal for this program.
    bool systemModal = false;
};

MessageBoxRequest DecodeMessageBox(const QString& text, int flags, const QString& caption = {});

// The box for a request, modal for the whole program, not yet shown.
std::unique_ptr<QMessageBox> BuildMessageBox(const MessageBoxRequest& request, QWidget* parent);

// The number a caller gets back for the button that closed the box: OK 0,
// Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6, anything else 0.
int MessageBoxResult(QMessageBox::StandardButton button);

}  // namespace quillmere::app
