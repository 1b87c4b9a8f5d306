#include "app/documents_workbook_factory.h"

#include <QDir>

#include "app/workbook_naming.h"

namespace quillmere::app {

DocumentsWorkbookFactory::DocumentsWorkbookFactory(QString outputFolder, Clock clock)
    : outputFolder_(std::move(outputFolder)), clock_(std::move(clock)) {}

std::shared_ptr<sheet::SpreadsheetApplication> DocumentsWorkbookFactory::Create() {
    // A folder that cannot be made leaves the path unwritable, which the xlsx
    // application reports as an instance it cannot create.
    QDir().mkpath(outputFolder_);
    const QString path = WorkbookPath(outputFolder_, imageFolder_, clock_());
    current_.emplace(path.toStdString(), [this](const std::string& savedPath) {
        savedPath_ = QString::fromStdString(savedPath);
    });
    return current_->Create();
}

}  // namespace quillmere::app
