#!/usr/bin/python3
"""Prints a workbook's sheets and cells as the tests compare them.

    read_workbook.py BOOK            every cell, with the sheet's frozen panes
                                     and the width of column A
    read_workbook.py BOOK HEAD TAIL  (read-only, for long sheets) the cells of
                                     the first HEAD and last TAIL rows of each
                                     sheet

One line per sheet, then one per cell, fields separated by TABs:
    sheet NAME MAX_ROW FREEZE WIDTH_A      (FREEZE and WIDTH_A: "-" when not read)
    cell REF KIND VALUE NUMBER_FORMAT BOLD
KIND is n (number: VALUE with 17 significant digits), d (date and time:
VALUE as YYYY-MM-DD HH:MM:SS, to the nearest second), t (a duration, as a
number in a format such as [h]:mm:ss: VALUE in seconds, to the nearest one) or
s (text, UTF-8).
"""
import datetime
import io
import sys

import openpyxl


def value_text(cell):
    v = cell.value
    if isinstance(v, datetime.datetime):
        # The serial's fraction read back lands within a millisecond of the second.
        v = (v + datetime.timedelta(microseconds=500000)).replace(microsecond=0)
        return "d", v.strftime("%Y-%m-%d %H:%M:%S")
    if isinstance(v, datetime.timedelta):
        return "t", "%d" % round(v.total_seconds())
    if isinstance(v, (int, float)) and not isinstance(v, bool):
        return "n", "%.17g" % v
    return "s", str(v)


def print_cells(rows):
    for row in rows:
        for cell in row:
            if cell.value is None:
                continue
            kind, text = value_text(cell)
            bold = 1 if cell.font is not None and cell.font.b else 0
            print("cell", cell.coordinate, kind, text, cell.number_format, bold, sep="\t")


def tail_source(sheet, tail):
    """The sheet's XML without its rows but the last `tail`: openpyxl reads the
    rest of a long sheet no faster than row by row."""
    data = sheet.parent._archive.read(sheet._worksheet_path)
    start = data.index(b"<sheetData>") + len(b"<sheetData>")
    cut = data.rindex(b"</sheetData>")
    for _ in range(tail):
        cut = data.rindex(b"<row ", start, cut)
    return lambda: io.BytesIO(data[:start] + data[cut:])


def main():
    path = sys.argv[1]
    if len(sys.argv) == 4:
        head, tail = int(sys.argv[2]), int(sys.argv[3])
        book = openpyxl.load_workbook(path, read_only=True)
        for sheet in book.worksheets:
            last = sheet.max_row
            print("sheet", sheet.title, last, "-", "-", sep="\t")
            print_cells(sheet.iter_rows(max_row=min(head, last)))
            if last > head:
                sheet._get_source = tail_source(sheet, min(tail, last - head))
                print_cells(sheet.iter_rows(min_row=max(head + 1, last - tail + 1), max_row=last))
        return
    book = openpyxl.load_workbook(path)
    for sheet in book.worksheets:
        width = sheet.column_dimensions["A"].width
        print("sheet", sheet.title, sheet.max_row, sheet.freeze_panes or "none", width, sep="\t")
        print_cells(sheet.iter_rows())


main()
