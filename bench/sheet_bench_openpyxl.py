"""The sheet benchmark's rows written with openpyxl in write-only mode.

Usage: /usr/bin/python3 sheet_bench_openpyxl.py ROWS OUT.xlsx
"""
import sys
import time

from openpyxl import Workbook

HEADER = ["档号", "扫描人", "设备制造商", "设备型号", "数字化时间（扫描时间）", "图像处理人", "数字化软件描述",
          "格式信息", "计算机文件名", "计算机文件大小（字节）", "数字化对象形态", "扫描分辨率（DPI）",
          "扫描色彩模式", "图像压缩方案"]


def main():
    rows = int(sys.argv[1])
    start = time.monotonic()
    workbook = Workbook(write_only=True)
    sheet = workbook.create_sheet("Sheet1")
    sheet.append(HEADER)
    for r in range(1, rows + 1):
        serial = "%07d" % r
        sheet.append(["文书-" + serial, "张三", "佳能", "DR-G1100", "2024-01-02 10:11:12", "李四",
                      "Quillmere 1.0 扫描", "JPG", "文书-" + serial + ".jpg", "1234567", "2480*3508", "300",
                      "真彩色", "90%"])
    written = time.monotonic()
    workbook.save(sys.argv[2])
    saved = time.monotonic()
    print("openpyxl rows=%d cells=%d write=%.2fs save=%.2fs total=%.2fs"
          % (rows, (rows + 1) * 14, written - start, saved - written, saved - start))


if __name__ == "__main__":
    main()
