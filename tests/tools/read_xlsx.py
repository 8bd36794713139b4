#!/usr/bin/env python3
"""Prints the first sheet of a workbook as JSON, read with openpyxl: every
cell with its type, value, number format and boldness, the column widths and
the frozen panes. Escaped characters (_xHHHH_) are decoded as a spreadsheet
program decodes them."""
import datetime
import json
import re
import sys

import openpyxl

ESCAPE = re.compile(r"_x([0-9A-Fa-f]{4})_")


def cell_json(cell):
    value = cell.value
    if value is None:
        return {"t": "empty"}
    out = {"f": cell.number_format, "b": bool(cell.font and cell.font.b)}
    if isinstance(value, str):
        out.update(t="s", v=ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), value))
    elif isinstance(value, bool):
        out.update(t="bool", v=value)
    elif isinstance(value, datetime.datetime):
        out.update(t="d", v=value.isoformat())
    elif isinstance(value, (int, float)):
        out.update(t="n", v=value)
    else:
        out.update(t=type(value).__name__, v=str(value))
    return out


def main(path):
    sheet = openpyxl.load_workbook(path).worksheets[0]
    rows = [[cell_json(c) for c in row] for row in sheet.iter_rows()]
    widths = {k: v.width for k, v in sheet.column_dimensions.items() if v.customWidth}
    json.dump({"rows": rows, "widths": widths, "freeze": sheet.freeze_panes}, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
