"""Lists the records of a CSV file as Python's csv module reads it.

Usage: /usr/bin/python3 dump_csv.py FILE

The file is read as UTF-8 with its byte-order mark removed ("utf-8-sig");
one line per record, each field as UTF-8 hex, fields separated by tabs (an
empty field shows as "-").
"""
import csv
import sys


def main():
    with open(sys.argv[1], newline="", encoding="utf-8-sig") as stream:
        for record in csv.reader(stream, strict=True):
            print("\t".join(field.encode("utf-8").hex() or "-" for field in record))


if __name__ == "__main__":
    main()
