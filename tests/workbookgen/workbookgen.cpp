#include "workbookgen.h"

#include <QByteArray>
#include <QFile>
#include <QtEndian>

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

bool removePart(const QString& path, const char* part)
{
    int code = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), 0, &code);
    if (!archive)
        return false;
    const zip_int64_t index = zip_name_locate(archive, part, 0);
    if (index < 0 || zip_delete(archive, zip_uint64_t(index)) != 0) {
        zip_discard(archive);
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

namespace {

void putU16(QByteArray& data, int at, quint16 value)
{
    qToLittleEndian(value, data.data() + at);
}

void putU32(QByteArray& data, int at, quint32 value)
{
    qToLittleEndian(value, data.data() + at);
}

} // namespace

bool writeCompoundFile(const QString& path, const QList<QPair<QString, QByteArray>>& streams)
{
    if (streams.size() > 3)
        return false;
    const quint32 endOfChain = 0xFFFFFFFE, freeSector = 0xFFFFFFFF, noStream = 0xFFFFFFFF;
    // Header, one allocation-table sector (0), one directory sector (1), then
    // the streams' sectors.
    QByteArray header(512, '\0');
    header.replace(0, 8, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    putU16(header, 0x18, 0x003E);
    putU16(header, 0x1A, 0x0003);
    putU16(header, 0x1C, 0xFFFE);
    putU16(header, 0x1E, 9);
    putU16(header, 0x20, 6);
    putU32(header, 0x2C, 1);
    putU32(header, 0x30, 1);
    putU32(header, 0x38, 4096);
    putU32(header, 0x3C, endOfChain);
    putU32(header, 0x44, endOfChain);
    for (int i = 0; i < 109; ++i)
        putU32(header, 0x4C + 4 * i, i == 0 ? 0 : freeSector);
    QByteArray fat(512, '\xFF');
    putU32(fat, 0, 0xFFFFFFFD);
    putU32(fat, 4, endOfChain);
    QByteArray directory(512, '\0');
    QByteArray data;
    auto entry = [&](int index, const QString& name, int type, quint32 start, quint32 size) {
        const int at = index * 128;
        for (int k = 0; k < name.size() && k < 31; ++k)
            putU16(directory, at + 2 * k, name.at(k).unicode());
        putU16(directory, at + 0x40, quint16(2 * (qMin(int(name.size()), 31) + 1)));
        directory[at + 0x42] = char(type);
        directory[at + 0x43] = 1; // black
        putU32(directory, at + 0x44, noStream);
        putU32(directory, at + 0x48, index > 0 && index < streams.size() ? index + 1 : noStream);
        putU32(directory, at + 0x4C, index == 0 && !streams.isEmpty() ? 1 : noStream);
        putU32(directory, at + 0x74, start);
        putU32(directory, at + 0x78, size);
    };
    entry(0, QStringLiteral("Root Entry"), 5, endOfChain, 0);
    quint32 sector = 2;
    for (int i = 0; i < streams.size(); ++i) {
        QByteArray bytes = streams[i].second;
        if (bytes.size() < 4096)
            bytes.append(QByteArray(4096 - bytes.size(), '\0'));
        bytes.append(QByteArray((512 - bytes.size() % 512) % 512, '\0'));
        const quint32 sectors = quint32(bytes.size() / 512);
        if (sector + sectors > 128)
            return false;
        entry(i + 1, streams[i].first, 2, sector, quint32(bytes.size()));
        for (quint32 k = 0; k < sectors; ++k)
            putU32(fat, int(4 * (sector + k)), k + 1 == sectors ? endOfChain : sector + k + 1);
        sector += sectors;
        data += bytes;
    }
    for (int i = streams.size() + 1; i < 4; ++i) {
        putU32(directory, i * 128 + 0x44, noStream);
        putU32(directory, i * 128 + 0x48, noStream);
        putU32(directory, i * 128 + 0x4C, noStream);
    }
    QFile file(path);
    const QByteArray all = header + fat + directory + data;
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(all) == all.size();
}

QByteArray excelOwnerFile(const QByteArray& ansiName, const QString& name)
{
    QByteArray bytes(165, ' ');
    bytes[0] = char(ansiName.size());
    bytes.replace(1, int(ansiName.size()), ansiName);
    putU16(bytes, 54, quint16(name.size()));
    for (int k = 0; k < name.size(); ++k)
        putU16(bytes, 56 + 2 * k, name.at(k).unicode());
    return bytes;
}

} // namespace workbookgen
