"""Edits a set table in LibreOffice Calc, driven headless through UNO, as a
user would: opened with every cell as text, sorted by a column, rows
filtered, a note column added, cells typed; then saved as "CSV UTF-8" and
as Windows-932 CSV quoted only where needed.

usage: calc_edit.py SOFFICE IN.csv OUT-UTF8.csv OUT-932.csv EDITS.json
EDITS.json: {"sort": COLUMN, "filter_out": TEXT, "note": HEADER,
             "cells": [[FILE, COLUMN, VALUE], ...]}
"""

import json
import os
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue

UTF8, MS932 = 76, 60  # LibreOffice's numbers of the two character sets


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def csv_options(charset, columns, quote_all="true"):
    # comma, double quote, charset, first line 1, every column text (2),
    # then: language, every text cell quoted (else only where needed, as
    # Excel saves), detect special numbers off, save cell contents as shown,
    # export formulas, remove spaces off.
    formats = "/".join("%d/2" % (i + 1) for i in range(columns))
    return "44,34,%d,1,%s,0,%s,false,true,false,false" % (charset, formats, quote_all)


def connect(soffice, profile):
    pipe = "calc_edit_%d" % os.getpid()
    office = subprocess.Popen(
        [soffice, "--headless", "--invisible", "--nologo", "--norestore",
         "-env:UserInstallation=" + uno.systemPathToFileUrl(profile),
         "--accept=pipe,name=%s;urp;" % pipe],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(600):
        try:
            ctx = resolver.resolve(
                "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            desktop = ctx.ServiceManager.createInstanceWithContext(
                "com.sun.star.frame.Desktop", ctx)
            return office, desktop
        except Exception:  # not listening yet
            time.sleep(0.1)
    office.kill()
    raise SystemExit("calc_edit: LibreOffice does not answer")


def main():
    soffice, src, out_utf8, out_932, edits_path = sys.argv[1:6]
    with open(edits_path, encoding="utf-8") as f:
        edits = json.load(f)
    with open(src, "rb") as f:
        columns = f.readline().count(b",") + 8  # room for the note column
    profile = tempfile.mkdtemp()
    office, desktop = connect(soffice, profile)
    try:
        doc = desktop.loadComponentFromURL(
            uno.systemPathToFileUrl(os.path.abspath(src)), "_blank", 0,
            (prop("Hidden", True), prop("FilterName", "Text - txt - csv (StarCalc)"),
             prop("FilterOptions", csv_options(UTF8, columns))))
        sheet = doc.Sheets.getByIndex(0)
        cursor = sheet.createCursor()
        cursor.gotoEndOfUsedArea(False)
        last_row = cursor.RangeAddress.EndRow
        last_col = cursor.RangeAddress.EndColumn
        header = [sheet.getCellByPosition(c, 0).String for c in range(last_col + 1)]

        # Sort the rows below the header by a column, descending.
        body = sheet.getCellRangeByPosition(0, 1, last_col, last_row)
        field = uno.createUnoStruct("com.sun.star.table.TableSortField")
        field.Field = header.index(edits["sort"])
        field.IsAscending = False
        body.sort((prop("SortFields", uno.Any("[]com.sun.star.table.TableSortField",
                                               (field,))),))

        # Type the cells: the row of a picture, the column of a field.
        files = [sheet.getCellByPosition(0, r).String for r in range(last_row + 1)]
        for name, column, value in edits["cells"]:
            sheet.getCellByPosition(header.index(column), files.index(name)).String = value

        # A note column after the picture's name, ticked on every row.
        sheet.Columns.insertByIndex(1, 1)
        sheet.getCellByPosition(1, 0).String = edits["note"]
        for r in range(1, last_row + 1):
            sheet.getCellByPosition(1, r).String = "済"

        # Hide the rows whose name holds a text, as an AutoFilter does.
        for r in range(1, last_row + 1):
            if edits["filter_out"] in sheet.getCellByPosition(0, r).String:
                sheet.Rows.getByIndex(r).IsVisible = False

        for path, charset, quote_all in ((out_utf8, UTF8, "true"), (out_932, MS932, "false")):
            doc.storeToURL(uno.systemPathToFileUrl(os.path.abspath(path)),
                           (prop("FilterName", "Text - txt - csv (StarCalc)"),
                            prop("FilterOptions", csv_options(charset, columns + 1, quote_all))))
        doc.close(True)
    finally:
        try:
            desktop.terminate()
        except Exception:  # the office has gone already
            pass
        office.wait(timeout=60)


if __name__ == "__main__":
    main()
