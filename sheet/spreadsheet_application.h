#pragma once
// What ExcelApp and ExcelWorkbooks rely on of a spreadsheet application.
//
// Every object handed out is an automation reference: a shared_ptr the
// caller may keep as long as it likes and give up by resetting it. A
// reference keeps what it points into alive (a range its sheet, a sheet its
// workbook), the way references into a running application do. A call that
// fails yields no reference (nullptr) or false; none of them throws.
//
// Texts crossing this interface are UTF-8.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere::sheet {

// A rectangular block of cells of one sheet.
class SpreadsheetRange {
public:
    virtual ~SpreadsheetRange() = default;
    // Stores value as text in every cell of the range; nothing else about
    // it (digits, a leading "=", a date) changes how it is stored.
    virtual bool SetValue(std::string_view value) = 0;
    // The text of the top-left cell, or nothing when it cannot be read.
    virtual std::optional<std::string> Value() const = 0;
};

class SpreadsheetSheet {
public:
    virtual ~SpreadsheetSheet() = default;
    // The range spanned by two A1 addresses; nothing when the sheet refuses
    // either of them.
    virtual std::shared_ptr<SpreadsheetRange> Range(std::string_view cell1, std::string_view cell2) = 0;
};

// The sheets of one workbook, numbered from 1.
class SpreadsheetSheets {
public:
    virtual ~SpreadsheetSheets() = default;
    virtual std::shared_ptr<SpreadsheetSheet> Item(int index) = 0;
    // A new sheet after the last one.
    virtual std::shared_ptr<SpreadsheetSheet> AddAfterLast() = 0;
};

class SpreadsheetWorkbook {
public:
    virtual ~SpreadsheetWorkbook() = default;
};

class SpreadsheetWorkbooks {
public:
    virtual ~SpreadsheetWorkbooks() = default;
    // A new workbook, which becomes the application's active workbook.
    virtual std::shared_ptr<SpreadsheetWorkbook> Add() = 0;
};

class SpreadsheetApplication {
public:
    virtual ~SpreadsheetApplication() = default;
    virtual std::shared_ptr<SpreadsheetWorkbooks> Workbooks() = 0;
    // The application as it reports itself.
    virtual std::shared_ptr<SpreadsheetApplication> Application() = 0;
    // The sheets of the active workbook.
    virtual std::shared_ptr<SpreadsheetSheets> Sheets() = 0;
    // Showing the application presents its workbook to the operator; for a
    // file-backed application that means saving it. On false, failure says
    // why in UTF-8.
    virtual bool SetVisible(bool visible, std::string& failure) = 0;
};

class SpreadsheetApplicationFactory {
public:
    virtual ~SpreadsheetApplicationFactory() = default;
    // A new application instance every time, never one shared with an
    // earlier call; nothing when none can be made.
    virtual std::shared_ptr<SpreadsheetApplication> Create() = 0;
};

}  // namespace quillmere::sheet
