#include "workflow/extraction_run.h"

#include <vector>

#include "runtime/text_encoding.h"
#include "runtime/to_text.h"
#include "workflow/acceptance_check.h"
#include "workflow/acceptance_report.h"
#include "workflow/file_preparer.h"
#include "workflow/metadata_row.h"
#include "workflow/notes_text.h"
#include "workflow/save_beside_events.h"
#include "workflow/scan_image_folder.h"

namespace quillmere::workflow {

namespace {

bool IsDirectoryEntry(const Text& entry) { return TextRight(entry, 1) == Text("/"); }

void ShowStatus(WindowPort& window, const Text& status) {
    window.SetStatus(status);
    window.ProcessEvents();
}

// A run needs a folder it can list; anything else is refused before the run
// starts, so nothing is created for a typo.
bool RefuseUnusableFolder(WindowPort& window, const FileSystem& fs, const Text& folder) {
    if (folder.empty()) {
        window.ShowMessage(TextFromUtf8("请先选择图像文件夹。"), MessageKind::Warning);
        return true;
    }
    Text directory = folder;
    if (TextRight(directory, 1) != Text("/")) directory += Text("/");
    if (!fs.ListDirectory(TextToNativeName(directory)).opened) {
        window.ShowMessage(TextFromUtf8("图像文件夹不存在或无法读取：") + folder, MessageKind::Warning);
        return true;
    }
    return false;
}

std::vector<const Text*> FileEntries(const TextArray& entries) {
    std::vector<const Text*> files;
    files.reserve(entries.size());
    for (const Text& entry : entries) {
        if (!IsDirectoryEntry(entry)) files.push_back(&entry);
    }
    return files;
}

// "<what>" + path + "（" + reason + "）", the form every workbook failure is told in.
Text FailureText(const char* what, const sheet::WorkbookFailure& failure) {
    return TextFromUtf8(what) + TextFromUtf8(failure.path) + TextFromUtf8("（") + TextFromUtf8(failure.reason) +
           TextFromUtf8("）");
}

// A run whose workbook could not be saved ends as a completed one would,
// ready for the next, but says so instead of reporting success and leaves
// the window where it is.
void ReportSaveFailure(WindowPort& window, const sheet::WorkbookFailure& failure) {
    window.ShowMessage(FailureText("工作簿保存失败：", failure), MessageKind::Warning);
    window.SetStatus(Text());
    window.SetStartEnabled(true);
}

// The count, the workbook's path, and the folders whose files are missing
// from it, if any: a run that could not see everything must not read as if
// it had.
Text CompletionText(const RunResult& result) {
    Text text = TextFromUtf8("提取元数据完成，本次共提取") + ToText(result.filesWritten) +
                TextFromUtf8("个文件的元数据信息。\n");
    if (result.findings) text += AcceptanceOutcomeLine(*result.findings) + Text("\n");
    text += TextFromUtf8(result.workbookPath);
    if (result.unreadFolders > 0) {
        text += TextFromUtf8("\n有") + ToText(result.unreadFolders) +
                TextFromUtf8("个文件夹无法读取，其中的文件未能全部提取。");
    }
    return text;
}

}  // namespace

RunResult RunExtraction(WindowPort& window, const FileSystem& fs, sheet::WorkbookMaker& maker,
                        const RunSettings& settings) {
    RunResult result;
    const Text folderText = window.Folder();
    if (RefuseUnusableFolder(window, fs, folderText)) return result;

    window.SetStartEnabled(false);
    ShowStatus(window, TextFromUtf8("开始扫描档案数字化图像文件，请稍候..."));

    const FolderScan scan = ScanImageFolder(fs, folderText, [&window] { window.ProcessEvents(); });
    const std::vector<const Text*> files = FileEntries(scan.entries);
    result.fileCount = static_cast<std::int64_t>(files.size());
    result.unreadFolders = static_cast<std::int64_t>(scan.unreadFolders.size());
    for (const UnreadFolder& unread : scan.unreadFolders) window.ReportUnreadFolder(unread.folder, unread.reason);
    const Text fileCountText = ToText(result.fileCount);
    if (window.CloseRequested()) {
        result.outcome = RunOutcome::Interrupted;
        return result;
    }

    ShowStatus(window, TextFromUtf8("共找到") + fileCountText + TextFromUtf8("个文件，下面开始提取元数据，请耐心等待..."));

    sheet::CreatedWorkbook created = maker.Create({HeaderTitles(), settings.rowsPerSheet});
    if (!created.workbook) {
        // The operator can put the destination right and start again at once.
        window.ShowMessage(FailureText("无法创建工作簿：", created.failure), MessageKind::Warning);
        window.SetStartEnabled(true);
        result.failure = created.failure;
        result.outcome = RunOutcome::CreateFailed;
        return result;
    }
    sheet::RowWorkbook& workbook = *created.workbook;
    result.workbookPath = workbook.Path();
    // The workbook starts every sheet with the header itself; the status
    // line still shows the header phase, which operators know as a step.
    ShowStatus(window, TextFromUtf8("开始导出表头..."));
    ShowStatus(window, TextFromUtf8("开始导出表头...成功"));

    const Text progressHead = TextFromUtf8("文件总数：") + fileCountText + TextFromUtf8("，正在提取第");
    const Text progressTail = TextFromUtf8("个文件的元数据...");
    const Text lineBreak("\r\n");
    MetadataRowWriter writer;
    std::optional<AcceptanceCheck> check;
    if (settings.acceptance) {
        check.emplace(*settings.acceptance, folderText);
        check->Reserve(files.size());
    }
    FilePreparer preparer(fs, files, settings.pool, check && settings.acceptance->NeedsDigests());
    bool stopped = false;
    for (const Text* file : files) {
        ShowStatus(window, progressHead + ToText(result.filesWritten + 1) + progressTail);

        const PreparedFile prepared = preparer.TakeNext();
        if (!prepared.probe.decoded) window.ReportNotRead(*file, prepared.probe.notReadReason);
        const std::span<const Text> row =
            writer.BuildRow(window.ReadBatchFacts(), *file, prepared.facts, prepared.probe);
        if (auto failure = workbook.AppendRow(row)) {
            workbook.Discard();
            ReportSaveFailure(window, *failure);
            result.failure = std::move(failure);
            result.outcome = RunOutcome::SaveFailed;
            return result;
        }
        if (check) {
            check->AddFile(row, *file,
                           {prepared.probe.decoded, prepared.probe.format, prepared.probe.notReadReason,
                            prepared.digest ? &*prepared.digest : nullptr});
        }
        ++result.filesWritten;
        if (window.PathLogWanted()) window.AppendToPathLog(*file + lineBreak);
        window.ReportProgress(result.filesWritten, result.fileCount);
        if (window.CloseRequested()) {
            stopped = true;
            break;
        }
    }

    if (stopped && settings.whenStopped == WhenStopped::SaveNothing) {
        workbook.Discard();
        result.outcome = RunOutcome::Interrupted;
        return result;
    }

    // A batch cut short would be judged by what it lacks: only a whole one is checked.
    if (check && !stopped) {
        if (auto failure = WriteAcceptanceReport(workbook, *check)) {
            workbook.Discard();
            ReportSaveFailure(window, *failure);
            result.failure = std::move(failure);
            result.outcome = RunOutcome::SaveFailed;
            return result;
        }
        result.findings = static_cast<std::int64_t>(check->FindingCount());
    }

    window.ReportSaving();
    auto failure =
        settings.saveThread == SaveThread::BesideEvents ? CommitBesideEvents(workbook, window) : workbook.Commit();
    if (failure) {
        ReportSaveFailure(window, *failure);
        result.failure = std::move(failure);
        result.outcome = RunOutcome::SaveFailed;
        return result;
    }
    result.saved = true;
    // A fresh name is settled only by the save itself.
    result.workbookPath = workbook.Path();
    // A close asked for during the save waited for it; the window has gone
    // as it goes when closed during the rows.
    if (stopped || window.CloseRequested()) {
        // The window has gone; the rows so far are saved and nobody waits for a box.
        result.outcome = RunOutcome::Interrupted;
        return result;
    }

    window.ShowMessage(CompletionText(result), MessageKind::Plain);
    window.ShowNotes(NotesText());
    window.SetStatus(Text());
    window.SetStartEnabled(true);
    result.outcome = RunOutcome::Completed;
    // Closed while the box was up (a logout, say): the program is ending,
    // and nobody is there to see the workbook open.
    if (window.CloseRequested()) return result;
    if (window.OpenWorkbook(result.workbookPath)) {
        window.Minimise();
    } else {
        window.ShowMessage(TextFromUtf8("工作簿已保存，但无法用桌面程序打开，请手动打开：") +
                               TextFromUtf8(result.workbookPath),
                           MessageKind::Warning);
    }
    return result;
}

}  // namespace quillmere::workflow
