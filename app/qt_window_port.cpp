#include "app/qt_window_port.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QUrl>

#include "app/control_table.h"
#include "app/notes_box.h"
#include "runtime/text_encoding.h"

namespace quillmere::app {

namespace {

QString ToQString(const Text& text) { return QString::fromStdString(TextToUtf8(text)); }
Text FromQString(const QString& text) { return TextFromUtf8(text.toStdString()); }

// The notes box separates its lines with CR LF as the workflow writes them;
// the widget keeps plain line feeds.
QString ToWidgetLines(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

}  // namespace

WorkbookOpener DesktopWorkbookOpener() {
    return [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
}

QtWindowPort::QtWindowPort(MainWindow& window, UiDialogs& dialogs, WorkbookOpener opener)
    : window_(window), dialogs_(dialogs), opener_(std::move(opener)) {}

Text QtWindowPort::LineText(ControlRole role) const {
    const auto* box = qobject_cast<QLineEdit*>(window_.control(role));
    return box ? FromQString(box->text()) : Text();
}

void QtWindowPort::SetLineText(ControlRole role, const Text& text) {
    if (auto* box = qobject_cast<QLineEdit*>(window_.control(role))) box->setText(ToQString(text));
}

workflow::BatchFacts QtWindowPort::ReadBatchFacts() const {
    return {LineText(ControlRole::Scanner), LineText(ControlRole::Maker), LineText(ControlRole::Model),
            LineText(ControlRole::Processor), LineText(ControlRole::Software)};
}

Text QtWindowPort::Folder() const { return LineText(ControlRole::Folder); }

void QtWindowPort::SetFolder(const Text& folder) { SetLineText(ControlRole::Folder, folder); }

void QtWindowPort::SetStatus(const Text& status) { SetLineText(ControlRole::Status, status); }

bool QtWindowPort::PathLogWanted() const {
    const auto* box = qobject_cast<QCheckBox*>(window_.control(ControlRole::ShowNames));
    return box && box->isChecked();
}

void QtWindowPort::AppendToPathLog(const Text& line) {
    if (auto* notes = qobject_cast<NotesBox*>(window_.control(ControlRole::Notes))) {
        notes->appendLines(ToWidgetLines(ToQString(line)));
    }
}

void QtWindowPort::ShowNotes(const Text& notes) {
    if (auto* box = qobject_cast<NotesBox*>(window_.control(ControlRole::Notes))) {
        box->setLines(ToWidgetLines(ToQString(notes)));
    }
}

void QtWindowPort::SetStartEnabled(bool enabled) {
    if (QWidget* start = window_.control(ControlRole::StartButton)) start->setEnabled(enabled);
}

void QtWindowPort::ShowMessage(const Text& message, workflow::MessageKind kind) {
    dialogs_.ShowMessage(MessageFor(ToQString(message), kind), &window_);
}

void QtWindowPort::Minimise() {
    // A hidden window (closed, or never shown) is not brought up to be minimised.
    if (window_.isVisible()) window_.showMinimized();
}

void QtWindowPort::ProcessEvents() {
    // Handles what is pending and returns; a quit request only marks the
    // main loop to end, which it does once the running handler returns.
    QCoreApplication::processEvents();
}

Text QtWindowPort::BrowseForFolder() {
    const auto* box = qobject_cast<QLineEdit*>(window_.control(ControlRole::Folder));
    const QString start = chooserStart_.StartFolder(box ? box->text() : QString());
    const QString chosen = FolderPathForBox(dialogs_.ChooseFolder(QString(), start, &window_));
    chooserStart_.Remember(chosen);
    return FromQString(chosen);
}

bool QtWindowPort::CloseRequested() const { return window_.closeRequested(); }

bool QtWindowPort::OpenWorkbook(const std::string& path) {
    return opener_ && opener_(QString::fromStdString(path));
}

QString FolderPathForBox(const QString& chosen) {
    QString path = chosen;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    return path;
}

}  // namespace quillmere::app
