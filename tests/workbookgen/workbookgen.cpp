#include "workbookgen.h"

#include <QByteArray>
#include <QFile>

#include <zip.h>

namespace workbookgen {
namespace {

QByteArray xmlEscaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

QByteArray columnName(int column) // 1-based
{
    QByteArray name;
    while (column > 0) {
        const int rest = (column - 1) % 26;
        name.prepend(char('A' + rest));
        column = (column - 1) / 26;
    }
    return name;
}

QByteArray sheetXml(const Sheet& sheet)
{
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>";
    xml += "<sheetData>";
    for (int r = 0; r < sheet.rows.size(); ++r) {
        const QStringList& cells = sheet.rows.at(r);
        QByteArray row;
        for (int c = 0; c < cells.size(); ++c) {
            const QString& text = cells.at(c);
            if (text.isEmpty())
                continue;
            const QByteArray ref = columnName(c + 1) + QByteArray::number(r + 1);
            bool isNumber = false;
            text.toDouble(&isNumber);
            if (isNumber)
                row += "<c r=\"" + ref + "\"><v>" + text.toUtf8() + "</v></c>";
            else
                row += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + xmlEscaped(text) +
                       "</t></is></c>";
        }
        if (!row.isEmpty())
            xml += "<row r=\"" + QByteArray::number(r + 1) + "\">" + row + "</row>";
    }
    xml += "</sheetData>"
           "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
           "footer=\"0.3\"/>"
           "</worksheet>";
    return xml;
}

bool addEntry(zip_t* archive, const char* name, const QByteArray& data)
{
    // libzip copies the buffer only when asked to free it; keep a heap copy.
    void* copy = malloc(size_t(data.size()) + 1);
    if (!copy)
        return false;
    memcpy(copy, data.constData(), size_t(data.size()));
    zip_source_t* source = zip_source_buffer(archive, copy, zip_uint64_t(data.size()), 1);
    if (!source) {
        free(copy);
        return false;
    }
    if (zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(source);
        return false;
    }
    return true;
}

} // namespace

Sheet filledSheet(const QString& name, int rowCount)
{
    Sheet sheet{name, {}};
    for (int r = 1; r <= rowCount; ++r)
        sheet.rows.append(
            {name + QStringLiteral(" row %1").arg(r), QString::number(r), QString::number(r * 10)});
    return sheet;
}

bool writeXlsx(const QString& path, const QList<Sheet>& sheets)
{
    const bool macros = path.endsWith(QLatin1String(".xlsm"), Qt::CaseInsensitive);
    QFile::remove(path);
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_EXCL, &error);
    if (!archive)
        return false;

    QByteArray types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    if (macros)
        types +=
            "<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/>";
    types +=
        QByteArray("<Override PartName=\"/xl/workbook.xml\" ContentType=\"") +
        (macros ? "application/vnd.ms-excel.sheet.macroEnabled.main+xml"
                : "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml") +
        "\"/>"
        "<Override PartName=\"/xl/styles.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
    QByteArray sheetList;
    QByteArray workbookRels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    bool ok = true;
    for (int i = 0; i < sheets.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        types += "<Override PartName=\"/xl/worksheets/sheet" + n +
                 ".xml\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        sheetList += "<sheet name=\"" + xmlEscaped(sheets.at(i).name) + "\" sheetId=\"" + n +
                     "\" r:id=\"rId" + n + "\"/>";
        workbookRels += "<Relationship Id=\"rId" + n +
                        "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                        "relationships/worksheet\" Target=\"worksheets/sheet" +
                        n + ".xml\"/>";
        ok = ok && addEntry(archive, ("xl/worksheets/sheet" + n + ".xml").constData(),
                            sheetXml(sheets.at(i)));
    }
    const QByteArray stylesId = "rId" + QByteArray::number(sheets.size() + 1);
    workbookRels += "<Relationship Id=\"" + stylesId +
                    "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                    "relationships/styles\" Target=\"styles.xml\"/>";
    if (macros)
        workbookRels += "<Relationship Id=\"rId" + QByteArray::number(sheets.size() + 2) +
                        "\" Type=\"http://schemas.microsoft.com/office/2006/relationships/"
                        "vbaProject\" Target=\"vbaProject.bin\"/>";
    workbookRels += "</Relationships>";
    types += "</Types>";

    const QByteArray rootRels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    const QByteArray workbook =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<sheets>" +
        sheetList + "</sheets></workbook>";
    const QByteArray styles =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
        "<fills count=\"1\"><fill><patternFill patternType=\"none\"/></fill></fills>"
        "<borders count=\"1\"><border/></borders>"
        "<cellStyleXfs count=\"1\"><xf/></cellStyleXfs>"
        "<cellXfs count=\"1\"><xf xfId=\"0\"/></cellXfs></styleSheet>";

    ok = ok && addEntry(archive, "[Content_Types].xml", types);
    ok = ok && addEntry(archive, "_rels/.rels", rootRels);
    ok = ok && addEntry(archive, "xl/workbook.xml", workbook);
    ok = ok && addEntry(archive, "xl/_rels/workbook.xml.rels", workbookRels);
    ok = ok && addEntry(archive, "xl/styles.xml", styles);
    if (macros) {
        QByteArray macro("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", 8);
        macro += QByteArray(504, '\x5a');
        ok = ok && addEntry(archive, "xl/vbaProject.bin", macro);
    }
    if (!ok) {
        zip_discard(archive);
        QFile::remove(path);
        return false;
    }
    return zip_close(archive) == 0;
}

bool writeCsv(const QString& path, const QList<QStringList>& rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray data;
    for (const QStringList& row : rows)
        data += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
    return file.write(data) == data.size();
}

} // namespace workbookgen
