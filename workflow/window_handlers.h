#pragma once
// The window's three event handlers: created, 选择文件夹按钮 clicked and
// 开始提取按钮 clicked. They also keep a second run out while one is going.

#include <string>

#include "runtime/file_system.h"
#include "sheet/row_workbook.h"
#include "workflow/extraction_run.h"
#include "workflow/window_port.h"

namespace quillmere::workflow {

class WindowHandlers {
public:
    WindowHandlers(WindowPort& window, const FileSystem& fs, sheet::WorkbookMaker& maker, RunSettings settings);

    void ShowNotesText();
    void ChooseImageFolder();
    // A folder given by other means than the chooser (dropped on the
    // window), taken exactly as a chosen one.
    void TakeImageFolder(const Text& path);
    // Runs one extraction to its end; a click during a run does nothing.
    RunResult StartExtraction();
    // The same, the batch also judged against the rules file at rulesPath
    // (native bytes). Rules that are not set yet or cannot be used are told
    // in a warning box and nothing runs.
    RunResult StartCheckedExtraction(const std::string& rulesPath);

    bool RunInProgress() const { return runInProgress_; }

private:
    WindowPort& window_;
    const FileSystem& fs_;
    sheet::WorkbookMaker& maker_;
    RunSettings settings_;
    bool runInProgress_ = false;
    // A folder chosen during a run enables 开始提取按钮 only once the run is over.
    bool folderChosenDuringRun_ = false;
};

}  // namespace quillmere::workflow
