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

std::vector<Text> HeaderTitles() {
    std::vector<Text> titles;
    titles.reserve(kColumnCount);
    for (const char* title : kTitlesUtf8) titles.push_back(TextFromUtf8(title));
    return titles;
}

MetadataRowWriter::MetadataRowWriter() : trueColour_(TextFromUtf8("真彩色")), colourSuffix_(TextFromUtf8("色")) {}

std::span<const Text> MetadataRowWriter::BuildRow(const BatchFacts& facts, const Text& path, const FileFacts& file,
                                                  const image::ImageProbe& image) {
    ImagePathParts parts = SplitImagePath(path);
    const auto cell = [this](char column) -> Text& { return cells_[static_cast<std::size_t>(column - 'A')]; };

    cell('A') = std::move(parts.stem);
    cell('B') = facts.scanner;
    cell('C') = facts.maker;
    cell('D') = facts.model;
    cell('E') = ToText(file.time);
    cell('F') = facts.processor;
    cell('G') = facts.software;
    cell('H') = ToUpper(parts.extension);
    cell('I') = std::move(parts.fileName);
    cell('J') = ToText(file.size);
    cell('K') = ToText(image.width) + Text("*") + ToText(image.height);
    cell('L') = ToText(image.xDpi);
    cell('M') = image.colorCount == 0 ? trueColour_ : ToText(static_cast<int>(image.colorCount)) + colourSuffix_;
    cell('N') = ToText(image.jpegQuality) + Text("%");
    return cells_;
}

}  // namespace quillmere::workflow
