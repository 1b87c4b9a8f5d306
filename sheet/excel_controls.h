#pragma once
// The two spreadsheet controls the run drives: ExcelApp holds an application
// instance, ExcelWorkbooks attaches a new workbook of it and writes text
// into cells of its current sheet through RangeStart, RangeEnd and Value.
// Every failure inside them is swallowed, as callers expect; the only
// results are CreateApplication's and Associate's.
//
// (Public surface fixed for the workflow; the implementation decides the rest.)

#include <memory>

#include "runtime/text.h"

namespace quillmere::sheet {

class SpreadsheetApplication;
class SpreadsheetApplicationFactory;

class ExcelApp {
public:
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
    Text RangeStart() const;
    Text RangeEnd() const;
    Text Value() const;

    // Adds a sheet after the last one of the attached workbook and makes it
    // the current sheet; false when no workbook is attached or it refused.
    bool AddSheet();
};

}  // namespace quillmere::sheet
