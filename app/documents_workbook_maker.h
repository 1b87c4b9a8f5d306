#pragma once
// The window program's workbooks: each run's workbook goes into the
// workbook folder under a name made from the image folder and the moment
// the run asked for it; two runs in one second never share it (the second
// is saved as "-2").

#include <QDateTime>
#include <QString>

#include <functional>

#include "runtime/text.h"
#include "sheet/row_workbook.h"

namespace quillmere::app {

class DocumentsWorkbookMaker final : public sheet::WorkbookMaker {
public:
    using Clock = std::function<QDateTime()>;

    // outputFolder is created when the first workbook is asked for.
    DocumentsWorkbookMaker(QString outputFolder, Clock clock);

    // The folder the next run lists; names the next workbook.
    void SetImageFolder(const Text& imageFolder) { imageFolder_ = imageFolder; }

    sheet::CreatedWorkbook Create(const sheet::WorkbookLayout& layout) override;

private:
    QString outputFolder_;
    Clock clock_;
    Text imageFolder_;
};

}  // namespace quillmere::app
