"""Prints how an .xlsx workbook will look when opened, as openpyxl reads it.

Usage: /usr/bin/python3 workbook_look.py WORKBOOK COLUMNS

One line per sheet:
  title <TAB> freeze_panes <TAB> auto_filter.ref <TAB> 1 if every header cell
  in row 1 is bold else 0 <TAB> the widths of the first COLUMNS columns,
  comma-separated ("-" for a column without a width)
"""
import sys

import openpyxl
from openpyxl.utils import get_column_letter


def main():
    workbook = openpyxl.load_workbook(sys.argv[1])
    columns = int(sys.argv[2])
    for sheet in workbook.worksheets:
        bold = all(sheet.cell(row=1, column=c).font.b for c in range(1, columns + 1))
        widths = []
        for c in range(1, columns + 1):
            dimension = sheet.column_dimensions.get(get_column_letter(c))
            widths.append("-" if dimension is None or dimension.width is None else "%.2f" % dimension.width)
        print("\t".join([sheet.title, str(sheet.freeze_panes), str(sheet.auto_filter.ref), "1" if bold else "0",
                         ",".join(widths)]))


if __name__ == "__main__":
    main()
