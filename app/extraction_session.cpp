#include "app/extraction_session.h"

#include <QCheckBox>

#include "app/acceptance_rules_dialog.h"
#include "app/control_table.h"
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
    services.rulesPath = DefaultAcceptanceRulesPath();
    services.editRules = [](const QString& rulesPath, QWidget* parent) {
        AcceptanceRulesDialog dialog(rulesPath, ChooseCatalogueFile, parent);
        dialog.exec();
    };
    return services;
}

ExtractionSession::ExtractionSession(MainWindow& window, UiDialogs& dialogs, SessionServices services)
    : window_(window),
      port_(window, dialogs, std::move(services.openWorkbook)),
      documentsMaker_(std::move(services.workbookFolder), std::move(services.clock)),
      handlers_(port_, fs_, services.workbookMaker ? *services.workbookMaker : documentsMaker_, services.settings),
      rulesPath_(std::move(services.rulesPath)),
      editRules_(std::move(services.editRules)) {
    chooseConnection_ =
        QObject::connect(&window_, &MainWindow::chooseFolderClicked, &window_, [this] { ChooseFolder(); });
    startConnection_ = QObject::connect(&window_, &MainWindow::startClicked, &window_, [this] { StartExtraction(); });
    dropConnection_ = QObject::connect(&window_, &MainWindow::folderDropped, &window_,
                                       [this](const QString& folder) { TakeDroppedFolder(folder); });
    rulesConnection_ = QObject::connect(&window_, &MainWindow::rulesClicked, &window_, [this] { EditRules(); });
}

ExtractionSession::~ExtractionSession() {
    QObject::disconnect(chooseConnection_);
    QObject::disconnect(startConnection_);
    QObject::disconnect(dropConnection_);
    QObject::disconnect(rulesConnection_);
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
    lastRun_ =
        AcceptanceWanted() ? handlers_.StartCheckedExtraction(rulesPath_.toStdString()) : handlers_.StartExtraction();
    window_.setBusy(false);  // ends the program here if the window was closed meanwhile
}

bool ExtractionSession::AcceptanceWanted() const {
    const auto* box = qobject_cast<const QCheckBox*>(window_.control(ControlRole::Acceptance));
    return box != nullptr && box->isChecked();
}

void ExtractionSession::EditRules() {
    if (editRules_) editRules_(rulesPath_, &window_);
}

}  // namespace quillmere::app
