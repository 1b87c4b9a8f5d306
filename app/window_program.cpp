#include "app/window_program.h"

#include <QApplication>

#include <exception>
#include <memory>

#include "app/main_window.h"

namespace quillmere::app {

namespace {

int ReportWindowFailure(UiDialogs& dialogs) {
    MessageBoxRequest request;
    request.caption = QStringLiteral("Quillmere");
    request.text = QStringLiteral("运行时出错!\n\n载入启动窗口失败");
    request.icon = QMessageBox::Critical;
    dialogs.ShowMessage(request, nullptr);
    return kExitWindowFailed;
}

}  // namespace

int RunWindowProgram(UiDialogs& dialogs, SessionServices services) {
    // The window says when the program ends: a close during a run waits for
    // the run to save its rows.
    QApplication::setQuitOnLastWindowClosed(false);

    std::unique_ptr<MainWindow> window;
    try {
        window = std::make_unique<MainWindow>();
    } catch (const std::exception&) {
        return ReportWindowFailure(dialogs);
    }
    if (!window->missingControls().empty()) return ReportWindowFailure(dialogs);

    ExtractionSession session(*window, dialogs, std::move(services));
    QObject::connect(window.get(), &MainWindow::finished, qApp, [] { QCoreApplication::exit(kExitClosed); },
                     Qt::QueuedConnection);
    session.Start();
    return QApplication::exec();
}

}  // namespace quillmere::app
