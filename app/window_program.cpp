#include "app/window_program.h"

#include <QApplication>
#include <QDialog>

#include <memory>

#include "app/main_window.h"
#include "app/termination_signals.h"

namespace quillmere::app {

int RunWindowProgram(UiDialogs& dialogs, SessionServices services) {
    // The window says when the program ends: a close during a run waits for
    // the run to save its rows.
    QApplication::setQuitOnLastWindowClosed(false);

    const auto window = std::make_unique<MainWindow>();
    ExtractionSession session(*window, dialogs, std::move(services));
    // Logout and kill close the window as the operator would; a box left
    // open would otherwise hold the program until someone answers it.
    TerminationSignals terminations;
    if (!terminations.installed()) {
        // The signals then end the program outright, as for any program:
        // the operator must know that a run is not saved on logout.
        dialogs.ShowMessage(MessageFor(QStringLiteral("无法接管注销和结束信号（%1）：提取过程中注销或结束程序时，"
                                                      "已提取的内容不会保存。")
                                           .arg(terminations.failure()),
                                       workflow::MessageKind::Warning),
                            window.get());
    }
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
