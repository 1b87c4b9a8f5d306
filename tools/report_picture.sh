#!/usr/bin/env bash
# Makes docs/report.png: the sheet 检验结果 of a small sample batch's
# workbook as LibreOffice shows it, so the README can show what a report
# looks like.
#
#   tools/report_picture.sh OUTPUT.png [EXTRACTOR]
#
# EXTRACTOR defaults to build/cli/quillmere-extract. Needs soffice
# (libreoffice-calc-nogui), pdftoppm (poppler-utils), ImageMagick and a CJK
# font (fonts-noto-cjk): scripts/install-deps.sh bench.
set -euo pipefail

[[ $# -ge 1 && $# -le 2 ]] || { echo "usage: $0 OUTPUT.png [EXTRACTOR]" >&2; exit 2; }
output=$(realpath -m "$1")
extractor=${2:-"$(cd "$(dirname "$0")/.." && pwd)/build/cli/quillmere-extract"}
for tool in soffice pdftoppm convert; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing (scripts/install-deps.sh bench)" >&2; exit 1; }
done
[[ -x "$extractor" ]] || { echo "$0: no extractor at $extractor; build it first" >&2; exit 1; }
fc-list :lang=zh family | grep -q . || { echo "$0: no Chinese font; install fonts-noto-cjk" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
scan=$scratch/2015
shade=100
page() {  # page PATH DPI [COLOURSPACE TYPE]: each page a shade of its own, so no two are alike
  mkdir -p "$(dirname "$scan/$1")"
  shade=$((shade + 10))
  convert -size 24x32 "xc:rgb($shade,$((shade / 2)),90)" -colorspace "${3:-sRGB}" -type "${4:-TrueColor}" \
    -units PixelsPerInch -density "$2" -quality 90 "$scan/$1"
}
# Four archive numbers, each with one thing an operator would have to find by hand.
page 文书-2015-0001/文书-2015-0001-0001.jpg 300
page 文书-2015-0001/文书-2015-0001-0002.jpg 300
page 文书-2015-0001/文书-2015-0001-0003.jpg 200
page 文书-2015-0002/文书-2015-0002-0001.jpg 300
page 文书-2015-0002/文书-2015-0002-0003.jpg 300
page 文书-2015-0003/文书-2015-0003-0001.jpg 300
cp "$scan/文书-2015-0003/文书-2015-0003-0001.jpg" "$scan/文书-2015-0003/文书-2015-0003-0002.jpg"
page 文书-2015-0004/文书-2015-0004-0001.jpg 300 Gray Grayscale
printf '档号,页数\r\n文书-2015-0001,3\r\n文书-2015-0002,3\r\n文书-2015-0003,2\r\n文书-2015-0004,1\r\n文书-2015-0005,4\r\n' \
  >"$scratch/目录.csv"
cat >"$scratch/验收要求.ini" <<'RULES'
[验收要求]
最低分辨率 = 300
色彩模式 = 真彩色
格式 = JPG
检查文件 = 是
页号 = 是
重复页面 = 是
目录 = 目录.csv
RULES

status=0
"$extractor" --rules "$scratch/验收要求.ini" -o "$scratch/batch.xlsx" "$scan" || status=$?
[[ $status -eq 3 ]] || { echo "$0: the sample batch should have findings (exit 3), got $status" >&2; exit 1; }

# One sheet a page, so the findings are page 2 whatever their length.
(cd "$scratch" && soffice --headless \
  --convert-to 'pdf:calc_pdf_Export:{"SinglePageSheets":{"type":"boolean","value":"true"}}' batch.xlsx >/dev/null)
pdftoppm -f 2 -l 2 -r 110 -png "$scratch/batch.pdf" "$scratch/findings"
convert "$scratch"/findings*.png -trim -bordercolor white -border 12 "$output"
echo "$output"
