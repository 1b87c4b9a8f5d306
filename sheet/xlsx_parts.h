#pragma once
// The XML of an .xlsx workbook's parts, as the streaming writer puts them
// into its zip: the fixed parts written at commit, and the pieces of a
// worksheet (its head, one row, its tail).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::sheet {

struct XlsxSheetFacts {
    std::string name;       // UTF-8
    std::int64_t rows = 0;  // header included
    std::size_t columns = 0;
};

std::string XlsxContentTypes(std::size_t sheets);
std::string XlsxRootRelationships();
std::string XlsxWorkbookRelationships(std::size_t sheets);
std::string XlsxWorkbookPart(std::span<const XlsxSheetFacts> sheets);
std::string XlsxStyles();
// created: seconds since the epoch.
std::string XlsxCoreProperties(std::int64_t created);
std::string XlsxAppProperties(std::span<const XlsxSheetFacts> sheets);
std::string_view XlsxTheme();

// A worksheet's XML up to its first row: the frozen header pane, and the
// column widths (in characters, as the columns are to show).
std::string XlsxSheetHead(bool selected, std::span<const double> widths);
// The rest, after its last row: the autofilter over the header's columns.
std::string XlsxSheetTail(std::int64_t rows, std::size_t columns);

// "A", "B", …, "Z", "AA", … for column 0, 1, …
std::string XlsxColumnName(std::size_t column);

// Appends one text cell's <c> element at reference (e.g. "B7"): an inline
// string, or an empty cell for the empty text; style 0 is the default one.
// Text ends at a zero byte. false, with nothing appended, when the text is
// longer than a cell holds (32767 characters).
bool AppendXlsxTextCell(std::string& out, std::string_view reference, std::string_view text, int style);

// Makes text survive the .xlsx string escape: readers turn "_xHHHH_" into
// the character U+HHHH, so a literal one gets its "_" written as "_x005F_";
// U+FFFE and U+FFFF, which XML cannot hold, are written as such escapes.
// Appends to out.
void AppendXlsxLiteralText(std::string& out, std::string_view text);

// Appends text with the XML markup characters escaped (for element text
// and attribute values).
void AppendXmlEscaped(std::string& out, std::string_view text);

}  // namespace quillmere::sheet
