#include "workflow/window_handlers.h"

#include "runtime/text_encoding.h"
#include "workflow/acceptance_rules.h"
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

namespace quillmere::workflow {

RunResult WindowHandlers::StartCheckedExtraction(const std::string& rulesPath) {
    if (runInProgress_) return {};
    if (!fs_.Status(rulesPath).exists) {
        window_.ShowMessage(TextFromUtf8("尚未设置检验要求，请先点击“检验要求…”按钮设置。"), MessageKind::Warning);
        return {};
    }
    RulesReading rules = LoadAcceptanceRules(fs_, rulesPath);
    if (!rules.rules) {
        window_.ShowMessage(TextFromUtf8(DescribeRulesFailure(TextToUtf8(TextFromUtf8(rulesPath)), rules.failure)),
                            MessageKind::Warning);
        return {};
    }
    settings_.acceptance = std::move(rules.rules);
    RunResult result = StartExtraction();
    settings_.acceptance.reset();
    return result;
}

}  // namespace quillmere::workflow
