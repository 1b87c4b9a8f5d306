"""Compares every part of two .xlsx files as parsed XML.

Usage: compare_xlsx_xml.py OURS REFERENCE
Prints one line per difference and exits 1 when there is any. Two
differences are expected and allowed, each for a reason:
  - a worksheet's <dimension> element: ours is streamed and cannot know a
    sheet's last row before its first one is written; the element is optional
    and readers compute the range from the rows;
  - the times in docProps/core.xml: each file records when it was made.
"""
import sys
import zipfile
import xml.etree.ElementTree as ET

DIMENSION = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}dimension"
TIMES = {"{http://purl.org/dc/terms/}created", "{http://purl.org/dc/terms/}modified"}


def parts(path):
    with zipfile.ZipFile(path) as archive:
        return {name: archive.read(name) for name in archive.namelist()}


def text(value):
    return value if value is not None and value.strip() else ""


def compare(where, ours, reference, differences):
    if ours.tag != reference.tag:
        differences.append(f"{where}: element {ours.tag} against {reference.tag}")
        return
    if ours.attrib != reference.attrib:
        differences.append(f"{where}/{ours.tag}: attributes {ours.attrib} against {reference.attrib}")
    if ours.tag not in TIMES and (ours.text or "") != (reference.text or ""):
        differences.append(f"{where}/{ours.tag}: text {ours.text!r:.80} against {reference.text!r:.80}")
    if text(ours.tail) != text(reference.tail):
        differences.append(f"{where}/{ours.tag}: tail {ours.tail!r:.80} against {reference.tail!r:.80}")
    ours_children = list(ours)
    reference_children = [child for child in reference if child.tag != DIMENSION]
    if len(ours_children) != len(reference_children):
        differences.append(f"{where}/{ours.tag}: {len(ours_children)} children against {len(reference_children)}")
    for mine, theirs in zip(ours_children, reference_children):
        compare(f"{where}/{ours.tag}", mine, theirs, differences)


def main():
    ours, reference = parts(sys.argv[1]), parts(sys.argv[2])
    differences = []
    for name in sorted(set(ours) | set(reference)):
        if name not in ours or name not in reference:
            differences.append(f"{name}: only in {'ours' if name in ours else 'the reference'}")
            continue
        compare(name, ET.fromstring(ours[name]), ET.fromstring(reference[name]), differences)
    for line in differences:
        print(line)
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
