#pragma once
// Everything one window program needs besides the window: the window port,
// the file system, the workbook maker and the window handlers, wired to the
// window's buttons.

#include <QDateTime>
#include <QString>

#include <functional>

#include "app/documents_workbook_maker.h"
#include "app/main_window.h"
#include "app/qt_window_port.h"
#include "app/ui_dialogs.h"
#include "runtime/real_file_system.h"
#include "workflow/extraction_run.h"
#include "workflow/window_handlers.h"

namespace quillmere::app {

struct SessionServices {
    QString workbookFolder;                // where workbooks are saved
    DocumentsWorkbookMaker::Clock clock;   // names each workbook
    WorkbookOpener openWorkbook;           // hands a saved workbook to the desktop
    workflow::RunSettings settings;
    sheet::WorkbookMaker* workbookMaker = nullptr;  // another maker than the folder's; must outlive the session
    QString rulesPath;                              // the acceptance rules file (UTF-8 path)
    // Lets the operator edit that file (the 检验要求 dialog); called with the path.
    std::function<void(const QString& rulesPath, QWidget* parent)> editRules;
};

// The services of the real program: the documents folder, the local clock,
// the desktop's spreadsheet application and the default worker count.
SessionServices ProgramServices();

class ExtractionSession {
public:
    ExtractionSession(MainWindow& window, UiDialogs& dialogs, SessionServices services);
    ~ExtractionSession();
    ExtractionSession(const ExtractionSession&) = delete;
    ExtractionSession& operator=(const ExtractionSession&) = delete;

    // Shows the window and puts the notes text in place.
    void Start();

    QtWindowPort& port() { return port_; }
    // How the last run ended.
    const workflow::RunResult& lastRun() const { return lastRun_; }

private:
    void ChooseFolder();
    void TakeDroppedFolder(const QString& folder);
    void StartExtraction();
    void EditRules();
    bool AcceptanceWanted() const;

    MainWindow& window_;
    QtWindowPort port_;
    RealFileSystem fs_;
    DocumentsWorkbookMaker documentsMaker_;
    workflow::WindowHandlers handlers_;
    workflow::RunResult lastRun_;
    QString rulesPath_;
    std::function<void(const QString&, QWidget*)> editRules_;
    QMetaObject::Connection rulesConnection_;
    QMetaObject::Connection chooseConnection_;
    QMetaObject::Connection startConnection_;
    QMetaObject::Connection dropConnection_;
};

}  // namespace quillmere::app
