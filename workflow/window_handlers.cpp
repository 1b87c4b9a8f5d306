#include "workflow/window_handlers.h"

#include "workflow/notes_text.h"

namespace quillmere::workflow {

WindowHandlers::WindowHandlers(WindowPort& window, const FileSystem& fs, sheet::ExcelApp& app,
                               sheet::ExcelWorkbooks& workbook, RunSettings settings)
    : window_(window), fs_(fs), app_(app), workbook_(workbook), settings_(settings) {}

void WindowHandlers::ShowNotesText() { window_.SetContent(control::kNotes, NotesText()); }

void WindowHandlers::ChooseImageFolder() { TakeImageFolder(window_.BrowseForFolder(Text())); }

void WindowHandlers::TakeImageFolder(const Text& path) {
    window_.SetContent(control::kFolder, path);
    if (window_.Content(control::kFolder).empty()) return;
    if (runInProgress_) {
        folderChosenDuringRun_ = true;
    } else {
        window_.SetDisabled(control::kStartButton, false);
    }
}

RunResult WindowHandlers::StartExtraction() {
    if (runInProgress_) return {};
    runInProgress_ = true;
    folderChosenDuringRun_ = false;
    RunResult result = RunExtraction(window_, fs_, app_, workbook_, settings_);
    runInProgress_ = false;
    if (folderChosenDuringRun_ && result.outcome != RunOutcome::Interrupted) {
        window_.SetDisabled(control::kStartButton, false);
    }
    folderChosenDuringRun_ = false;
    return result;
}

}  // namespace quillmere::workflow
