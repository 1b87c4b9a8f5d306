#include "app/documents_workbook_maker.h"

#include <filesystem>
#include <system_error>

#include "app/workbook_naming.h"
#include "sheet/failure_reason.h"
#include "sheet/reserved_name.h"
#include "sheet/xlsx_row_workbook.h"

namespace quillmere::app {

namespace {

constexpr const char* kExtension = ".xlsx";

}  // namespace

DocumentsWorkbookMaker::DocumentsWorkbookMaker(QString outputFolder, Clock clock)
    : outputFolder_(std::move(outputFolder)), clock_(std::move(clock)) {}

sheet::CreatedWorkbook DocumentsWorkbookMaker::Create(const sheet::WorkbookLayout& layout) {
    const std::string stem = WorkbookStem(outputFolder_, imageFolder_, clock_()).toStdString();
    std::error_code made;
    std::filesystem::create_directories(outputFolder_.toStdString(), made);
    if (made) return {nullptr, {outputFolder_.toStdString(), sheet::FailureReason(made.value())}};

    int error = 0;
    sheet::ReservedName reserved = sheet::ReservedName::Reserve(stem, kExtension, error);
    if (!reserved.Holds()) return {nullptr, {stem + kExtension, sheet::FailureReason(error)}};
    const std::string path = reserved.Path();
    return sheet::XlsxRowWorkbook::Create(path, layout, std::move(reserved));
}

}  // namespace quillmere::app
