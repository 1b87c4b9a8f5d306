#include "app/documents_workbook_maker.h"

#include <filesystem>
#include <system_error>

#include "app/workbook_naming.h"
#include "sheet/failure_reason.h"
#include "sheet/workbook_makers.h"

namespace quillmere::app {

DocumentsWorkbookMaker::DocumentsWorkbookMaker(QString outputFolder, Clock clock)
    : outputFolder_(std::move(outputFolder)), clock_(std::move(clock)) {}

sheet::CreatedWorkbook DocumentsWorkbookMaker::Create(const sheet::WorkbookLayout& layout) {
    const std::string stem = WorkbookStem(outputFolder_, imageFolder_, clock_()).toStdString();
    std::error_code made;
    std::filesystem::create_directories(outputFolder_.toStdString(), made);
    if (made) return {nullptr, {outputFolder_.toStdString(), sheet::FailureReason(made.value())}};

    return sheet::CreateWorkbookUnderFreshName(stem, layout);
}

}  // namespace quillmere::app
