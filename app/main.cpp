// quillmere: the window program.

#include <QApplication>
#include <QMessageBox>

#include <exception>
#include <memory>

#include "app/extraction_session.h"
#include "app/main_window.h"
#include "app/ui_dialogs.h"

namespace {

constexpr int kExitWindowFailed = -1;

int ReportWindowFailure() {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quillmere"),
                    QStringLiteral("运行时出错!\n\n载入启动窗口失败"), QMessageBox::Ok);
    box.exec();
    return kExitWindowFailed;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quillmere::app;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    // The window says when the program ends: a close during a run waits
    // for the run to save its rows.
    QApplication::setQuitOnLastWindowClosed(false);

    std::unique_ptr<MainWindow> window;
    try {
        window = std::make_unique<MainWindow>();
    } catch (const std::exception&) {
        return ReportWindowFailure();
    }
    if (!window->missingControls().empty()) return ReportWindowFailure();

    QtUiDialogs dialogs;
    ExtractionSession session(*window, dialogs, DesktopServices());
    QObject::connect(window.get(), &MainWindow::finished, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    session.Start();
    return QApplication::exec();
}
