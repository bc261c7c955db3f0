#!/usr/bin/python3
"""Writes the workbooks and CSV files of the end-to-end sheet-kind and CSV
tests into a folder: every kind of sheet real workbooks hold, each with a
text that tells its printout apart.

    make_workbooks.py FOLDER PREFIX

Files: PREFIX-kinds.xlsx, PREFIX-macros.xlsm, PREFIX-footers.xlsx,
PREFIX-grouped.xlsx, PREFIX-gbk.csv, PREFIX-cp1252.csv.  Needs Debian's
python3-openpyxl."""

import sys
import zipfile

from openpyxl import Workbook
from openpyxl.chart import BarChart, Reference
from openpyxl.styles import Border, PatternFill, Side


def rows(sheet, text, count, start_row=1, column=1):
    for r in range(count):
        sheet.cell(row=start_row + r, column=column, value="%s %d" % (text, r + 1))


def kinds(path):
    book = Workbook()
    cover = book.active
    cover.title = "Cover"
    rows(cover, "cover", 3)
    cover.sheet_state = "hidden"  # the first sheet is hidden

    visible = book.create_sheet("Visible")
    for r in range(1, 6):
        visible.cell(row=r, column=1, value="item %d" % r)
        visible.cell(row=r, column=2, value=r * 10)

    secret = book.create_sheet("Secret")
    rows(secret, "secret", 3)
    secret.sheet_state = "veryHidden"

    chart = BarChart()
    chart.add_data(Reference(visible, min_col=2, min_row=1, max_row=5))
    chart.set_categories(Reference(visible, min_col=1, min_row=1, max_row=5))
    book.create_chartsheet("Chart").add_chart(chart)

    locked = book.create_sheet("Locked")
    rows(locked, "locked", 3)
    locked.protection.sheet = True
    locked.protection.password = "lock"

    veiled = book.create_sheet("Veiled")  # content only where nobody sees it
    veiled["B3"] = "in a hidden row"
    veiled["D1"] = "in a hidden column"
    veiled.row_dimensions[3].hidden = True
    veiled.column_dimensions["D"].hidden = True

    far = book.create_sheet("Far")  # one page, far from A1
    rows(far, "far", 3, start_row=500, column=27)

    framed = book.create_sheet("Framed")  # a blank form: borders and fills only
    thin = Side(style="thin")
    for row in framed["B2:D6"]:
        for cell in row:
            cell.border = Border(left=thin, right=thin, top=thin, bottom=thin)
    framed["B2"].fill = PatternFill("solid", fgColor="FFFF00")

    merged = book.create_sheet("Merged")  # merged cells, nothing in them
    merged.merge_cells("A1:C3")

    long_sheet = book.create_sheet("Long")  # several pages
    rows(long_sheet, "long", 150)

    book.active = 1
    book.save(path)


MACRO_SHEET = b"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<xm:macrosheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:xm="http://schemas.microsoft.com/office/excel/2006/main"><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>macro cell</t></is></c></row><row r="2"><c r="A2"><f>RETURN()</f></c></row></sheetData><pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/></xm:macrosheet>"""
DIALOG_SHEET = b"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<dialogsheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetPr/><sheetViews><sheetView workbookViewId="0"/></sheetViews><pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/></dialogsheet>"""


def macros(path):
    """A workbook with an Excel 4 macro sheet and a dialog sheet, visible and
    hidden: openpyxl writes neither, so their parts are added by hand."""
    book = Workbook()
    book.active.title = "Data"
    rows(book.active, "data", 3)
    book.save(path)
    extra = [
        ("Macro1", "macrosheets/sheet1.xml", MACRO_SHEET, None,
         "http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet",
         "application/vnd.ms-excel.macrosheet+xml"),
        ("Macro2", "macrosheets/sheet2.xml", MACRO_SHEET, "hidden",
         "http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet",
         "application/vnd.ms-excel.macrosheet+xml"),
        ("Dialog1", "dialogsheets/sheet1.xml", DIALOG_SHEET, None,
         "http://schemas.openxmlformats.org/officeDocument/2006/relationships/dialogsheet",
         "application/vnd.openxmlformats-officedocument.spreadsheetml.dialogsheet+xml"),
    ]
    with zipfile.ZipFile(path) as z:
        parts = {name: z.read(name) for name in z.namelist()}
    sheets, rels, types = b"", b"", b""
    for n, (name, part, xml, state, rel_type, content_type) in enumerate(extra):
        rid = "rIdQ%d" % n
        parts["xl/" + part] = xml
        attr = b' state="%s"' % state.encode() if state else b""
        sheets += (b'<sheet xmlns:r="http://schemas.openxmlformats.org/officeDocument/'
                   b'2006/relationships" name="%s" sheetId="%d"%s r:id="%s"/>') % (
            name.encode(), 100 + n, attr, rid.encode())
        rels += b'<Relationship Id="%s" Type="%s" Target="%s"/>' % (
            rid.encode(), rel_type.encode(), part.encode())
        types += b'<Override PartName="/xl/%s" ContentType="%s"/>' % (
            part.encode(), content_type.encode())
    parts["xl/workbook.xml"] = parts["xl/workbook.xml"].replace(b"</sheets>", sheets + b"</sheets>")
    parts["xl/_rels/workbook.xml.rels"] = parts["xl/_rels/workbook.xml.rels"].replace(
        b"</Relationships>", rels + b"</Relationships>")
    parts["[Content_Types].xml"] = parts["[Content_Types].xml"].replace(
        b"</Types>", types + b"</Types>").replace(
        b"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
        b"application/vnd.ms-excel.sheet.macroEnabled.main+xml")
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


def footers(path):
    """Sheets whose page numbers, page counts and paper decide which of them
    can share a print job."""
    book = Workbook()
    numbered = book.active
    numbered.title = "Numbered"
    rows(numbered, "numbered", 150)
    numbered.oddFooter.center.text = "Page &P"
    again = book.create_sheet("Again")  # numbered from 1 again, on its own style
    rows(again, "again", 100)
    again.oddFooter.center.text = "Page &P"
    counted = book.create_sheet("Counted")  # "of &N": the pages of its own job
    rows(counted, "counted", 100)
    counted.oddFooter.center.text = "Page &P of &N"
    wide = book.create_sheet("Wide")  # other paper
    rows(wide, "wide", 3)
    wide.page_setup.paperSize = wide.PAPERSIZE_A3
    plain = book.create_sheet("Plain")
    rows(plain, "plain", 3)
    book.save(path)


def grouped(path):
    """Three sheets saved while two of them were selected together."""
    book = Workbook()
    for n, name in enumerate(["One", "Two", "Three"]):
        sheet = book.active if n == 0 else book.create_sheet(name)
        sheet.title = name
        rows(sheet, name.lower(), 60 * (n + 1))
        sheet.sheet_view.tabSelected = name != "Two"
    book.save(path)


def csvs(folder, prefix):
    # Made by a Chinese Excel: GBK, numbers, codes with leading zeros, long
    # account numbers, and a cell that only looks like a formula.
    gbk = ("姓名,工号,金额,账号,备注\r\n"
           "张三,00123,1234.5,6222021234567890123,=1+1\r\n"
           "李四,00456,-20,6222029876543210987,正常\r\n"
           "王五,00789,3.75,6222020000000000001,-5+3\r\n")
    with open("%s/%s-gbk.csv" % (folder, prefix), "wb") as f:
        f.write(gbk.encode("gbk"))
    western = ("Name,Stadt,Betrag,Code\r\n"
               "Müller,Köln,12.5,007\r\n"
               "Dupré,Genève,-3,042\r\n"
               "Søren,Århus,1000,100\r\n")
    with open("%s/%s-cp1252.csv" % (folder, prefix), "wb") as f:
        f.write(western.encode("cp1252"))


if __name__ == "__main__":
    folder, prefix = sys.argv[1], sys.argv[2]
    kinds("%s/%s-kinds.xlsx" % (folder, prefix))
    macros("%s/%s-macros.xlsm" % (folder, prefix))
    footers("%s/%s-footers.xlsx" % (folder, prefix))
    grouped("%s/%s-grouped.xlsx" % (folder, prefix))
    csvs(folder, prefix)
