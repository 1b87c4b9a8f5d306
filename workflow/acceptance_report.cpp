#include "workflow/acceptance_report.h"

#include <array>
#include <vector>

#include "runtime/text_encoding.h"
#include "runtime/to_text.h"

namespace quillmere::workflow {

namespace {

std::vector<Text> Texts(std::initializer_list<const char*> utf8) {
    std::vector<Text> texts;
    for (const char* text : utf8) texts.push_back(TextFromUtf8(text));
    return texts;
}

std::optional<sheet::WorkbookFailure> WriteFindings(sheet::RowWorkbook& workbook, AcceptanceCheck& check) {
    if (auto failure = workbook.StartSheet(kFindingsSheet,
                                           Texts({"档号", "计算机文件名", "相对路径", "检验项", "要求", "实际"}))) {
        return failure;
    }
    check.Finish();
    std::array<Text, kCheckItemCount> itemNames;
    for (int item = 0; item < kCheckItemCount; ++item) {
        itemNames[static_cast<std::size_t>(item)] = TextFromUtf8(CheckItemName(static_cast<CheckItem>(item)));
    }
    for (std::size_t i = 0; i < check.FindingCount(); ++i) {
        const Finding finding = check.FindingAt(i);
        const std::array<Text, 6> row = {finding.archiveNumber, finding.fileName,
                                         finding.relativePath,  itemNames[static_cast<std::size_t>(finding.item)],
                                         finding.requirement,   finding.actual};
        if (auto failure = workbook.AppendRow(row)) return failure;
    }
    return std::nullopt;
}

std::optional<sheet::WorkbookFailure> WriteSummary(sheet::RowWorkbook& workbook, const AcceptanceCheck& check) {
    if (auto failure = workbook.StartSheet(kSummarySheet, Texts({"检验项", "要求", "问题数"}))) return failure;
    for (const RuleSummary& rule : check.Summary()) {
        const std::array<Text, 3> row = {TextFromUtf8(CheckItemName(rule.item)), rule.requirement,
                                         ToText(rule.findings)};
        if (auto failure = workbook.AppendRow(row)) return failure;
    }
    const auto findings = static_cast<std::int64_t>(check.FindingCount());
    const std::array<std::array<Text, 3>, 3> totals = {{
        {TextFromUtf8("检验文件数"), Text(), ToText(check.FilesChecked())},
        {TextFromUtf8("问题总数"), Text(), ToText(findings)},
        {TextFromUtf8("结论"), Text(), TextFromUtf8(findings == 0 ? "合格" : "不合格")},
    }};
    for (const auto& row : totals) {
        if (auto failure = workbook.AppendRow(row)) return failure;
    }
    return std::nullopt;
}

std::optional<sheet::WorkbookFailure> WriteDigests(sheet::RowWorkbook& workbook, const AcceptanceCheck& check) {
    if (auto failure =
            workbook.StartSheet(kDigestSheet, Texts({"档号", "计算机文件名", "相对路径", "大小", "SM3", "SHA-256"}))) {
        return failure;
    }
    for (const CheckedRecord& file : check.Files()) {
        // A file that could not be read whole has its finding; its digest cells stay empty.
        const FileDigests* digests = check.DigestsOf(file);
        const Text sm3 = digests ? Text(DigestHex(digests->sm3)) : Text();
        const Text sha256 = digests ? Text(DigestHex(digests->sha256)) : Text();
        const std::array<Text, 6> row = {check.ArchiveNumberOf(file),
                                         AcceptanceCheck::FileNameOf(file),
                                         AcceptanceCheck::RelativePathOf(file),
                                         ToText(file.size),
                                         sm3,
                                         sha256};
        if (auto failure = workbook.AppendRow(row)) return failure;
    }
    return std::nullopt;
}

}  // namespace

std::optional<sheet::WorkbookFailure> WriteAcceptanceReport(sheet::RowWorkbook& workbook, AcceptanceCheck& check) {
    if (auto failure = WriteFindings(workbook, check)) return failure;
    if (auto failure = WriteSummary(workbook, check)) return failure;
    if (!check.Rules().digests) return std::nullopt;
    if (auto failure = WriteDigests(workbook, check)) return failure;
    return workbook.AddCompanionFile(kManifestExtension, Sha256Manifest(check));
}

std::string Sha256Manifest(const AcceptanceCheck& check) {
    std::string manifest;
    for (const CheckedRecord& file : check.Files()) {
        const FileDigests* digests = check.DigestsOf(file);
        if (digests == nullptr) continue;
        const std::string path = TextToNativeName(AcceptanceCheck::RelativePathOf(file));
        std::string escaped;
        bool escapes = false;
        for (const char c : path) {
            if (c == '\\') {
                escaped += "\\\\";
                escapes = true;
            } else if (c == '\n') {
                escaped += "\\n";
                escapes = true;
            } else {
                escaped += c;
            }
        }
        if (escapes) manifest += '\\';
        manifest += DigestHex(digests->sha256);
        manifest += "  ";
        manifest += escaped;
        manifest += '\n';
    }
    return manifest;
}

Text AcceptanceOutcomeLine(std::int64_t findings) {
    if (findings == 0) return TextFromUtf8("验收检查：全部合格。");
    return TextFromUtf8("验收检查：发现") + ToText(findings) + TextFromUtf8("个问题，见工作表“检验结果”。");
}

}  // namespace quillmere::workflow
