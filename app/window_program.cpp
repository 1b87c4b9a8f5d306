#include "app/window_program.h"

#include <QApplication>
#include <QDialog>

#include <exception>
#include <memory>

#include "app/main_window.h"
#include "app/termination_signals.h"

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
    // Logout and kill close the window as the operator would; a box left
    // open would otherwise hold the program until someone answers it.
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, window.get(), [&window] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->reject();
        window->close();
    });
    QObject::connect(window.get(), &MainWindow::finished, qApp, [] { QCoreApplication::exit(kExitClosed); },
                     Qt::QueuedConnection);
    session.Start();
    return QApplication::exec();
}

}  // namespace quillmere::app
