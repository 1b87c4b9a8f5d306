#include "workflow/extraction_run.h"

#include <vector>

#include "image/image_object.h"
#include "runtime/text_encoding.h"
#include "runtime/to_text.h"
#include "workflow/file_preparer.h"
#include "workflow/metadata_row.h"
#include "workflow/notes_text.h"
#include "workflow/scan_image_folder.h"

namespace quillmere::workflow {

namespace {

bool IsDirectoryEntry(const Text& entry) { return TextRight(entry, 1) == Text("/"); }

void ShowStatus(WindowPort& window, const Text& status) {
    window.SetContent(control::kStatus, status);
    window.ProcessEvents();
}

// A run needs a folder it can list; anything else is refused before the run
// starts, so nothing is created for a typo.
bool RefuseUnusableFolder(WindowPort& window, const FileSystem& fs, const Text& folder) {
    if (folder.empty()) {
        window.ShowMessage(TextFromUtf8("请先选择图像文件夹。"), kMessageWarning);
        return true;
    }
    Text directory = folder;
    if (TextRight(directory, 1) != Text("/")) directory += Text("/");
    if (!fs.ListDirectory(TextToNativeName(directory))) {
        window.ShowMessage(TextFromUtf8("图像文件夹不存在或无法读取：") + folder, kMessageWarning);
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

// The sheet row of the n-th file (1-based), and whether it opens a new sheet.
struct SheetPlace {
    std::int32_t row;
    bool startsSheet;
};
SheetPlace PlaceOfFile(std::int64_t n, std::int64_t rowsPerSheet) {
    const std::int64_t perSheet = rowsPerSheet - 1;
    const std::int64_t offset = (n - 1) % perSheet;
    return {static_cast<std::int32_t>(offset + 2), offset == 0 && n > perSheet};
}

}  // namespace

RunResult RunExtraction(WindowPort& window, const FileSystem& fs, sheet::ExcelApp& app,
                        sheet::ExcelWorkbooks& workbook, const RunSettings& settings) {
    RunResult result;
    const Text folderText = window.Content(control::kFolder);
    if (RefuseUnusableFolder(window, fs, folderText)) return result;

    window.SetDisabled(control::kStartButton, true);
    ShowStatus(window, TextFromUtf8("开始扫描档案数字化图像文件，请稍候..."));

    TextArray entries;
    Text folder = folderText;  // the scan may change its copy; the box keeps its text
    ScanImageFolder(fs, folder, entries, [&window] { window.ProcessEvents(); });
    const std::vector<const Text*> files = FileEntries(entries);
    result.fileCount = static_cast<std::int64_t>(files.size());
    const Text fileCountText = ToText(result.fileCount);
    if (window.CloseRequested()) {
        result.outcome = RunOutcome::Interrupted;
        return result;
    }

    ShowStatus(window, TextFromUtf8("共找到") + fileCountText + TextFromUtf8("个文件，下面开始提取元数据，请耐心等待..."));

    if (!app.CreateApplication()) {
        window.ShowMessage(TextFromUtf8("Excel 程序创建失败！可能没有安装Excel2000或更高版本"), kMessagePlain);
        result.outcome = RunOutcome::CreateFailed;
        return result;
    }
    if (!workbook.Associate(app)) {
        window.ShowMessage(TextFromUtf8("关联Excel工作簿失败！程序不能继续。"), kMessageWarning);
        workbook.Release();
        app.Release();
        result.outcome = RunOutcome::AssociateFailed;
        return result;
    }

    const MetadataRowWriter writer;
    ShowStatus(window, TextFromUtf8("开始导出表头..."));
    writer.WriteHeaderRow(workbook);
    ShowStatus(window, TextFromUtf8("开始导出表头...成功"));

    const Text progressHead = TextFromUtf8("文件总数：") + fileCountText + TextFromUtf8("，正在提取第");
    const Text progressTail = TextFromUtf8("个文件的元数据...");
    const Text lineBreak("\r\n");
    image::ImageHandle image;
    FilePreparer preparer(fs, files, settings.pool);
    std::int32_t rowCounter = 1;
    bool interrupted = false;
    for (const Text* file : files) {
        const SheetPlace place = PlaceOfFile(rowCounter, settings.rowsPerSheet);
        if (place.startsSheet && workbook.AddSheet()) writer.WriteHeaderRow(workbook);
        ShowStatus(window, progressHead + ToText(rowCounter) + progressTail);

        const PreparedFile prepared = preparer.TakeNext();
        if (!prepared.probe.decoded) window.ReportNotRead(*file, prepared.notReadReason);
        image::AdoptProbe(image, prepared.probe);
        writer.WriteMetadataRow(workbook, window, place.row, *file, prepared.facts, image);
        if (window.Checked(control::kShowNames) == 1) window.AppendText(control::kNotes, *file + lineBreak);
        ++rowCounter;
        window.ReportProgress(rowCounter - 1, result.fileCount);
        if (window.CloseRequested()) {
            interrupted = true;
            break;
        }
    }
    result.filesWritten = rowCounter - 1;
    image::Free(image);

    if (interrupted) {
        app.SetVisible(true);  // saves what was written
        result.saveFailure = app.SaveFailure();
        result.outcome = RunOutcome::Interrupted;
        return result;
    }

    window.ShowMessage(TextFromUtf8("提取元数据完成，本次共提取") + ToText(rowCounter - 1) +
                           TextFromUtf8("个文件的元数据信息。"),
                       kMessagePlain);
    window.SetContent(control::kNotes, NotesText());
    window.SetContent(control::kStatus, Text());
    window.SetDisabled(control::kStartButton, false);
    window.SetPosition(kPositionMinimised);
    app.SetVisible(true);
    result.saveFailure = app.SaveFailure();
    if (!result.saveFailure.empty()) {
        window.ShowMessage(TextFromUtf8("工作簿保存失败：") + TextFromUtf8(result.saveFailure), kMessageWarning);
    }
    result.outcome = RunOutcome::Completed;
    return result;
}

}  // namespace quillmere::workflow
