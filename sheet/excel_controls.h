#pragma once
// The two spreadsheet controls the run drives: ExcelApp holds an application
// instance, ExcelWorkbooks attaches a new workbook of it and writes text
// into cells of its current sheet through RangeStart, RangeEnd and Value.
// Every failure inside them is swallowed, as callers expect; the only
// results are CreateApplication's and Associate's.
//
// A cell is written by setting RangeStart (stored, nothing looked up),
// RangeEnd (looks up the range from both texts while a sheet is held) and
// Value (written into the range of the last lookup while one is held). A
// lookup the application refuses leaves no range held, so the Value after
// it is dropped rather than written over the cell looked up before.
//
// Texts are GB18030 here and UTF-8 towards the application.

#include <memory>
#include <string>

#include "runtime/text.h"
#include "sheet/utf8_text_cache.h"

namespace quillmere::sheet {

class SpreadsheetApplication;
class SpreadsheetApplicationFactory;
class SpreadsheetRange;
class SpreadsheetSheet;
class SpreadsheetSheets;
class SpreadsheetWorkbooks;

class ExcelApp {
public:
    // The factory must outlive the control.
    explicit ExcelApp(SpreadsheetApplicationFactory& factory);
    ~ExcelApp();
    ExcelApp(const ExcelApp&) = delete;
    ExcelApp& operator=(const ExcelApp&) = delete;

    // Gives up any held instance, then asks the factory for a new one.
    bool CreateApplication();
    void Release();
    // true saves the workbook (and, in the window program, opens it).
    void SetVisible(bool visible);
    // Why the last save failed, in UTF-8; empty when it did not fail.
    std::string SaveFailure() const;

private:
    friend class ExcelWorkbooks;  // Associate reaches the held application.

    SpreadsheetApplicationFactory& factory_;
    std::shared_ptr<SpreadsheetApplication> application_;
    std::string saveFailure_;
};

class ExcelWorkbooks {
public:
    ExcelWorkbooks();
    ~ExcelWorkbooks();
    ExcelWorkbooks(const ExcelWorkbooks&) = delete;
    ExcelWorkbooks& operator=(const ExcelWorkbooks&) = delete;

    bool Associate(ExcelApp& app);
    void Release();

    void SetRangeStart(const Text& cell);
    void SetRangeEnd(const Text& cell);
    void SetValue(const Text& value);
    // The texts last written, while a range is held; else empty.
    Text RangeStart() const;
    Text RangeEnd() const;
    // The cell named by RangeStart, looked up afresh; empty when there is
    // no sheet, no start text or nothing readable (the .xlsx application
    // keeps no written values).
    Text Value() const;

    // Adds a sheet after the last one of the attached workbook and makes it
    // the current sheet; false when no workbook is attached or it refused.
    bool AddSheet();

private:
    // Each is an automation reference into the application; none (null)
    // until obtained. No link to the ExcelApp is kept.
    std::shared_ptr<SpreadsheetWorkbooks> workbooks_;
    std::shared_ptr<SpreadsheetApplication> application_;
    std::shared_ptr<SpreadsheetSheets> sheets_;
    std::shared_ptr<SpreadsheetSheet> sheet_;
    std::shared_ptr<SpreadsheetRange> range_;  // of the last successful lookup
    Text rangeStartText_;
    Text rangeEndText_;
    Utf8TextCache values_;  // conversions of the values written
};

}  // namespace quillmere::sheet
