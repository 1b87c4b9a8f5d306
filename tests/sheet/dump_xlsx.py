"""Lists every cell of an .xlsx workbook as openpyxl reads it.

Usage: /usr/bin/python3 dump_xlsx.py WORKBOOK

One line per sheet, in workbook order:  sheet <TAB> title
One line per stored cell:               cell <TAB> title <TAB> coordinate <TAB> data type
                                        <TAB> Python type <TAB> value as UTF-8 hex
                                        <TAB> value as UTF-8 hex after the .xlsx "_xHHHH_" unescape
A cell without a value shows "-" for both hex fields.
"""
import re
import sys

import openpyxl

ESCAPE = re.compile(r"_x([0-9A-Fa-f]{4})_")


def hex_or_dash(value):
    if value is None:
        return "-"
    return str(value).encode("utf-8").hex()


def main():
    # Not read-only: that mode walks the whole dimension, which for a cell
    # in the last row and column would be billions of empty cells.
    workbook = openpyxl.load_workbook(sys.argv[1])
    for sheet in workbook.worksheets:
        print("sheet\t%s" % sheet.title)
        for (row, column), cell in sorted(sheet._cells.items()):
            value = cell.value
            unescaped = None if value is None else ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), str(value))
            print("cell\t%s\t%s\t%s\t%s\t%s\t%s" % (sheet.title, cell.coordinate, cell.data_type,
                                                    type(value).__name__, hex_or_dash(value),
                                                    hex_or_dash(unescaped)))


if __name__ == "__main__":
    main()
