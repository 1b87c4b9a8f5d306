// The window program as main runs it (the real services, the documents
// folder under $HOME), with an operator who chooses the folder given as the
// first argument and starts a run. Once the run writes the third file it
// prints "writing" and holds that file until the program is asked to close;
// with "idle" as the second argument it only prints "idle" once the window
// is up. A test signals the process at that point.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <cstdio>

#include "app/extraction_session.h"
#include "app/main_window.h"
#include "app/window_program.h"
#include "scripted_dialogs.h"

using namespace quillmere;

namespace {

app::MainWindow* ShownWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<app::MainWindow*>(widget); window && window->isVisible()) return window;
    }
    return nullptr;
}

void Say(const char* word) {
    std::printf("%s\n", word);
    std::fflush(stdout);
}

// Lets events through, the signal's among them, until the window has been
// asked to close; gives up after a while so a broken handler cannot hang CI.
void HoldUntilCloseRequested(app::MainWindow& window) {
    QElapsedTimer waited;
    waited.start();
    while (!window.closeRequested() && waited.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) return 2;
    const bool idle = argc > 2 && QString::fromUtf8(argv[2]) == QStringLiteral("idle");
    testing::ScriptedDialogs dialogs;
    dialogs.folderAnswers.push_back(QString::fromUtf8(argv[1]));

    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        app::MainWindow* window = ShownWindow();
        if (!window) return;
        poll.stop();
        if (idle) {
            Say("idle");
            return;
        }
        auto* status = qobject_cast<QLineEdit*>(window->control("状态编辑框"));
        QObject::connect(status, &QLineEdit::textChanged, window, [window](const QString& text) {
            if (!text.contains(QStringLiteral("正在提取第3个文件"))) return;
            Say("writing");
            HoldUntilCloseRequested(*window);
        });
        QTest::mouseClick(qobject_cast<QAbstractButton*>(window->control("选择文件夹按钮")), Qt::LeftButton);
        QTest::mouseClick(qobject_cast<QAbstractButton*>(window->control("开始提取按钮")), Qt::LeftButton);
    });
    poll.start();

    app::SessionServices services = app::ProgramServices();
    services.openWorkbook = [](const QString&) {
        Say("opened");  // a completed run: the signal came too late
        return true;
    };
    return app::RunWindowProgram(dialogs, std::move(services));
}
