#pragma once
// Writes text cells into one constant-memory worksheet.
//
// Every value becomes a string cell exactly as given: "0001", "=1+1" and a
// twenty-digit number stay text. The empty text makes the cell empty (an
// .xlsx string cell cannot be empty through libxlsxwriter; Excel itself
// also empties a cell set to ""), and still replaces what the cell held.
//
// A constant-memory worksheet keeps only its newest row open; rows above it
// are already on disk. A write into such a row would be lost, so it is
// refused with false instead. Cells of the open row may be written in any
// order and rewritten. Rows and columns count from 0, as libxlsxwriter's do.

#include <cstdint>
#include <string>
#include <string_view>

#include <xlsxwriter.h>


namespace quillmere::sheet {

class XlsxSheetWriter {
public:
    // Both handles belong to a workbook that must stay open while this writer
    // is used. emptyCellFormat is a format without properties.
    XlsxSheetWriter(lxw_worksheet* worksheet, lxw_format* emptyCellFormat) noexcept
        : worksheet_(worksheet), emptyCellFormat_(emptyCellFormat) {}

    // Puts value into one cell, in format (null: the default one). false,
    // with nothing written, when the row is above the open row or
    // libxlsxwriter refuses the cell (a text longer than 32767 characters).
    bool WriteText(std::uint32_t row, std::uint16_t column, std::string_view value, lxw_format* format = nullptr);

private:

    lxw_worksheet* worksheet_;
    lxw_format* emptyCellFormat_;
    std::uint32_t openRow_ = 0;
    // The value as libxlsxwriter takes it (zero-terminated, escaped);
    // reused so that a write allocates nothing once it has grown.
    std::string cellText_;
};

// Makes text survive the .xlsx string escape: readers turn "_xHHHH_" into
// the character U+HHHH, so a literal one gets its "_" written as "_x005F_";
// U+FFFE and U+FFFF, which XML cannot hold, are written as such escapes.
// Appends to out.
void AppendXlsxLiteralText(std::string& out, std::string_view text);

}  // namespace quillmere::sheet
