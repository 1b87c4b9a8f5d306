#include "app/extraction_session.h"

#include "app/workbook_naming.h"
#include "runtime/text_encoding.h"
#include "workflow/file_preparer.h"

namespace quillmere::app {

SessionServices ProgramServices() {
    SessionServices services;
    services.workbookFolder = DefaultWorkbookFolder();
    services.clock = [] { return QDateTime::currentDateTime(); };
    services.openWorkbook = DesktopWorkbookOpener();
    services.settings.pool = workflow::DefaultPreparePool();
    return services;
}

ExtractionSession::ExtractionSession(MainWindow& window, UiDialogs& dialogs, SessionServices services)
    : window_(window),
      port_(window, dialogs, std::move(services.openWorkbook)),
      documentsMaker_(std::move(services.workbookFolder), std::move(services.clock)),
      handlers_(port_, fs_, services.workbookMaker ? *services.workbookMaker : documentsMaker_, services.settings) {
    chooseConnection_ =
        QObject::connect(&window_, &MainWindow::chooseFolderClicked, &window_, [this] { ChooseFolder(); });
    startConnection_ = QObject::connect(&window_, &MainWindow::startClicked, &window_, [this] { StartExtraction(); });
    dropConnection_ = QObject::connect(&window_, &MainWindow::folderDropped, &window_,
                                       [this](const QString& folder) { TakeDroppedFolder(folder); });
}

ExtractionSession::~ExtractionSession() {
    QObject::disconnect(chooseConnection_);
    QObject::disconnect(startConnection_);
    QObject::disconnect(dropConnection_);
}

void ExtractionSession::Start() {
    window_.show();
    handlers_.ShowNotesText();
}

void ExtractionSession::ChooseFolder() { handlers_.ChooseImageFolder(); }

void ExtractionSession::TakeDroppedFolder(const QString& folder) {
    handlers_.TakeImageFolder(TextFromUtf8(folder.toStdString()));
}

void ExtractionSession::StartExtraction() {
    // A click reaching here from inside a run's event processing is not a
    // second run; the handlers turn it away, and the busy state stays the
    // outer run's.
    if (handlers_.RunInProgress()) return;
    documentsMaker_.SetImageFolder(port_.Folder());
    window_.setBusy(true);
    lastRun_ = handlers_.StartExtraction();
    window_.setBusy(false);  // ends the program here if the window was closed meanwhile
}

}  // namespace quillmere::app
