#include "cli/run_report.h"

#include "cli/translation.h"
#include "sheet/workbook_makers.h"

namespace quillmere::cli {

namespace {

// The reasons sheet::FailureReason gives for the errors a user can act on.
// A test checks this list against it.
constexpr const char* kWorkbookReasons[] = {
    TrMark("磁盘空间不足"),  TrMark("文件过大"),     TrMark("没有写入权限"),
    TrMark("文件系统只读"),  TrMark("文件夹不存在"), TrMark("同名的不是普通文件"),
    TrMark("文件名过长"),    TrMark("文件系统不接受文件名中的字符"),
};

}  // namespace

std::string CompletedLines(std::int64_t filesWritten, const std::string& workbookPath, std::int64_t unreadFolders) {
    const auto count = static_cast<unsigned long>(filesWritten);
    std::string lines = Format(TrPlural("提取元数据完成，本次共提取%lld个文件的元数据信息。",
                                        "提取元数据完成，本次共提取%lld个文件的元数据信息。", count),
                               static_cast<long long>(filesWritten)) +
                        "\n" + workbookPath;
    if (unreadFolders > 0) {
        lines += "\n" + Format(TrPlural("有%lld个文件夹无法读取，其中的文件未能全部提取。",
                                        "有%lld个文件夹无法读取，其中的文件未能全部提取。",
                                        static_cast<unsigned long>(unreadFolders)),
                               static_cast<long long>(unreadFolders));
    }
    return lines;
}

std::string AcceptanceLine(std::int64_t findings, const std::string& output) {
    if (findings == 0) return Tr("验收检查：全部合格。");
    const bool csv = sheet::OutputKindOf(output) == sheet::OutputKind::kCsv;
    const auto count = static_cast<long long>(findings);
    if (!csv) {
        return Format(TrPlural("验收检查：发现%lld个问题，见工作表“检验结果”。", "验收检查：发现%lld个问题，见工作表“检验结果”。",
                               static_cast<unsigned long>(findings)),
                      count);
    }
    const std::string report = output.substr(0, output.size() - 4) + "-检验结果.csv";
    return Format(TrPlural("验收检查：发现%lld个问题，见%s。", "验收检查：发现%lld个问题，见%s。",
                           static_cast<unsigned long>(findings)),
                  count, report.c_str());
}

std::string NotReadSummary(std::int64_t notRead, std::int64_t files) {
    return Format(TrPlural("%lld个文件未能读取（共%lld个文件）", "%lld个文件未能读取（共%lld个文件）",
                           static_cast<unsigned long>(files)),
                  static_cast<long long>(notRead), static_cast<long long>(files));
}

std::string FolderUnusableLine(const std::string& folder) {
    return Format(Tr("图像文件夹不存在或无法读取：%s"), folder.c_str());
}

std::string WorkbookFailureLine(workflow::RunOutcome outcome, const std::optional<sheet::WorkbookFailure>& failure) {
    const bool created = outcome != workflow::RunOutcome::CreateFailed;
    if (!failure) return created ? Tr("工作簿保存失败") : Tr("无法创建工作簿");
    const std::string reason = TranslatedReason(failure->reason);
    return Format(created ? Tr("工作簿保存失败：%s（%s）") : Tr("无法创建工作簿：%s（%s）"), failure->path.c_str(),
                  reason.c_str());
}

std::string RulesFailureLine(const std::string& path, const workflow::RulesFailure& failure) {
    const std::string reason = failure.message.Filled(&Tr);
    if (failure.line > 0) return Format(Tr("检验要求文件%s第%d行：%s"), path.c_str(), failure.line, reason.c_str());
    return Format(Tr("检验要求文件%s：%s"), path.c_str(), reason.c_str());
}

std::string TranslatedReason(const std::string& reason) {
    for (const char* known : kWorkbookReasons) {
        if (reason == known) return Tr(known);
    }
    return reason;
}

}  // namespace quillmere::cli
