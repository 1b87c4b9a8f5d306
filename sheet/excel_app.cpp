#include "sheet/excel_controls.h"
#include "sheet/spreadsheet_application.h"

namespace quillmere::sheet {

ExcelApp::ExcelApp(SpreadsheetApplicationFactory& factory) : factory_(factory) {}

ExcelApp::~ExcelApp() { Release(); }

bool ExcelApp::CreateApplication() {
    Release();
    saveFailure_.clear();
    try {
        application_ = factory_.Create();
    } catch (...) {
        // A factory that throws has made nothing we could hold.
        application_.reset();
    }
    return application_ != nullptr;
}

void ExcelApp::Release() {
    // The application is not told to save or quit; it only loses this reference.
    application_.reset();
}

void ExcelApp::SetVisible(bool visible) {
    if (!application_) return;
    std::string failure;
    bool shown = false;
    try {
        shown = application_->SetVisible(visible, failure);
    } catch (...) {
        shown = false;
    }
    if (!visible) return;  // hiding saves nothing, so the last save's outcome stands
    if (shown) {
        saveFailure_.clear();
    } else {
        saveFailure_ = failure.empty() ? std::string("the application did not show the workbook") : failure;
    }
}

std::string ExcelApp::SaveFailure() const { return saveFailure_; }

}  // namespace quillmere::sheet
