#!/usr/bin/env bash
# Peak memory of the extractor over files whose headers declare far more
# data than they hold: PNGs whose tEXt, zTXt, iTXt, pCAL, sCAL or sPLT chunk
# declares 2 GB after a valid IHDR (the form of libpng's own crash tests,
# made here), TIFFs with an ICC profile, XMP packet, unknown tag or strip
# offsets of a gigabyte, and JP2s with a huge colr or xml box. Each file
# alone, all of them together, and a folder of 1,000 copies with the
# default workers, against an empty folder; peak RSS from /usr/bin/time.
#
#   bash bench/hostile_memory.sh [EXTRACTOR]   (default build/cli/quillmere-extract)
set -euo pipefail
cd "$(dirname "$0")/.."
extract=$(realpath "${1:-build/cli/quillmere-extract}")
work=$(mktemp -d /tmp/quillmere-hostile-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/files" "$work/empty" "$work/copies"

/usr/bin/python3 - "$work/files" <<'EOF'
import struct, sys, zlib
out = sys.argv[1]

def chunk_start(kind, declared, data):
    return struct.pack('>I', declared) + kind + data

def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)

signature = b'\x89PNG\r\n\x1a\n'
ihdr = png_chunk(b'IHDR', struct.pack('>IIBBBBB', 8, 8, 8, 0, 0, 0, 0))
for kind in (b'tEXt', b'zTXt', b'iTXt', b'pCAL', b'sCAL', b'sPLT'):
    body = signature + ihdr + chunk_start(kind, 0x7FFFFFF0, b'k\x00' + b'\x00' * 14)
    open(f'{out}/huge-{kind.decode()}.png', 'wb').write(body)

def tiff(tag, kind, count):
    entries = sorted([(256, 3, 1, 8), (257, 3, 1, 8), (258, 3, 1, 8), (262, 3, 1, 1), (tag, kind, count, 8)])
    body = b'II*\x00' + struct.pack('<IH', 8, len(entries))
    for entry in entries:
        body += struct.pack('<HHII', *entry)
    return body + struct.pack('<I', 0) + b'\x00' * 16

open(f'{out}/huge-icc.tif', 'wb').write(tiff(34675, 7, 0x3FFFFFF0))
open(f'{out}/huge-xmp.tif', 'wb').write(tiff(700, 1, 0x3FFFFFF0))
open(f'{out}/huge-unknown-tag.tif', 'wb').write(tiff(50000, 4, 0x0FFFFFF0))
open(f'{out}/huge-strip-offsets.tif', 'wb').write(tiff(273, 4, 0x0FFFFFF0))

jp2_signature = struct.pack('>I', 12) + b'jP  \r\n\x87\n'
ftyp = struct.pack('>I', 20) + b'ftypjp2 ' + struct.pack('>I', 0) + b'jp2 '
jp2_ihdr = struct.pack('>I', 22) + b'ihdr' + struct.pack('>IIHBBBB', 8, 8, 1, 7, 7, 0, 0)
colr = struct.pack('>I', 0x7FFFFFF0) + b'colr\x02\x00\x00' + b'\x00' * 8
open(f'{out}/huge-colr.jp2', 'wb').write(jp2_signature + ftyp + struct.pack('>I', 0x7FFFFFFF) + b'jp2h' + jp2_ihdr + colr)
xml = struct.pack('>I', 0x7FFFFFF0) + b'xml <a/>'
open(f'{out}/huge-xml.jp2', 'wb').write(jp2_signature + ftyp + xml)
EOF

files=("$work"/files/*)
for ((i = 0; i < 1000; ++i)); do
  cp "${files[i % ${#files[@]}]}" "$work/copies/$i-$(basename "${files[i % ${#files[@]}]}")"
done

peak() {  # peak RSS in KiB and seconds of one run over a folder
  /usr/bin/time -f '%M %e' "$extract" -o "$work/out.csv" "$1" 2>&1 >/dev/null | tail -n 1
}
read -r empty _ < <(peak "$work/empty")
echo "empty folder: ${empty} KiB"
report() {
  local name=$1 folder=$2 kib seconds
  read -r kib seconds < <(peak "$folder")
  printf '%-28s %8d KiB peak  %+8d KiB over empty  %6s s\n' "$name" "$kib" $((kib - empty)) "$seconds"
}
for file in "${files[@]}"; do
  rm -rf "$work/one" && mkdir "$work/one" && cp "$file" "$work/one/"
  report "$(basename "$file")" "$work/one"
done
report "all ${#files[@]} together" "$work/files"
report "1,000 copies" "$work/copies"
