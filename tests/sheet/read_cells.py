"""Prints every cell value of an .xlsx file as a spreadsheet program reads it.

Usage: read_cells.py openpyxl|soffice|ssconvert WORKBOOK
One line per sheet row: the sheet's name, then the row's values, all as JSON.
soffice and ssconvert convert each sheet to CSV and the CSV is read back.
"""
import csv
import glob
import json
import os
import subprocess
import sys
import tempfile


def from_openpyxl(path):
    import openpyxl
    book = openpyxl.load_workbook(path, read_only=True)
    for sheet in book.worksheets:
        for row in sheet.iter_rows(values_only=True):
            yield sheet.title, ["" if value is None else str(value) for value in row]


def from_csv_files(files):
    for name, file in files:
        with open(file, newline="", encoding="utf-8") as stream:
            for row in csv.reader(stream):
                yield name, row


def from_soffice(path, folder):
    # Sheet -1: every sheet to its own file, <stem>-<sheet name>.csv.
    subprocess.run(["soffice", "--headless", f"-env:UserInstallation=file://{folder}/profile", "--convert-to",
                    "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1",
                    "--outdir", folder, path], check=True, capture_output=True)
    stem = os.path.splitext(os.path.basename(path))[0]
    files = sorted(glob.glob(os.path.join(folder, stem + "-*.csv")))
    return from_csv_files([(os.path.basename(f)[len(stem) + 1:-4], f) for f in files])


def from_ssconvert(path, folder):
    subprocess.run(["ssconvert", "-S", "-T", "Gnumeric_stf:stf_csv", path, os.path.join(folder, "%s.csv")],
                   check=True, capture_output=True)
    files = sorted(glob.glob(os.path.join(folder, "*.csv")))
    return from_csv_files([(os.path.basename(f)[:-4], f) for f in files])


def main():
    reader, path = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        rows = {"openpyxl": lambda: from_openpyxl(path), "soffice": lambda: from_soffice(path, folder),
                "ssconvert": lambda: from_ssconvert(path, folder)}[reader]()
        for name, row in rows:
            while row and row[-1] == "":
                row = row[:-1]
            print(json.dumps([name] + row, ensure_ascii=False))


if __name__ == "__main__":
    main()
