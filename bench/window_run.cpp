// One whole run in the window program, as an operator starts it: the folder
// typed into 图像文件夹编辑框, 显示文件名选择框 ticked or not, 开始提取按钮
// clicked, every box answered at once. Prints the run's wall time; peak
// memory comes from /usr/bin/time around it (window_run.sh).
//
// usage: window_run FOLDER WORKBOOK_DIR ticked|unticked   (QT_QPA_PLATFORM=offscreen)

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/control_table.h"
#include "app/extraction_session.h"
#include "app/main_window.h"
#include "app/ui_dialogs.h"
#include "workflow/file_preparer.h"
#include "workflow/window_port.h"

namespace {

using namespace quillmere;

// Every box is answered as soon as it opens; the chooser is never used.
class AnsweringDialogs final : public app::UiDialogs {
public:
    QMessageBox::StandardButton ShowMessage(const app::MessageBoxRequest& request, QWidget*) override {
        std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
        return QMessageBox::Ok;
    }
    QString ChooseFolder(const QString&, const QString&, QWidget*) override { return QString(); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[3], "ticked") != 0 && std::strcmp(argv[3], "unticked") != 0)) {
        std::fprintf(stderr, "usage: window_run FOLDER WORKBOOK_DIR ticked|unticked\n");
        return 2;
    }
    QApplication application(argc, argv);
    app::MainWindow window;
    AnsweringDialogs dialogs;
    app::SessionServices services = app::ProgramServices();
    services.workbookFolder = QString::fromLocal8Bit(argv[2]);
    services.openWorkbook = [](const QString&) { return true; };
    app::ExtractionSession session(window, dialogs, std::move(services));
    session.Start();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;

    qobject_cast<QLineEdit*>(window.control(app::ControlRole::Folder))->setText(QString::fromLocal8Bit(argv[1]));
    qobject_cast<QCheckBox*>(window.control(app::ControlRole::ShowNames))
        ->setChecked(std::strcmp(argv[3], "ticked") == 0);
    auto* start = qobject_cast<QPushButton*>(window.control(app::ControlRole::StartButton));
    start->setEnabled(true);

    const auto started = std::chrono::steady_clock::now();
    start->click();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s: %.2f s, outcome %d\n", argv[3], seconds, static_cast<int>(session.lastRun().outcome));
    return 0;
}
