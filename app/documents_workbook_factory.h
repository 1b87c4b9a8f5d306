#pragma once
// The spreadsheet application of the window program: each instance saves
// its workbook in the workbook folder under a name made from the image
// folder and the moment the instance was created, through the xlsx
// application.

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "runtime/text.h"
#include "sheet/spreadsheet_application.h"
#include "sheet/xlsx_application.h"

namespace quillmere::app {

class DocumentsWorkbookFactory final : public sheet::SpreadsheetApplicationFactory {
public:
    using Clock = std::function<QDateTime()>;

    // outputFolder is created when the first instance is made.
    DocumentsWorkbookFactory(QString outputFolder, Clock clock);

    // The folder the next run lists; names the next workbook.
    void SetImageFolder(const Text& imageFolder) { imageFolder_ = imageFolder; }

    std::shared_ptr<sheet::SpreadsheetApplication> Create() override;

    // Where the last instance saved its workbook; empty until one has.
    const QString& SavedPath() const { return savedPath_; }
    void ForgetSavedPath() { savedPath_.clear(); }

private:
    QString outputFolder_;
    Clock clock_;
    Text imageFolder_;
    QString savedPath_;
    std::optional<sheet::XlsxApplicationFactory> current_;
};

}  // namespace quillmere::app
