#include "workflow/window_handlers.h"

#include "workflow/notes_text.h"

namespace quillmere::workflow {

WindowHandlers::WindowHandlers(WindowPort& window, const FileSystem& fs, sheet::WorkbookMaker& maker,
                               RunSettings settings)
    : window_(window), fs_(fs), maker_(maker), settings_(settings) {}

void WindowHandlers::ShowNotesText() { window_.ShowNotes(NotesText()); }

void WindowHandlers::ChooseImageFolder() { TakeImageFolder(window_.BrowseForFolder()); }

void WindowHandlers::TakeImageFolder(const Text& path) {
    window_.SetFolder(path);
    if (window_.Folder().empty()) return;
    if (runInProgress_) {
        folderChosenDuringRun_ = true;
    } else {
        window_.SetStartEnabled(true);
    }
}

RunResult WindowHandlers::StartExtraction() {
    if (runInProgress_) return {};
    runInProgress_ = true;
    folderChosenDuringRun_ = false;
    RunResult result = RunExtraction(window_, fs_, maker_, settings_);
    runInProgress_ = false;
    if (folderChosenDuringRun_ && result.outcome != RunOutcome::Interrupted) window_.SetStartEnabled(true);
    folderChosenDuringRun_ = false;
    return result;
}

}  // namespace quillmere::workflow
