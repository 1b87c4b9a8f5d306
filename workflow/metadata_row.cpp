#include "workflow/metadata_row.h"

#include "runtime/text_encoding.h"
#include "runtime/to_text.h"

namespace quillmere::workflow {

namespace {

constexpr std::array<const char*, kColumnCount> kTitlesUtf8 = {
    "档号", "扫描人", "设备制造商", "设备型号", "数字化时间（扫描时间）", "图像处理人", "数字化软件描述",
    "格式信息", "计算机文件名", "计算机文件大小（字节）", "数字化对象形态", "扫描分辨率（DPI）",
    "扫描色彩模式", "图像压缩方案",
};

Text CellAddress(int column, const Text& rowText) {
    const char letter[2] = {static_cast<char>('A' + column), '\0'};
    return Text(letter) + rowText;
}

void WriteCell(sheet::ExcelWorkbooks& workbook, int column, const Text& rowText, const Text& value) {
    Text last;
    WriteRange(workbook, CellAddress(column, rowText), last, value);
}

}  // namespace

ImagePathParts SplitImagePath(const Text& path) {
    ImagePathParts parts;
    const int separator = ReverseFindText(path, Text("/"));
    parts.fileName = TextRight(path, TextLength(path) - separator);
    const int dot = ReverseFindText(parts.fileName, Text("."));
    parts.stem = TextLeft(parts.fileName, dot - 1);
    parts.extension = TextRight(parts.fileName, TextLength(parts.fileName) - dot);
    return parts;
}

void SelectRange(sheet::ExcelWorkbooks& workbook, const Text& first, Text& last) {
    if (last.empty()) last = first;
    workbook.SetRangeStart(first);
    workbook.SetRangeEnd(last);
}

void WriteRange(sheet::ExcelWorkbooks& workbook, const Text& first, Text& last, const Text& value) {
    SelectRange(workbook, first, last);
    workbook.SetValue(value);
}

MetadataRowWriter::MetadataRowWriter()
    : trueColour_(TextFromUtf8("真彩色")), colourSuffix_(TextFromUtf8("色")) {
    for (int column = 0; column < kColumnCount; ++column) {
        titles_[column] = TextFromUtf8(kTitlesUtf8[column]);
    }
}

void MetadataRowWriter::WriteHeaderRow(sheet::ExcelWorkbooks& workbook) const {
    const Text row("1");
    for (int column = 0; column < kColumnCount; ++column) {
        WriteCell(workbook, column, row, titles_[column]);
    }
}

void MetadataRowWriter::WriteMetadataRow(sheet::ExcelWorkbooks& workbook, const WindowPort& window,
                                         std::int32_t sheetRow, const Text& path, const FileFacts& facts,
                                         const image::ImageHandle& image) const {
    const ImagePathParts parts = SplitImagePath(path);
    const Text row = ToText(sheetRow);
    const auto write = [&](char column, const Text& value) { WriteCell(workbook, column - 'A', row, value); };

    write('A', parts.stem);
    write('B', window.Content(control::kScanner));
    write('C', window.Content(control::kMaker));
    write('D', window.Content(control::kModel));
    write('E', ToText(facts.time));
    write('F', window.Content(control::kProcessor));
    write('G', window.Content(control::kSoftware));
    write('H', ToUpper(parts.extension));
    write('I', parts.fileName);
    write('J', ToText(facts.size));
    write('K', ToText(image::GetWidth(image)) + Text("*") + ToText(image::GetHeight(image)));
    write('L', ToText(image::GetXDPI(image)));
    const auto colours = image::GetNumColors(image);
    write('M', colours == 0 ? trueColour_ : ToText(static_cast<int>(colours)) + colourSuffix_);
    write('N', ToText(image::GetJpegQuality(image)) + Text("%"));
}

}  // namespace quillmere::workflow
