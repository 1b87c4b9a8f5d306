#pragma once
// Reads an .xlsx back with an independent reader (openpyxl under Debian's
// python3) so tests check what a spreadsheet application would see.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quillmere::testing {

struct WorkbookCell {
    char type = 'e';  // 's' string, 'n' number, 'b' bool, 'd' date, 'e' empty, 'o' other
    std::string value;  // UTF-8
};

struct WorkbookSheet {
    std::string name;
    std::vector<std::vector<WorkbookCell>> rows;  // rows[0] is sheet row 1

    // The cell's text, or "<none>" where the sheet has no such cell.
    std::string At(std::size_t row, std::size_t column) const {
        if (row == 0 || row > rows.size() || column == 0 || column > rows[row - 1].size()) return "<none>";
        return rows[row - 1][column - 1].value;
    }
    char TypeAt(std::size_t row, std::size_t column) const {
        if (row == 0 || row > rows.size() || column == 0 || column > rows[row - 1].size()) return 'e';
        return rows[row - 1][column - 1].type;
    }
};

struct Workbook {
    bool readable = false;
    std::string error;
    std::vector<WorkbookSheet> sheets;
};

inline std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

// Every cell of every sheet: strings keep their exact text, numbers show
// that the workbook stored a number.
inline Workbook ReadWorkbook(const std::string& path) {
    static const char* const kScript = R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
for ws in wb.worksheets:
    print('S\t' + ws.title.encode('utf-8').hex())
    for row in ws.iter_rows():
        cells = []
        for c in row:
            v = c.value
            if v is None: cells.append('e:')
            elif isinstance(v, bool): cells.append('b:' + str(v).encode().hex())
            elif isinstance(v, str): cells.append('s:' + v.encode('utf-8').hex())
            elif isinstance(v, (int, float)): cells.append('n:' + repr(v).encode().hex())
            else: cells.append('o:' + str(v).encode().hex())
        print('R\t' + '\t'.join(cells))
)PY";
    Workbook workbook;
    std::string command = "/usr/bin/python3 -c \"$QM_READER\" '" + path + "' 2>&1";
    setenv("QM_READER", kScript, 1);
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        workbook.error = "cannot start python3";
        return workbook;
    }
    std::string output;
    char buffer[65536];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) output.append(buffer, got);
    const int status = pclose(pipe.release());
    if (status != 0) {
        workbook.error = output;
        return workbook;
    }
    std::size_t at = 0;
    while (at < output.size()) {
        std::size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(at, end - at);
        at = end + 1;
        if (line.rfind("S\t", 0) == 0) {
            workbook.sheets.push_back({FromHex(line.substr(2)), {}});
        } else if (line.rfind("R", 0) == 0 && !workbook.sheets.empty()) {
            std::vector<WorkbookCell> row;
            std::size_t p = 1;
            while (p < line.size() && line[p] == '\t') {
                std::size_t q = line.find('\t', p + 1);
                if (q == std::string::npos) q = line.size();
                const std::string cell = line.substr(p + 1, q - p - 1);
                row.push_back({cell.empty() ? 'e' : cell[0], cell.size() > 2 ? FromHex(cell.substr(2)) : ""});
                p = q;
            }
            workbook.sheets.back().rows.push_back(std::move(row));
        }
    }
    workbook.readable = true;
    return workbook;
}

}  // namespace quillmere::testing
