#include "app/extraction_session.h"

#include <QDesktopServices>
#include <QUrl>

#include "app/workbook_naming.h"
#include "runtime/text_encoding.h"
#include "workflow/file_preparer.h"

namespace quillmere::app {

SessionServices ProgramServices() {
    SessionServices services;
    services.workbookFolder = DefaultWorkbookFolder();
    services.clock = [] { return QDateTime::currentDateTime(); };
    services.openWorkbook = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    services.settings.pool = workflow::DefaultPreparePool();
    return services;
}

ExtractionSession::ExtractionSession(MainWindow& window, UiDialogs& dialogs, SessionServices services)
    : window_(window),
      port_(window, dialogs),
      factory_(std::move(services.workbookFolder), std::move(services.clock)),
      app_(factory_),
      handlers_(port_, fs_, app_, workbook_, services.settings),
      openWorkbook_(std::move(services.openWorkbook)) {
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
    factory_.SetImageFolder(port_.Content(workflow::control::kFolder));
    factory_.ForgetSavedPath();
    window_.setBusy(true);
    lastRun_ = handlers_.StartExtraction();
    const bool handOver = lastRun_.outcome == workflow::RunOutcome::Completed && lastRun_.saveFailure.empty() &&
                          !factory_.SavedPath().isEmpty();
    if (handOver && openWorkbook_) openWorkbook_(factory_.SavedPath());
    window_.setBusy(false);  // ends the program here if the window was closed meanwhile
}

}  // namespace quillmere::app
