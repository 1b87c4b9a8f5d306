#include "app/qt_window_port.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

#include <algorithm>

#include "app/notes_box.h"
#include "runtime/text_encoding.h"

namespace quillmere::app {

namespace {

QString ToQString(const Text& text) { return QString::fromStdString(TextToUtf8(text)); }
Text FromQString(const QString& text) { return TextFromUtf8(text.toStdString()); }

// A multi-line box separates its lines with CR LF, as its content is read
// and written; the widget keeps plain line feeds.
QString ToWidgetLines(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }
QString FromWidgetLines(QString text) { return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n")); }

void AppendToSingleLine(QLineEdit& box, const QString& text) {
    box.setText(box.text() + text);
    box.setCursorPosition(static_cast<int>(box.text().size()));
}

}  // namespace

QtWindowPort::QtWindowPort(MainWindow& window, UiDialogs& dialogs) : window_(window), dialogs_(dialogs) {}

Text QtWindowPort::Content(std::string_view control) const {
    QWidget* widget = window_.control(control);
    if (const auto* line = qobject_cast<QLineEdit*>(widget)) return FromQString(line->text());
    if (auto* lines = qobject_cast<NotesBox*>(widget)) {
        return FromQString(FromWidgetLines(lines->text()));
    }
    return Text();
}

void QtWindowPort::SetContent(std::string_view control, const Text& text) {
    QWidget* widget = window_.control(control);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setText(ToQString(text));
    } else if (auto* lines = qobject_cast<NotesBox*>(widget)) {
        lines->setLines(ToWidgetLines(ToQString(text)));
    }
}

void QtWindowPort::SetDisabled(std::string_view control, bool disabled) {
    if (QWidget* widget = window_.control(control)) widget->setEnabled(!disabled);
}

int QtWindowPort::Checked(std::string_view control) const {
    const auto* box = qobject_cast<QCheckBox*>(window_.control(control));
    return box && box->isChecked() ? 1 : 0;
}

void QtWindowPort::SetPosition(int position) {
    position_ = std::clamp(position, 0, 3);
    if (!window_.isVisible()) return;
    switch (position_) {
        case 0: window_.showNormal(); break;
        case 1:
            window_.showNormal();
            window_.centreOnPrimaryScreen();
            break;
        case 2: window_.showMinimized(); break;
        case 3: window_.showMaximized(); break;
    }
}

int QtWindowPort::ShowMessage(const Text& message, int flags) {
    const MessageBoxRequest request = DecodeMessageBox(ToQString(message), flags);
    return MessageBoxResult(dialogs_.ShowMessage(request, &window_));
}

void QtWindowPort::ProcessEvents() {
    // Handles what is pending and returns; a quit request only marks the
    // main loop to end, which it does once the running handler returns.
    QCoreApplication::processEvents();
}

void QtWindowPort::AppendText(std::string_view control, const Text& text) {
    QWidget* widget = window_.control(control);
    if (auto* lines = qobject_cast<NotesBox*>(widget)) {
        lines->appendLines(ToWidgetLines(ToQString(text)));
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        AppendToSingleLine(*line, ToQString(text));
    }
}

Text QtWindowPort::BrowseForFolder(const Text& title) {
    const auto* box = qobject_cast<QLineEdit*>(window_.control(workflow::control::kFolder));
    const QString start = chooserStart_.StartFolder(box ? box->text() : QString());
    const QString chosen = FolderPathForBox(dialogs_.ChooseFolder(ToQString(title), start, &window_));
    chooserStart_.Remember(chosen);
    return FromQString(chosen);
}

bool QtWindowPort::CloseRequested() const { return window_.closeRequested(); }

QString FolderPathForBox(const QString& chosen) {
    QString path = chosen;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    return path;
}

}  // namespace quillmere::app
