#include "sheet/excel_controls.h"
#include "sheet/spreadsheet_application.h"

#include "runtime/text_encoding.h"

namespace quillmere::sheet {

namespace {

// The UTF-8 form of text: its own bytes when they are ASCII, else a
// conversion kept in storage.
std::string_view AsUtf8(const Text& text, std::string& storage) {
    for (const char c : text.bytes()) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            storage = TextToUtf8(text);
            return storage;
        }
    }
    return text.bytes();
}

}  // namespace

ExcelWorkbooks::ExcelWorkbooks() = default;

ExcelWorkbooks::~ExcelWorkbooks() {
    // End-of-life order: the texts, then the references from the innermost out.
    rangeStartText_ = Text();
    rangeEndText_ = Text();
    range_.reset();
    sheet_.reset();
    sheets_.reset();
    application_.reset();
    workbooks_.reset();
}

bool ExcelWorkbooks::Associate(ExcelApp& app) {
    Release();
    if (!app.application_) return false;
    const std::shared_ptr<SpreadsheetApplication>& source = app.application_;
    // One guarded sequence: the first step that fails ends it, and what was
    // obtained before stays held. The attachment still counts as made; while
    // no sheet is held every cell write is ignored.
    try {
        workbooks_ = source->Workbooks();
        if (!workbooks_) return true;
        // The new workbook is reached later as the active one; its own
        // reference is given up at once.
        if (!workbooks_->Add()) return true;
        application_ = source->Application();
        if (!application_) return true;
        sheets_ = application_->Sheets();
        if (!sheets_) return true;
        sheet_ = sheets_->Item(1);
    } catch (...) {
    }
    return true;
}

void ExcelWorkbooks::Release() {
    application_.reset();
    workbooks_.reset();
    range_.reset();
    sheet_.reset();
    sheets_.reset();
    rangeStartText_ = Text();
    rangeEndText_ = Text();
}

void ExcelWorkbooks::SetRangeStart(const Text& cell) { rangeStartText_ = cell; }

void ExcelWorkbooks::SetRangeEnd(const Text& cell) {
    if (!sheet_) return;
    rangeEndText_ = cell;
    // A lookup the sheet refuses leaves no range held, so the Value that
    // follows is dropped instead of overwriting the previously looked-up
    // cell.
    range_.reset();
    try {
        // Every cell the run writes is a one-cell range: its address is
        // converted once, and not at all when it is ASCII, as addresses are.
        if (rangeEndText_ == rangeStartText_) {
            std::string converted;
            const std::string_view cell = AsUtf8(rangeStartText_, converted);
            range_ = sheet_->Range(cell, cell);
        } else {
            range_ = sheet_->Range(TextToUtf8(rangeStartText_), TextToUtf8(rangeEndText_));
        }
    } catch (...) {
        range_.reset();
    }
}

void ExcelWorkbooks::SetValue(const Text& value) {
    if (!range_) return;
    try {
        // A refused value is not reported; the run goes on with the next cell.
        static_cast<void>(range_->SetValue(values_.Convert(value)));
    } catch (...) {
    }
}

Text ExcelWorkbooks::RangeStart() const { return range_ ? rangeStartText_ : Text(); }

Text ExcelWorkbooks::RangeEnd() const { return range_ ? rangeEndText_ : Text(); }

Text ExcelWorkbooks::Value() const {
    if (!sheet_ || rangeStartText_.empty()) return Text();
    try {
        const std::string cell = TextToUtf8(rangeStartText_);
        const std::shared_ptr<SpreadsheetRange> range = sheet_->Range(cell, cell);
        if (!range) return Text();
        const std::optional<std::string> value = range->Value();
        return value ? TextFromUtf8(*value) : Text();
    } catch (...) {
        return Text();
    }
}

bool ExcelWorkbooks::AddSheet() {
    if (!sheets_) return false;
    try {
        std::shared_ptr<SpreadsheetSheet> added = sheets_->AddAfterLast();
        if (!added) return false;
        sheet_ = std::move(added);
        // The held range belongs to the previous sheet; a Value now must not land there.
        range_.reset();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace quillmere::sheet
