#include "engines/ooxml/ooxmlpagesetup.h"
#include "engines/ooxml/sheetpart.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <zip.h>

#include <cmath>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using ooxml::SheetPageSetup;
Q_DECLARE_METATYPE(ooxml::SheetPageSetup)

namespace {

const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const QByteArray kDefaultMargins =
    R"(left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3")";

// "left=1 top=2.54cm orientation=2 paper=9" -> SheetPageSetup
SheetPageSetup setup(const QString& text)
{
    SheetPageSetup s;
    for (const QString& item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString key = item.section(QLatin1Char('='), 0, 0);
        QString value = item.section(QLatin1Char('='), 1);
        double factor = 1;
        if (value.endsWith(QLatin1String("cm"))) {
            value.chop(2);
            factor = 1 / 2.54;
        }
        const double v = value == QLatin1String("nan") ? std::nan("") : value.toDouble() * factor;
        if (key == QLatin1String("left"))
            s.left = v;
        else if (key == QLatin1String("right"))
            s.right = v;
        else if (key == QLatin1String("top"))
            s.top = v;
        else if (key == QLatin1String("bottom"))
            s.bottom = v;
        else if (key == QLatin1String("header"))
            s.header = v;
        else if (key == QLatin1String("footer"))
            s.footer = v;
        else if (key == QLatin1String("orientation"))
            s.orientation = value.toInt();
        else if (key == QLatin1String("paper"))
            s.paperSize = value.toInt();
    }
    return s;
}

QByteArray worksheet(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"" +
           kMain + "\" xmlns:r=\"" + kRel + "\">" + body + "</worksheet>";
}

struct Entry
{
    QByteArray name;
    QByteArray data;
    bool stored = false;
    int level = 0; // deflate level, 0 for libzip's default
};

bool writeZip(const QString& path, const QVector<Entry>& entries)
{
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!z)
        return false;
    for (const Entry& e : entries) {
        zip_source_t* src =
            zip_source_buffer(z, e.data.constData(), zip_uint64_t(e.data.size()), 0);
        const zip_int64_t i = zip_file_add(z, e.name.constData(), src, ZIP_FL_ENC_UTF_8);
        if (i < 0) {
            zip_source_free(src);
            zip_discard(z);
            return false;
        }
        zip_set_file_compression(z, zip_uint64_t(i), e.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 zip_uint32_t(e.level));
    }
    return zip_close(z) == 0;
}

// What an entry holds as stored in the archive: compressed bytes and header data.
struct RawEntry
{
    QByteArray compressed;
    quint32 crc = 0;
    quint64 size = 0;
    int method = -1;

    bool operator==(const RawEntry& o) const
    {
        return compressed == o.compressed && crc == o.crc && size == o.size && method == o.method;
    }
};

// Entries in archive order: name -> raw entry, plus the decompressed text of each.
struct Snapshot
{
    QVector<QByteArray> names;
    QMap<QByteArray, RawEntry> raw;
    QMap<QByteArray, QByteArray> content;
};

bool snapshot(const QString& path, Snapshot* s)
{
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!z)
        return false;
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(z, zip_uint64_t(i), 0, &st);
        RawEntry r;
        r.crc = st.crc;
        r.size = st.size;
        r.method = st.comp_method;
        r.compressed.resize(int(st.comp_size));
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), ZIP_FL_COMPRESSED);
        zip_fread(f, r.compressed.data(), st.comp_size);
        zip_fclose(f);
        QByteArray content(int(st.size), '\0');
        f = zip_fopen_index(z, zip_uint64_t(i), 0);
        const bool ok = zip_fread(f, content.data(), st.size) == zip_int64_t(st.size);
        zip_fclose(f);
        if (!ok) {
            zip_discard(z);
            return false;
        }
        s->names.append(st.name);
        s->raw.insert(st.name, r);
        s->content.insert(st.name, content);
    }
    zip_discard(z);
    return true;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct stat statOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

struct SheetSpec
{
    QByteArray nameAttr; // the name as written in workbook.xml (escaped)
    QByteArray target;   // relationship target
    QByteArray part;     // entry name
    QByteArray xml;
};

const QByteArray kVba = [] {
    QByteArray b;
    for (int i = 0; i < 4096; ++i)
        b.append(char((i * 37 + 11) & 0xff));
    return b;
}();

// A small but complete workbook package with macros, theme and styles.
QVector<Entry> package(const QVector<SheetSpec>& sheets,
                       const QByteArray& workbookPart = "xl/workbook.xml")
{
    const int slash = workbookPart.lastIndexOf('/');
    const QByteArray wbDir = workbookPart.left(slash + 1);
    const QByteArray wbRels = wbDir + "_rels/" + workbookPart.mid(slash + 1) + ".rels";
    QByteArray types =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/>)"
        R"(<Default Extension="bin" ContentType="application/vnd.ms-office.vbaProject"/>)"
        R"(<Override PartName="/)" +
        workbookPart + R"(" ContentType="application/vnd.ms-excel.sheet.macroEnabled.main+xml"/>)";
    QByteArray wb = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                    "<workbook xmlns=\"" +
                    kMain + "\" xmlns:r=\"" + kRel + "\"><sheets>";
    QByteArray rels =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    QVector<Entry> sheetEntries;
    for (int i = 0; i < sheets.size(); ++i) {
        const QByteArray id = "rId" + QByteArray::number(i + 1);
        types +=
            R"(<Override PartName="/)" + sheets[i].part +
            R"(" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)";
        wb += "<sheet name=\"" + sheets[i].nameAttr + "\" sheetId=\"" + QByteArray::number(i + 1) +
              "\" r:id=\"" + id + "\"/>";
        rels +=
            R"(<Relationship Id=")" + id +
            R"(" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target=")" +
            sheets[i].target + R"("/>)";
        sheetEntries.append({sheets[i].part, sheets[i].xml});
    }
    types += "</Types>";
    wb += "</sheets></workbook>";
    rels +=
        R"(<Relationship Id="rId90" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
        R"(<Relationship Id="rId91" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme" Target="theme/theme1.xml"/>)"
        R"(<Relationship Id="rId92" Type="http://schemas.microsoft.com/office/2006/relationships/vbaProject" Target="vbaProject.bin"/>)"
        "</Relationships>";
    const QByteArray rootRels =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target=")" +
        workbookPart + R"("/></Relationships>)";

    QVector<Entry> entries = {{"[Content_Types].xml", types},
                              {"_rels/.rels", rootRels},
                              {workbookPart, wb},
                              {wbRels, rels}};
    entries += sheetEntries;
    entries += {wbDir + "styles.xml",
                "<styleSheet xmlns=\"" + kMain + "\"><numFmts count=\"0\"/></styleSheet>"};
    // Deflated at level 1: were it recompressed at the default level, its
    // stored bytes would change.
    QByteArray theme =
        R"(<a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" name="Office">)";
    for (int i = 0; i < 200; ++i)
        theme += "<a:srgbClr val=\"" + QByteArray::number(i * 7919 % 65536, 16) + "\"/>";
    theme += "</a:theme>";
    entries += {wbDir + "theme/theme1.xml", theme, false, 1};
    entries += {wbDir + "vbaProject.bin", kVba, true};
    return entries;
}

} // namespace

class TestOoxml : public QObject
{
    Q_OBJECT

private slots:
    void formatsNumbers_data();
    void formatsNumbers();
    void patchesSheetPart_data();
    void patchesSheetPart();
    void rejectsSheetPart_data();
    void rejectsSheetPart();
    void patchesPackage_data();
    void patchesPackage();
    void refusesAndKeepsFile_data();
    void refusesAndKeepsFile();
    void keepsPermissions_data();
    void keepsPermissions();
    void leavesFileAloneWithoutChanges_data();
    void leavesFileAloneWithoutChanges();
    void writesThroughSymlink();
    void libreOfficeReadsResult();
};

void TestOoxml::formatsNumbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("1.78 cm") << 1.78 / 2.54 << QByteArray("0.700787401574803");
    QTest::newRow("2 cm") << 2 / 2.54 << QByteArray("0.78740157480315");
    QTest::newRow("0.7") << 0.7 << QByteArray("0.7");
    QTest::newRow("integer") << 1.0 << QByteArray("1");
    QTest::newRow("zero") << 0.0 << QByteArray("0");
    QTest::newRow("negative zero") << -0.0 << QByteArray("0");
}

void TestOoxml::formatsNumbers()
{
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    // A decimal comma locale must not leak into the file.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    const QByteArray got = ooxml::formatXmlNumber(value);
    QLocale::setDefault(saved);
    QCOMPARE(got, text);
}

void TestOoxml::patchesSheetPart_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<SheetPageSetup>("changes");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray pm = "<pageMargins " + kDefaultMargins + "/>";
    QTest::newRow("all margins replaced")
        << worksheet("<sheetData/>" + pm + "<headerFooter/>")
        << setup("left=1 right=1.5 top=2 bottom=0.25 header=0 footer=0.1")
        << worksheet(R"(<sheetData/><pageMargins left="1" right="1.5" top="2" bottom="0.25" )"
                     R"(header="0" footer="0.1"/><headerFooter/>)");
    QTest::newRow("one margin, rest kept byte for byte")
        << worksheet(R"(<sheetData/><pageMargins left='0.7' right="0.7"  top="0.75" )"
                     R"(bottom="0.75" header="0.3" footer="0.3"></pageMargins>)")
        << setup("top=2.54cm")
        << worksheet(R"(<sheetData/><pageMargins left='0.7' right="0.7"  top="1" )"
                     R"(bottom="0.75" header="0.3" footer="0.3"></pageMargins>)");
    QTest::newRow("centimetres as Excel stores them")
        << worksheet("<sheetData/>" + pm) << setup("left=1.78cm right=1.78cm")
        << worksheet(R"(<sheetData/><pageMargins left="0.700787401574803" )"
                     R"(right="0.700787401574803" top="0.75" bottom="0.75" header="0.3" )"
                     R"(footer="0.3"/>)");
    QTest::newRow("inserted after printOptions")
        << worksheet(R"(<sheetData/><printOptions gridLines="1"/><headerFooter/>)")
        << setup("left=1")
        << worksheet(R"(<sheetData/><printOptions gridLines="1"/><pageMargins left="1" )"
                     R"(right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)"
                     "<headerFooter/>");
    QTest::newRow("inserted before headerFooter")
        << worksheet(R"(<sheetData><row r="1"/></sheetData><headerFooter>)"
                     "<oddHeader>&amp;P</oddHeader></headerFooter>")
        << setup("bottom=1")
        << worksheet(R"(<sheetData><row r="1"/></sheetData><pageMargins left="0.7" )"
                     R"(right="0.7" top="0.75" bottom="1" header="0.3" footer="0.3"/>)"
                     "<headerFooter><oddHeader>&amp;P</oddHeader></headerFooter>");
    QTest::newRow("inserted before drawing")
        << worksheet(R"(<sheetData/><mergeCells count="1"><mergeCell ref="A1:B1"/></mergeCells>)"
                     R"(<drawing r:id="rId1"/>)")
        << setup("header=0.5")
        << worksheet(R"(<sheetData/><mergeCells count="1"><mergeCell ref="A1:B1"/></mergeCells>)"
                     R"(<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" )"
                     R"(header="0.5" footer="0.3"/><drawing r:id="rId1"/>)");
    QTest::newRow("inserted before extLst")
        << worksheet(R"(<sheetData/><extLst><ext uri="{X}"/></extLst>)") << setup("footer=0")
        << worksheet(R"(<sheetData/><pageMargins left="0.7" right="0.7" top="0.75" )"
                     R"(bottom="0.75" header="0.3" footer="0"/><extLst><ext uri="{X}"/></extLst>)");
    QTest::newRow("inserted at the end")
        << worksheet("<sheetData/>") << setup("right=2")
        << worksheet(R"(<sheetData/><pageMargins left="0.7" right="2" top="0.75" )"
                     R"(bottom="0.75" header="0.3" footer="0.3"/>)");
    QTest::newRow("inserted when only later elements exist")
        << worksheet("<headerFooter/>") << setup("left=1")
        << worksheet(R"(<pageMargins left="1" right="0.7" top="0.75" )"
                     R"(bottom="0.75" header="0.3" footer="0.3"/><headerFooter/>)");
    QTest::newRow("inserted before markup-compatibility block")
        << worksheet(R"(<sheetData/><mc:AlternateContent xmlns:mc="http://schemas.openxmlformats.)"
                     R"(org/markup-compatibility/2006"><mc:Choice Requires="x14"><controls/>)"
                     R"(</mc:Choice></mc:AlternateContent><tableParts count="0"/>)")
        << setup("orientation=2")
        << worksheet(R"(<sheetData/><pageSetup orientation="landscape"/><mc:AlternateContent )"
                     R"(xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006">)"
                     R"(<mc:Choice Requires="x14"><controls/></mc:Choice></mc:AlternateContent>)"
                     R"(<tableParts count="0"/>)");
    QTest::newRow("custom view margins are not the sheet's")
        << worksheet(R"(<sheetData/><customSheetViews><customSheetView guid="{1}">)"
                     R"(<pageMargins left="9" right="9" top="9" bottom="9" header="9" footer="9"/>)"
                     R"(<pageSetup orientation="portrait"/></customSheetView></customSheetViews>)"
                     "<headerFooter/>")
        << setup("left=1 orientation=2")
        << worksheet(R"(<sheetData/><customSheetViews><customSheetView guid="{1}">)"
                     R"(<pageMargins left="9" right="9" top="9" bottom="9" header="9" footer="9"/>)"
                     R"(<pageSetup orientation="portrait"/></customSheetView></customSheetViews>)"
                     R"(<pageMargins left="1" right="0.7" top="0.75" bottom="0.75" header="0.3" )"
                     R"(footer="0.3"/><pageSetup orientation="landscape"/><headerFooter/>)");
    QTest::newRow("markup inside comments, CDATA and attribute values")
        << worksheet(R"(<sheetPr codeName="a>b/>c"/><sheetData/>)"
                     R"(<!-- <pageMargins left="5"/> --><?pi <pageMargins/> ?><headerFooter>)"
                     R"(<oddHeader><![CDATA[</headerFooter><pageMargins/>]]></oddHeader>)"
                     "</headerFooter>")
        << setup("top=1")
        << worksheet(R"(<sheetPr codeName="a>b/>c"/><sheetData/>)"
                     R"(<pageMargins left="0.7" right="0.7" top="1" bottom="0.75" header="0.3" )"
                     R"(footer="0.3"/><!-- <pageMargins left="5"/> --><?pi <pageMargins/> ?>)"
                     R"(<headerFooter><oddHeader><![CDATA[</headerFooter><pageMargins/>]]>)"
                     "</oddHeader></headerFooter>");
    QTest::newRow("multi-byte text before the insertion point")
        << worksheet(R"(<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>预算 ü &gt; é</t>)"
                     "</is></c></row></sheetData><drawing r:id=\"rId1\"/>")
        << setup("orientation=1")
        << worksheet(R"(<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>预算 ü &gt; é</t>)"
                     R"(</is></c></row></sheetData><pageSetup orientation="portrait"/>)"
                     "<drawing r:id=\"rId1\"/>");
    QTest::newRow("pageSetup keeps r:id and other attributes")
        << worksheet("<sheetData/>" + pm +
                     R"(<pageSetup paperSize="9" scale="80" fitToWidth="2" orientation="portrait" )"
                     R"(r:id="rId1"/>)")
        << setup("orientation=2 paper=8")
        << worksheet(
               "<sheetData/>" + pm +
               R"(<pageSetup paperSize="8" scale="80" fitToWidth="2" orientation="landscape" )"
               R"(r:id="rId1"/>)");
    QTest::newRow("pageSetup attributes added after the last one")
        << worksheet(R"(<sheetData/><pageSetup scale="80" r:id="rId1" />)")
        << setup("orientation=2 paper=9")
        << worksheet(R"(<sheetData/><pageSetup scale="80" r:id="rId1" paperSize="9" )"
                     R"(orientation="landscape" />)");
    QTest::newRow("paper code replaces an explicit paper size")
        << worksheet(R"(<sheetData/><pageSetup paperHeight="297mm"  paperSize="9" )"
                     R"(paperWidth='210mm' orientation="portrait"/>)")
        << setup("paper=8")
        << worksheet(R"(<sheetData/><pageSetup  paperSize="8" orientation="portrait"/>)");
    QTest::newRow("explicit paper size kept when only the orientation changes")
        << worksheet(R"(<sheetData/><pageSetup paperHeight="297mm" paperWidth="210mm"/>)")
        << setup("orientation=2")
        << worksheet(R"(<sheetData/><pageSetup paperHeight="297mm" paperWidth="210mm" )"
                     R"(orientation="landscape"/>)");
    QTest::newRow("pageSetup inserted after existing pageMargins")
        << worksheet("<sheetData/>" + pm + "<headerFooter/>") << setup("paper=9")
        << worksheet("<sheetData/>" + pm + R"(<pageSetup paperSize="9"/><headerFooter/>)");
    QTest::newRow("both inserted in schema order")
        << worksheet(R"(<sheetData/><drawing r:id="rId1"/>)")
        << setup("left=1 orientation=2 paper=9")
        << worksheet(R"(<sheetData/><pageMargins left="1" right="0.7" top="0.75" )"
                     R"(bottom="0.75" header="0.3" footer="0.3"/><pageSetup paperSize="9" )"
                     R"(orientation="landscape"/><drawing r:id="rId1"/>)");
    QTest::newRow("prefixed main namespace")
        << QByteArray("<x:worksheet xmlns:x=\"" + kMain + "\" xmlns:r=\"" + kRel +
                      "\"><x:sheetData/><x:pageMargins " + kDefaultMargins +
                      "/><x:drawing r:id=\"rId1\"/></x:worksheet>")
        << setup("left=1 orientation=2")
        << QByteArray("<x:worksheet xmlns:x=\"" + kMain + "\" xmlns:r=\"" + kRel +
                      R"("><x:sheetData/><x:pageMargins left="1" right="0.7" top="0.75" )"
                      R"(bottom="0.75" header="0.3" footer="0.3"/><x:pageSetup )"
                      R"(orientation="landscape"/><x:drawing r:id="rId1"/></x:worksheet>)");
    QTest::newRow("foreign element with a main-namespace local name is not the one")
        << worksheet(R"(<sheetData/><o:pageMargins xmlns:o="urn:other" left="3"/>)")
        << setup("left=1")
        << worksheet(R"(<sheetData/><pageMargins left="1" right="0.7" top="0.75" bottom="0.75" )"
                     R"(header="0.3" footer="0.3"/><o:pageMargins xmlns:o="urn:other" left="3"/>)");
    QTest::newRow("chart sheet")
        << QByteArray("<chartsheet xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel +
                      R"("><sheetPr/><sheetViews><sheetView workbookViewId="0"/></sheetViews>)"
                      R"(<drawing r:id="rId1"/></chartsheet>)")
        << setup("left=1 orientation=2")
        << QByteArray("<chartsheet xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel +
                      R"("><sheetPr/><sheetViews><sheetView workbookViewId="0"/></sheetViews>)"
                      R"(<pageMargins left="1" right="0.7" top="0.75" bottom="0.75" header="0.3" )"
                      R"(footer="0.3"/><pageSetup orientation="landscape"/><drawing r:id="rId1"/>)"
                      "</chartsheet>");
    const QByteArray xm = "http://schemas.microsoft.com/office/excel/2006/main";
    QTest::newRow("macro sheet")
        << QByteArray("<xm:macrosheet xmlns=\"" + kMain + "\" xmlns:xm=\"" + xm +
                      R"("><sheetData/><printOptions/><headerFooter/></xm:macrosheet>)")
        << setup("left=1")
        << QByteArray("<xm:macrosheet xmlns=\"" + kMain + "\" xmlns:xm=\"" + xm +
                      R"("><sheetData/><printOptions/><pageMargins left="1" right="0.7" )"
                      R"(top="0.75" bottom="0.75" header="0.3" footer="0.3"/><headerFooter/>)"
                      "</xm:macrosheet>");
    QTest::newRow("main namespace declared only on the children")
        << QByteArray("<xm:macrosheet xmlns:xm=\"" + xm + "\"><x:sheetData xmlns:x=\"" + kMain +
                      "\"/></xm:macrosheet>")
        << setup("orientation=2")
        << QByteArray("<xm:macrosheet xmlns:xm=\"" + xm + "\"><x:sheetData xmlns:x=\"" + kMain +
                      "\"/><pageSetup xmlns=\"" + kMain +
                      "\" orientation=\"landscape\"/></xm:macrosheet>");
    QTest::newRow("BOM, declaration and line breaks kept")
        << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<worksheet "
                      "xmlns=\"" +
                      kMain +
                      "\">\r\n  <sheetData/>\r\n  <pageMargins left=\"0.7\"\r\n    right=\"0.7\" "
                      "top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"\r\n  />\r\n"
                      "</worksheet>\r\n")
        << setup("right=0.5")
        << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<worksheet "
                      "xmlns=\"" +
                      kMain +
                      "\">\r\n  <sheetData/>\r\n  <pageMargins left=\"0.7\"\r\n    right=\"0.5\" "
                      "top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"\r\n  />\r\n"
                      "</worksheet>\r\n");
    QTest::newRow("values already set: nothing changes")
        << worksheet("<sheetData/>" + pm + R"(<pageSetup orientation="landscape"/>)")
        << setup("left=0.7 header=0.3 orientation=2")
        << worksheet("<sheetData/>" + pm + R"(<pageSetup orientation="landscape"/>)");
    QTest::newRow("empty changes")
        << worksheet("<sheetData/>") << setup(QString()) << worksheet("<sheetData/>");
}

void TestOoxml::patchesSheetPart()
{
    QFETCH(QByteArray, input);
    QFETCH(SheetPageSetup, changes);
    QFETCH(QByteArray, expected);
    QByteArray out;
    QString error;
    QVERIFY2(ooxml::patchSheetPart(input, changes, &out, &error), qPrintable(error));
    QCOMPARE(out, expected);
}

void TestOoxml::rejectsSheetPart_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<SheetPageSetup>("changes");

    const QByteArray good = worksheet("<sheetData/>");
    QTest::newRow("not well-formed")
        << QByteArray("<worksheet xmlns=\"" + kMain + "\"><sheetData></worksheet>")
        << setup("left=1");
    QTest::newRow("undefined entity")
        << worksheet("<sheetData><row>&nbsp;</row></sheetData>") << setup("left=1");
    QTest::newRow("'<' in an attribute value")
        << worksheet(R"(<sheetPr codeName="a<b"/><sheetData/>)") << setup("left=1");
    QTest::newRow("empty root") << QByteArray("<worksheet xmlns=\"" + kMain + "\"/>")
                                << setup("left=1");
    QTest::newRow("document type declaration")
        << QByteArray("<!DOCTYPE worksheet><worksheet xmlns=\"" + kMain +
                      "\"><sheetData/></worksheet>")
        << setup("left=1");
    QTest::newRow("other namespace")
        << QByteArray("<worksheet xmlns=\"urn:other\"><sheetData/></worksheet>") << setup("left=1");
    QTest::newRow("workbook part")
        << QByteArray("<workbook xmlns=\"" + kMain + "\"><sheets/></workbook>") << setup("left=1");
    const QString utf16 = QString::fromUtf8(good);
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFE", 2) +
                                   QByteArray(reinterpret_cast<const char*>(utf16.utf16()),
                                              int(utf16.size() * 2))
                            << setup("left=1");
    QTest::newRow("two pageMargins") << worksheet("<sheetData/><pageMargins " + kDefaultMargins +
                                                  "/><pageMargins " + kDefaultMargins + "/>")
                                     << setup("left=1");
    QTest::newRow("orientation 3") << good << setup("orientation=3");
    QTest::newRow("orientation 0") << good << setup("orientation=0");
    QTest::newRow("negative margin") << good << setup("top=-1");
    QTest::newRow("not a number") << good << setup("top=nan");
    QTest::newRow("paper 0") << good << setup("paper=0");
}

void TestOoxml::rejectsSheetPart()
{
    QFETCH(QByteArray, input);
    QFETCH(SheetPageSetup, changes);
    QByteArray out = "untouched";
    QString error;
    QVERIFY(!ooxml::patchSheetPart(input, changes, &out, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(out, QByteArray("untouched"));
}

void TestOoxml::patchesPackage_data()
{
    QTest::addColumn<QByteArray>("nameAttr");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("workbookPart");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("part");

    QTest::newRow("plain") << QByteArray("Sheet1") << QStringLiteral("Sheet1")
                           << QByteArray("xl/workbook.xml") << QByteArray("worksheets/sheet1.xml")
                           << QByteArray("xl/worksheets/sheet1.xml");
    QTest::newRow("ampersand") << QByteArray("A&amp;B") << QStringLiteral("A&B")
                               << QByteArray("xl/workbook.xml")
                               << QByteArray("worksheets/sheet1.xml")
                               << QByteArray("xl/worksheets/sheet1.xml");
    QTest::newRow("quotes") << QByteArray("&quot;Q&quot; it&apos;s") << QStringLiteral("\"Q\" it's")
                            << QByteArray("xl/workbook.xml") << QByteArray("worksheets/sheet1.xml")
                            << QByteArray("xl/worksheets/sheet1.xml");
    QTest::newRow("non-ASCII") << QByteArray("预算 2026") << QString::fromUtf8("预算 2026")
                               << QByteArray("xl/workbook.xml")
                               << QByteArray("worksheets/sheet1.xml")
                               << QByteArray("xl/worksheets/sheet1.xml");
    QTest::newRow("character reference")
        << QByteArray("&#x4E2D;x") << QString::fromUtf8("中x") << QByteArray("xl/workbook.xml")
        << QByteArray("worksheets/sheet1.xml") << QByteArray("xl/worksheets/sheet1.xml");
    QTest::newRow("absolute target")
        << QByteArray("Sheet1") << QStringLiteral("Sheet1") << QByteArray("xl/workbook.xml")
        << QByteArray("/xl/worksheets/sheet1.xml") << QByteArray("xl/worksheets/sheet1.xml");
    QTest::newRow("workbook part found through the package relationships")
        << QByteArray("Sheet1") << QStringLiteral("Sheet1") << QByteArray("book/main.xml")
        << QByteArray("../sheets/s1.xml") << QByteArray("sheets/s1.xml");
}

void TestOoxml::patchesPackage()
{
    QFETCH(QByteArray, nameAttr);
    QFETCH(QString, name);
    QFETCH(QByteArray, workbookPart);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, part);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("book.xlsm"));
    const QByteArray untouchedXml =
        worksheet(R"(<sheetData><row r="1"><c r="A1"><v>1</v></c></row></sheetData>)"
                  R"(<pageMargins left="0.1" right="0.1" top="0.1" bottom="0.1" header="0" )"
                  R"(footer="0"/>)");
    const QByteArray secondXml =
        worksheet(R"(<sheetData/><pageSetup paperSize="8" orientation="portrait" r:id="rId1"/>)");
    const QVector<SheetSpec> sheets = {
        {"Untouched", "/xl/worksheets/sheet3.xml", "xl/worksheets/sheet3.xml", untouchedXml},
        {nameAttr, target, part, worksheet("<sheetData/><headerFooter/>")},
        {"Second", "/xl/worksheets/sheet2.xml", "xl/worksheets/sheet2.xml", secondXml},
    };
    QVERIFY(writeZip(path, package(sheets, workbookPart)));
    Snapshot before;
    QVERIFY(snapshot(path, &before));

    QMap<QString, SheetPageSetup> changes;
    changes.insert(name, setup("left=1.78cm top=2.54cm orientation=2"));
    changes.insert(QStringLiteral("Second"), setup("paper=9"));
    QString error;
    QVERIFY2(ooxml::applyPageSetup(path, changes, &error), qPrintable(error));

    Snapshot after;
    QVERIFY(snapshot(path, &after));
    QCOMPARE(after.names, before.names);
    QCOMPARE(after.content.value(part),
             worksheet(R"(<sheetData/><pageMargins left="0.700787401574803" right="0.7" )"
                       R"(top="1" bottom="0.75" header="0.3" footer="0.3"/><pageSetup )"
                       R"(orientation="landscape"/><headerFooter/>)"));
    QCOMPARE(after.content.value("xl/worksheets/sheet2.xml"),
             worksheet(R"(<sheetData/><pageSetup paperSize="9" orientation="portrait" )"
                       R"(r:id="rId1"/>)"));
    // Every other entry, the macros and the untouched sheet included, keeps
    // its stored bytes.
    for (const QByteArray& entry : before.names) {
        if (entry == part || entry == "xl/worksheets/sheet2.xml")
            continue;
        QVERIFY2(after.raw.value(entry) == before.raw.value(entry), entry.constData());
    }
    QCOMPARE(after.content.value(workbookPart.left(workbookPart.lastIndexOf('/') + 1) +
                                 "vbaProject.bin"),
             kVba);
    // No temporary files are left beside the workbook.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{QStringLiteral("book.xlsm")});
}

void TestOoxml::refusesAndKeepsFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("read-only file") << QStringLiteral("readonly");
    QTest::newRow("random bytes") << QStringLiteral("random");
    QTest::newRow("truncated zip") << QStringLiteral("truncated");
    QTest::newRow("missing sheet name") << QStringLiteral("missing sheet");
    QTest::newRow("broken sheet part") << QStringLiteral("broken part");
    QTest::newRow("sheet without a relationship") << QStringLiteral("dangling");
    QTest::newRow("invalid value for one sheet") << QStringLiteral("invalid value");
    QTest::newRow("no such file") << QStringLiteral("no file");
}

void TestOoxml::refusesAndKeepsFile()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    QVector<SheetSpec> sheets = {
        {"Sheet1", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml", worksheet("<sheetData/>")},
        {"Sheet2", "worksheets/sheet2.xml", "xl/worksheets/sheet2.xml", worksheet("<sheetData/>")},
    };
    QMap<QString, SheetPageSetup> changes;
    changes.insert(QStringLiteral("Sheet1"), setup("left=1"));
    changes.insert(QStringLiteral("Sheet2"), setup("orientation=2"));
    mode_t mode = 0644;
    if (kind == QLatin1String("missing sheet"))
        changes.insert(QStringLiteral("sheet1"), setup("left=2")); // names are case-sensitive
    if (kind == QLatin1String("broken part"))
        sheets[1].xml = "<worksheet xmlns=\"" + kMain + "\"><sheetData>";
    if (kind == QLatin1String("dangling"))
        sheets[1].target = "worksheets/missing.xml";
    if (kind == QLatin1String("invalid value"))
        changes.insert(QStringLiteral("Sheet2"), setup("orientation=5"));
    if (kind == QLatin1String("readonly"))
        mode = 0444;

    if (kind != QLatin1String("no file"))
        QVERIFY(writeZip(path, package(sheets)));
    if (kind == QLatin1String("random") || kind == QLatin1String("truncated")) {
        QByteArray bytes = readAll(path);
        if (kind == QLatin1String("random")) {
            for (int i = 0; i < bytes.size(); ++i)
                bytes[i] = char((i * 131 + 7) % 251);
        } else {
            bytes.truncate(bytes.size() / 2);
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    if (kind != QLatin1String("no file"))
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
    const QByteArray bytesBefore = readAll(path);
    const struct stat before = statOf(path);

    QString error;
    QVERIFY(!ooxml::applyPageSetup(path, changes, &error));
    QVERIFY(!error.isEmpty());
    qDebug() << error;

    const struct stat after = statOf(path);
    QCOMPARE(readAll(path), bytesBefore);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             kind == QLatin1String("no file") ? QStringList()
                                              : QStringList{QStringLiteral("book.xlsx")});
}

void TestOoxml::keepsPermissions_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("0600") << 0600;
    QTest::newRow("0640") << 0640;
    QTest::newRow("0664") << 0664;
    QTest::newRow("0604 group not allowed") << 0604;
    QTest::newRow("0200 write only") << 0200;
}

void TestOoxml::keepsPermissions()
{
    QFETCH(int, mode);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    QVERIFY(writeZip(path, package({{"Sheet1", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml",
                                     worksheet("<sheetData/>")}})));
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
    const ino_t inode = statOf(path).st_ino;

    QMap<QString, SheetPageSetup> changes;
    changes.insert(QStringLiteral("Sheet1"), setup("orientation=2"));
    QString error;
    QVERIFY2(ooxml::applyPageSetup(path, changes, &error), qPrintable(error));
    QVERIFY(statOf(path).st_ino != inode); // really rewritten
    QCOMPARE(int(statOf(path).st_mode & 07777), mode);
}

void TestOoxml::leavesFileAloneWithoutChanges_data()
{
    QTest::addColumn<QString>("sheetName");
    QTest::addColumn<SheetPageSetup>("changes");
    QTest::newRow("no sheets") << QString() << SheetPageSetup();
    QTest::newRow("nothing for the sheet") << QStringLiteral("Sheet1") << SheetPageSetup();
    QTest::newRow("values already set")
        << QStringLiteral("Sheet1") << setup("left=0.7 footer=0.3 orientation=2");
}

void TestOoxml::leavesFileAloneWithoutChanges()
{
    QFETCH(QString, sheetName);
    QFETCH(SheetPageSetup, changes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    QVERIFY(writeZip(path, package({{"Sheet1", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml",
                                     worksheet("<sheetData/><pageMargins " + kDefaultMargins +
                                               R"(/><pageSetup orientation="landscape"/>)")}})));
    const QByteArray bytes = readAll(path);
    const ino_t inode = statOf(path).st_ino;

    QMap<QString, SheetPageSetup> map;
    if (!sheetName.isEmpty())
        map.insert(sheetName, changes);
    QString error;
    QVERIFY2(ooxml::applyPageSetup(path, map, &error), qPrintable(error));
    QCOMPARE(statOf(path).st_ino, inode);
    QCOMPARE(readAll(path), bytes);
}

void TestOoxml::writesThroughSymlink()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("real")));
    const QString real = dir.filePath(QStringLiteral("real/book.xlsx"));
    const QString link = dir.filePath(QStringLiteral("link.xlsx"));
    QVERIFY(writeZip(real, package({{"Sheet1", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml",
                                     worksheet("<sheetData/>")}})));
    QVERIFY(QFile::link(real, link));

    QMap<QString, SheetPageSetup> changes;
    changes.insert(QStringLiteral("Sheet1"), setup("paper=9"));
    QString error;
    QVERIFY2(ooxml::applyPageSetup(link, changes, &error), qPrintable(error));
    QVERIFY(QFileInfo(link).isSymLink());
    Snapshot s;
    QVERIFY(snapshot(real, &s));
    QCOMPARE(s.content.value("xl/worksheets/sheet1.xml"),
             worksheet(R"(<sheetData/><pageSetup paperSize="9"/>)"));
}

// LibreOffice must still read the patched package, data included (it drops a
// sheet's content silently when the sheet part is broken).
void TestOoxml::libreOfficeReadsResult()
{
    const QString soffice = QStringLiteral("/usr/bin/soffice");
    if (!QFileInfo::exists(soffice))
        QSKIP("LibreOffice is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    const QByteArray sheet =
        worksheet(R"(<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>hello</t></is></c>)"
                  R"(<c r="B1"><v>42</v></c></row></sheetData><headerFooter/>)");
    QVERIFY(writeZip(
        path, package({{"Sheet1", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml", sheet}})));
    QMap<QString, SheetPageSetup> changes;
    changes.insert(QStringLiteral("Sheet1"), setup("left=1.78cm top=1 orientation=2 paper=9"));
    QString error;
    QVERIFY2(ooxml::applyPageSetup(path, changes, &error), qPrintable(error));

    QProcess office;
    office.setWorkingDirectory(dir.path());
    office.start(soffice,
                 {QStringLiteral("-env:UserInstallation=file://") + dir.filePath("profile"),
                  QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                  QStringLiteral("csv"), QStringLiteral("--outdir"),
                  dir.filePath(QStringLiteral("out")), path});
    QVERIFY(office.waitForFinished(120000));
    const QByteArray csv = readAll(dir.filePath(QStringLiteral("out/book.csv")));
    QCOMPARE(csv.trimmed(), QByteArray("hello,42"));
}

QTEST_GUILESS_MAIN(TestOoxml)
#include "tst_ooxml.moc"
